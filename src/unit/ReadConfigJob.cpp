#include "unit/ReadConfigJob.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigImage.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "unit/ExitCode.h"
#include "unit/ModelCheck.h"
#include "unit/UnitBackups.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"
#include <QFileInfo>

ReadConfigJob::ReadConfigJob(UnitSession &unit, UnitMessages &messages, QString file, QObject *parent)
    : UnitJob(unit, messages, parent), m_file(std::move(file))
{
}

void ReadConfigJob::start()
{
    begin(QStringLiteral("Чтение конфигурации"), [this] { return UnitReport::readInterrupted(false, m_file); });
    m_unit.configTransfer().CopyToFile();
    if (m_unit.exchangeTag() != Tag::ConfigFileCopy)
        return fail(ExitCode::BadFile, firstMessageOr(UnitReport::fileUntouched(m_file)));
    await([this] {
        // The file could not be written: the routine said why and what the file is left with.
        if (m_unit.exchangeTag() != Tag::Saved && m_unit.configTransfer().fileFailed())
            return fail(ExitCode::BadFile, firstMessageOr(UnitReport::fileUntouched(m_file)));
        if (m_unit.exchangeTag() != Tag::Saved)
            return fail(ExitCode::TransferFailed,
                        UnitReport::configCopyFailure(link(), countShown(), m_unit.configTransfer(), m_file));
        warnUnknownModel();
        m_unit.stop();
        finish(ExitCode::Success, QStringLiteral("Сохранено успешно! ") + m_file,
               QStringLiteral("сохранено: ") + QFileInfo(m_file).fileName());
    });
}

void ReadConfigJob::warnUnknownModel()
{
    // The read checks only the count: bytes of the right count from a unit that answered wrongly, or
    // at another speed, are kept, but a model nobody makes says they may not be a configuration.
    const QByteArray tail = m_unit.backups().lastRead(link().deviceName()).right(ConfigImage::kTailSize);
    if (tail.size() == ConfigImage::kTailSize && !ModelCheck::namesModel(tail))
        emit said(kUnknownModel.arg(ModelCheck::tailCell(tail, 0), ModelCheck::tailCell(tail, 1)));
}
