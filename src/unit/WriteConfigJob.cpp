#include "unit/WriteConfigJob.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigImage.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "unit/ExitCode.h"
#include "unit/ModelCheck.h"
#include "unit/UnitBackups.h"
#include "unit/UnitIdentity.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"
#include "unit/VerifyCompare.h"
#include <QDir>

WriteConfigJob::WriteConfigJob(UnitSession &unit, UnitMessages &messages, QString file, QList<QByteArray> blocks,
                               bool verify, QObject *parent)
    : UnitJob(unit, messages, parent), m_file(std::move(file)), m_blocks(std::move(blocks)), m_verify(verify)
{
}

void WriteConfigJob::start()
{
    // Model cells that name no model: the file is not a unit's, whatever unit it would go to.
    const QByteArray &fileModel = m_readFirst.fileModel;
    if (fileModel.size() == ConfigImage::kTailSize && !ModelCheck::namesModel(fileModel)) {
        const QString text = ModelCheck::kFileNamesNoModel.arg(
            ModelCheck::shownCells(ModelCheck::tailCell(fileModel, 0), ModelCheck::tailCell(fileModel, 1)));
        if (!m_readFirst.force)
            return fail(ExitCode::BadFile, text + QLatin1Char(' ') + kNothingSent + QLatin1Char(' ') + kForceHint);
        warn(text + QLatin1Char(' ') + kForced + QLatin1Char(' ') + kModelCellsKept);
    }
    if (!m_readFirst.enabled)
        return proceed();
    auto then = [this](bool read) {
        if (!modelAllowed(read))
            return;
        if (read)
            compareImei();
        proceed();
    };
    if (m_aside)
        readAside(then, kReadFirstInterrupted);
    else
        readInfo(then, kReadFirstInterrupted);
}

void WriteConfigJob::compareImei()
{
    const QByteArray unitCells = UnitIdentity::imeiCells(m_unit.backups().lastRead(link().deviceName()));
    const QByteArray fileCells = UnitIdentity::imeiCells(m_blocks.join());
    // A copy of another unit carries that unit's identity; the unit will report it after the write.
    if (!unitCells.isEmpty() && !fileCells.isEmpty() && unitCells != fileCells)
        warn(kOtherImei.arg(UnitIdentity::shown(fileCells), UnitIdentity::shown(unitCells)));
}

bool WriteConfigJob::modelAllowed(bool read)
{
    const QByteArray unitModel = read ? m_unit.backups().lastRead(link().deviceName()).right(ConfigImage::kTailSize)
                                      : QByteArray();
    const QByteArray &fileModel = m_readFirst.fileModel;
    ModelCheck::Result check =
        ModelCheck::compare(ModelCheck::tailCell(fileModel, 0), ModelCheck::tailCell(fileModel, 1), unitModel);
    // A file without model bytes, or with bytes that name no model, names none to refuse; only an
    // unreadable unit is refused then.
    if (!ModelCheck::namesModel(fileModel) && check.outcome == ModelCheck::Outcome::Other)
        check.outcome = ModelCheck::Outcome::Same;
    if (check.outcome == ModelCheck::Outcome::Same)
        return true;
    QString text = check.text();
    if (!read)
        text += QLatin1Char(' ') + readInfoFailure();
    if (m_readFirst.force) {
        warn(text + QLatin1Char(' ') + kForced);
        return true;
    }
    fail(check.outcome == ModelCheck::Outcome::Other ? ExitCode::BadFile : ExitCode::TransferFailed,
         text + QLatin1Char(' ') + kNothingSent + QLatin1Char(' ') + m_refusalHint);
    return false;
}

void WriteConfigJob::proceed()
{
    if (m_beforeWrite && !m_beforeWrite(*this))
        return;
    write();
}

void WriteConfigJob::write()
{
    ConfigFileTransfer &transfer = m_unit.configTransfer();
    begin(QStringLiteral("Запись конфигурации"),
          [this] {
              // The copy kept before the write holds what the unit had.
              const QString copy = m_unit.backups().earlierCopy();
              return UnitReport::configWriteInterrupted(m_unit.configTransfer().SchetchikBaitov)
                     + (copy.isEmpty() ? QString()
                                       : QLatin1Char('\n') + UnitBackups::kEarlierCopy.arg(QDir::toNativeSeparators(copy)));
          });
    if (m_aside)
        transfer.LoadBlocks(m_blocks, m_file);
    else
        transfer.LoadFromFile();
    if (m_unit.exchangeTag() != Tag::ConfigFileLoad)
        // Checked again on loading: the file changed meanwhile. Nothing was sent.
        return fail(ExitCode::BadFile, firstMessageOr(QStringLiteral("Файл %1 не прочитан.").arg(m_file)));
    await([this] {
        if (m_unit.exchangeTag() != Tag::Written)
            return fail(ExitCode::TransferFailed,
                        UnitReport::configLoadFailure(link(), countShown(), m_unit.configTransfer()));
        if (!m_verify) {
            m_unit.release();
            return finish(ExitCode::Success, QStringLiteral("Записано успешно! ") + m_file,
                          QStringLiteral("записано"));
        }
        emit said(QStringLiteral("Записано успешно! ") + m_file);
        verify();
    });
}

void WriteConfigJob::verify()
{
    if (m_aside) {
        readAside([this](bool ok) { verified(ok, VerifyCompare::compare(m_unit.configTransfer().copied(), m_blocks)); },
                  UnitReport::kConfigVerifyInterrupted);
        note(QStringLiteral("Проверка"));
        return;
    }
    m_unit.image().clearCells();
    begin(QStringLiteral("Проверка"), [] { return UnitReport::kConfigVerifyInterrupted; });
    m_unit.configExchange().ConfiguraciaReadProcess();
    await([this] {
        verified(m_unit.exchangeTag() == Tag::ReadOk, VerifyCompare::compare(m_unit.image(), m_blocks));
    });
}

void WriteConfigJob::verified(bool read, const VerifyCompare::Mismatch &mismatch)
{
    if (!read)
        return fail(ExitCode::TransferFailed,
                    UnitReport::configVerifyFailure(link(), countShown(), m_unit.configExchange()));
    m_unit.release();
    if (mismatch.count > 0)
        return finish(ExitCode::VerifyMismatch, VerifyCompare::text(mismatch, ConfigImage::kMemorySize));
    finish(ExitCode::Success, QStringLiteral("Проверено: конфигурация в устройстве совпадает с файлом."),
           QStringLiteral("записано и проверено"));
}
