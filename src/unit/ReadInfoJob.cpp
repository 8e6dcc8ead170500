#include "unit/ReadInfoJob.h"
#include "config/ConfigExchange.h"
#include "unit/ExitCode.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"

void ReadInfoJob::start()
{
    readInfo([this](bool ok) {
        if (!ok)
            return fail(ExitCode::TransferFailed,
                        UnitReport::infoReadFailure(link(), countShown(), m_unit.configExchange()));
        m_unit.release();
        finish(ExitCode::Success, QString(), QStringLiteral("найдено"));
    });
}
