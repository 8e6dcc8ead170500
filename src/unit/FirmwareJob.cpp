#include "unit/FirmwareJob.h"
#include "config/ConfigExchange.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "unit/ExitCode.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"
#include "unit/VerifyCompare.h"
#include "shell/MessageSink.h"
#include "link/SerialLink.h"
#include "unit/ConfigBackups.h"
#include "unit/UnitBackups.h"
#include "unit/UnitMessages.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

FirmwareJob::FirmwareJob(UnitSession &unit, UnitMessages &messages, Direction direction, QString file,
                         QList<QByteArray> blocks, bool verify, QObject *parent)
    : UnitJob(unit, messages, parent), m_direction(direction), m_file(std::move(file)), m_blocks(std::move(blocks)),
      m_verify(verify)
{
}

FirmwareJob::~FirmwareJob()
{
    m_messages.setRewrite(nullptr);
}

void FirmwareJob::start()
{
    if (m_windowUnit) {
        if (!link().isOpen() || link().deviceName().isEmpty() || link().identificationCount() != *m_windowUnit)
            return refuse(ExitCode::NoUnit, kNotThatUnit);
        const QString version = m_unit.deviceInfo().VersiaProshivki;
        if (!FirmwareExchange::versionAllowsTransfer(version))
            return refuse(ExitCode::TransferFailed, UnitReport::firmwareUnavailable(version));
        return go();
    }
    readInfo(
        [this](bool ok) {
            if (!ok)
                return fail(ExitCode::TransferFailed,
                            readInfoFailure()
                                + QLatin1Char(' ') + UnitReport::kFirmwareUntouched);
            const QString version = m_unit.deviceInfo().VersiaProshivki;
            if (!FirmwareExchange::versionAllowsTransfer(version))
                return fail(ExitCode::TransferFailed, UnitReport::firmwareUnavailable(version));
            go();
        },
        QStringLiteral("Прервано: обмена прошивкой с устройством не было."));
}

void FirmwareJob::go()
{
    if (m_direction == Direction::Read)
        read();
    else if (m_backupFirst)
        backupFirst();
    else
        write();
}

void FirmwareJob::failed(int code, const QString &text)
{
    if (m_windowUnit && !m_unit.firmwareExchange().isBusy())
        return finish(code, text);
    fail(code, text);
}

void FirmwareJob::refuse(int code, const QString &text)
{
    if (m_windowUnit)
        m_unit.messages().show(text);
    failed(code, text);
}

void FirmwareJob::release()
{
    if (!m_windowUnit)
        m_unit.stop();
}

bool FirmwareJob::started(const QString &tag, const QString &fallback)
{
    m_unit.queue().pump();
    if (m_unit.exchangeTag() == tag)
        return true;
    failed(ExitCode::TransferFailed, firstMessageOr(fallback));
    return false;
}

void FirmwareJob::read()
{
    begin(QStringLiteral("Чтение прошивки"), [this] { return UnitReport::readInterrupted(true, m_file); });
    if (!m_unit.firmwareExchange().saveToFile(m_file))
        return failed(ExitCode::BadFile, firstMessageOr(UnitReport::fileUntouched(m_file)));
    if (!started(Tag::FirmwareRead, UnitReport::fileUntouched(m_file)))
        return;
    await([this] {
        if (m_unit.exchangeTag() != Tag::Saved && m_unit.firmwareExchange().fileFailed())
            return failed(ExitCode::BadFile, firstMessageOr(UnitReport::fileUntouched(m_file)));
        if (m_unit.exchangeTag() != Tag::Saved)
            return failed(ExitCode::TransferFailed, UnitReport::firmwareReadFailure(link(), countShown(),
                                                                                  m_unit.firmwareExchange(), m_file));
        release();
        finish(ExitCode::Success, QStringLiteral("Сохранено успешно! ") + m_file,
               QStringLiteral("сохранено: ") + QFileInfo(m_file).fileName());
    });
}

void FirmwareJob::backupFirst()
{
    const ConfigBackups::Owner owner = m_unit.backups().owner();
    const QString folder = m_unit.backupStore().unitFolder(owner);
    const QString file = m_unit.backupStore().newCopyPath(owner, ConfigBackups::Kind::Firmware);
    const QString notWritten = QLatin1Char(' ') + kNotWritten;
    begin(QStringLiteral("Чтение прошивки в резервную копию"),
          [file, notWritten] { return UnitReport::readInterrupted(true, file) + notWritten; });
    // A folder that cannot be made is told by the save as the file it cannot create.
    QDir().mkpath(folder);
    if (!m_unit.firmwareExchange().saveToFile(file))
        return failed(ExitCode::BadFile, firstMessageOr(UnitReport::fileUntouched(file)) + notWritten);
    if (!started(Tag::FirmwareRead, UnitReport::fileUntouched(file) + notWritten))
        return;
    await([this, file, notWritten] {
        if (m_unit.exchangeTag() != Tag::Saved && m_unit.firmwareExchange().fileFailed())
            return failed(ExitCode::BadFile, firstMessageOr(UnitReport::fileUntouched(file)) + notWritten);
        if (m_unit.exchangeTag() != Tag::Saved)
            return failed(ExitCode::TransferFailed,
                        UnitReport::firmwareReadFailure(link(), countShown(), m_unit.firmwareExchange(), file)
                            + notWritten);
        emit said(kBackupKept.arg(QDir::toNativeSeparators(file)));
        write();
    });
}

void FirmwareJob::write()
{
    begin(QStringLiteral("Запись прошивки"),
          [this] { return UnitReport::firmwareWriteInterrupted(m_unit.firmwareExchange().SchetchikBaitov); });
    // A status text of the unit while the flash goes on, or told as it succeeds, is no error: said
    // as what it is. The texts of a failed write keep their words.
    m_messages.setRewrite([this](const QString &text) {
        const QString &broken = FirmwareExchange::kSequenceBroken;
        const bool going = m_unit.exchangeTag() == Tag::FirmwareWrite || m_unit.exchangeTag() == Tag::Written;
        // The window's line under a status text says what the command line's own words say.
        QString shown = text;
        if (shown.endsWith(QLatin1Char('\n') + FirmwareExchange::kWriteGoesOn))
            shown.chop(FirmwareExchange::kWriteGoesOn.size() + 1);
        if (!going || !shown.startsWith(broken) || shown.contains(QLatin1Char('\n')))
            return text;
        return kStatusGoesOn.arg(shown.mid(broken.size()));
    });
    if (!m_unit.firmwareExchange().loadFromFile(m_file))
        return failed(ExitCode::BadFile, firstMessageOr(QStringLiteral("Файл %1 не прочитан.").arg(m_file)));
    if (!started(Tag::FirmwareWrite, UnitReport::transferProblem(link())))
        return;
    await([this] {
        m_messages.setRewrite(nullptr);
        if (m_unit.exchangeTag() != Tag::Written)
            return failed(ExitCode::TransferFailed,
                        UnitReport::firmwareWriteFailure(link(), countShown(), m_unit.firmwareExchange()));
        if (!m_verify) {
            release();
            return finish(ExitCode::Success, QStringLiteral("Записано успешно! ") + m_file, QStringLiteral("записано"));
        }
        emit said(QStringLiteral("Записано успешно! ") + m_file);
        verify();
    });
}

void FirmwareJob::verify()
{
    // Read back into a scratch file through the same routine as a firmware read.
    m_scratch = std::make_unique<QTemporaryDir>();
    const QString readBack = m_scratch->filePath(QStringLiteral("verify.fw"));
    begin(QStringLiteral("Проверка"), [] { return UnitReport::kFirmwareVerifyInterrupted; });
    if (!m_scratch->isValid() || !m_unit.firmwareExchange().saveToFile(readBack))
        return failed(ExitCode::TransferFailed, UnitReport::kFirmwareVerifySkipped);
    if (!started(Tag::FirmwareRead, UnitReport::kFirmwareVerifySkipped))
        return;
    await([this, readBack] {
        if (m_unit.exchangeTag() != Tag::Saved)
            return failed(ExitCode::TransferFailed, UnitReport::kFirmwareVerifySkipped);
        release();
        QByteArray unitBytes;
        for (const QByteArray &block : FirmwareFile::read(readBack).blocks)
            unitBytes += block;
        const VerifyCompare::Mismatch mismatch = VerifyCompare::compare(unitBytes, m_blocks);
        if (mismatch.count > 0)
            return finish(ExitCode::VerifyMismatch, VerifyCompare::text(mismatch, FirmwareFile::kFirmwareSize));
        finish(ExitCode::Success, QStringLiteral("Проверено: прошивка в устройстве совпадает с файлом."),
               QStringLiteral("записано и проверено"));
    });
}
