#include "unit/ReadInfoJob.h"
#include "config/ConfigExchange.h"
#include "unit/ExitCode.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"

void ReadInfoJob::start()
{
    // Only shows the unit: a copy not kept on the way is told, but the unit was shown.
    m_copiesCount = false;
    readInfo([this](bool ok) {
        if (!ok)
            return fail(ExitCode::TransferFailed, readInfoFailure());
        m_unit.release();
        finish(ExitCode::Success, QString(), QStringLiteral("найдено"));
    });
}
