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

ReadConfigJob::ReadConfigJob(UnitSession &unit, UnitMessages &messages, QString file, bool force, QObject *parent)
    : UnitJob(unit, messages, parent), m_file(std::move(file)), m_force(force)
{
}

void ReadConfigJob::start()
{
    begin(QStringLiteral("Чтение конфигурации"), [this] { return UnitReport::readInterrupted(false, m_file); });
    ConfigFileTransfer &transfer = m_unit.configTransfer();
    // The count alone does not make a unit's reply: bytes at another speed have it too.
    transfer.acceptCopy = [force = m_force, tail = m_tail](const QByteArray &image) {
        *tail = image.right(ConfigImage::kTailSize);
        return force || ModelCheck::namesModel(*tail);
    };
    transfer.CopyToFile();
    if (m_unit.exchangeTag() != Tag::ConfigFileCopy)
        return fail(ExitCode::BadFile, firstMessageOr(UnitReport::fileUntouched(m_file)));
    await([this] {
        ConfigFileTransfer &transfer = m_unit.configTransfer();
        transfer.acceptCopy = nullptr;
        // The file could not be written: the routine said why and what the file is left with.
        if (m_unit.exchangeTag() != Tag::Saved && transfer.fileFailed())
            return fail(ExitCode::BadFile, firstMessageOr(UnitReport::fileUntouched(m_file)));
        if (transfer.copyRefused())
            return fail(ExitCode::TransferFailed,
                        QStringLiteral("Ошибка при чтении! ")
                            + ModelCheck::kReadNamesNoModel.arg(ModelCheck::shownCells(
                                ModelCheck::tailCell(*m_tail, 0), ModelCheck::tailCell(*m_tail, 1)))
                            + QLatin1Char(' ') + UnitReport::fileUntouched(m_file) + QLatin1Char(' ') + kSaveAnyway);
        if (m_unit.exchangeTag() != Tag::Saved)
            return fail(ExitCode::TransferFailed,
                        UnitReport::configCopyFailure(link(), countShown(), transfer, m_file));
        warnUnknownModel();
        m_unit.stop();
        finish(ExitCode::Success, QStringLiteral("Сохранено успешно! ") + m_file,
               QStringLiteral("сохранено: ") + QFileInfo(m_file).fileName());
    });
}

void ReadConfigJob::warnUnknownModel()
{
    // Kept only with --force: the bytes may not be a configuration at all.
    const QByteArray &tail = *m_tail;
    if (tail.size() == ConfigImage::kTailSize && !ModelCheck::namesModel(tail))
        warn(kUnknownModel.arg(ModelCheck::tailCell(tail, 0), ModelCheck::tailCell(tail, 1)));
}
