// read-firmware and write-firmware: the firmware between a unit and a .fw file.
#include "cli/CliCommands.h"
#include "cli/CliUnit.h"
#include "cli/CommandSupport.h"
#include "cli/ExitCode.h"
#include "cli/FileChecks.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressReporter.h"
#include "cli/UnitReport.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/TransferReport.h"
#include "settings/ProgramSettings.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace CommandSupport;

int CliCommands::checkFirmwareVersion()
{
    if (!readUnitInfo(m_session.link().UsbComPortNumber)) {
        if (InterruptWatch::interrupted()) {
            fail(QStringLiteral("Прервано: обмена прошивкой с устройством не было."));
            return ExitCode::Interrupted;
        }
        m_session.close();
        fail(UnitReport::kFirmwareUntouched);
        return ExitCode::TransferFailed;
    }
    const QString version = m_session.deviceInfo().VersiaProshivki;
    if (!FirmwareExchange::versionAllowsTransfer(version)) {
        m_session.close();
        fail(UnitReport::firmwareUnavailable(version));
        return ExitCode::TransferFailed;
    }
    return ExitCode::Success;
}

QString CliCommands::speedHint(int speed, const QStringList &offered)
{
    // Nothing says which speeds a unit takes, so the hint leaves it to how the unit is set.
    if (speed != 9600 || !offered.contains(QStringLiteral("115200")))
        return QString();
    return QStringLiteral("Прошивка передаётся на скорости 9600 бод; на 115200 бод это заняло бы около десятой части "
                          "времени: если устройство настроено на 115200, укажите --speed 115200.");
}

QStringList CliCommands::offeredSpeeds(const ProgramSettings &settings)
{
    QStringList offered = ProgramSettings::kDefaultSpeeds;
    for (const QString &item : settings.speedItems())
        if (!offered.contains(item.trimmed()))
            offered << item.trimmed();
    return offered;
}

void CliCommands::beginFirmwareProgress(const QString &caption)
{
    m_session.status().clearProgress();
    if (m_progress.drawn()) {
        if (const QString hint = speedHint(m_session.link().UsbComPortSpeed, m_offeredSpeeds); !hint.isEmpty())
            m_err(hint + QLatin1Char('\n'));
    }
    m_progress.begin(caption);
}

int CliCommands::waitFirmware(const QString &tag)
{
    m_session.queue().pump();
    if (m_session.link().RPF_02VektorPriemaIsPorta != tag) {
        // The start failed and said why.
        m_session.close();
        return ExitCode::TransferFailed;
    }
    return m_session.waitWhileTag(tag) == CliUnit::End::Interrupted ? ExitCode::Interrupted
                                                                         : ExitCode::Success;
}

int CliCommands::readFirmware()
{
    const QString &file = m_options.file;
    if (const QString problem = FileChecks::forReceiving(file, FileChecks::Kind::Firmware); !problem.isEmpty()) {
        fail(problem);
        return ExitCode::BadFile;
    }
    int result = connectUnit();
    if (result == ExitCode::Success)
        result = checkFirmwareVersion();
    if (result != ExitCode::Success)
        return result;
    SerialLink &link = m_session.link();
    beginFirmwareProgress(QStringLiteral("Чтение прошивки"));
    const int mark = logMark();
    if (!m_session.firmware().saveToFile(file)) {
        m_session.close();
        return ExitCode::BadFile;
    }
    result = waitFirmware(Tag::FirmwareRead);
    if (result == ExitCode::Interrupted) {
        m_session.abort();
        fail(UnitReport::readInterrupted(true, file));
        return result;
    }
    if (result == ExitCode::Success && link.RPF_02VektorPriemaIsPorta != Tag::Saved
        && m_session.firmware().fileFailed()) {
        // The file could not be written; the routine said why and what the file is left with.
        m_session.abort();
        return ExitCode::BadFile;
    }
    if (result != ExitCode::Success || link.RPF_02VektorPriemaIsPorta != Tag::Saved) {
        const QString problem =
            UnitReport::firmwareReadFailure(link, countMessageSince(mark), m_session.firmware(), file);
        m_session.abort();
        fail(problem);
        return ExitCode::TransferFailed;
    }
    m_session.close();
    say(QStringLiteral("Сохранено успешно! ") + file);
    return ExitCode::Success;
}

int CliCommands::writeFirmware()
{
    const QString &file = m_options.file;
    // The whole file is checked before the port is touched: a bad file sends nothing.
    if (const QString problem = FileChecks::forSending(file, FileChecks::Kind::Firmware); !problem.isEmpty()) {
        fail(problem);
        return ExitCode::BadFile;
    }
    const FirmwareFile::Content content = FirmwareFile::read(file);
    switch (content.failure) {
    case FirmwareFile::Content::Failure::Open:
        fail(FirmwareExchange::kOpenError + file);
        return ExitCode::BadFile;
    case FirmwareFile::Content::Failure::Read:
        fail(FirmwareExchange::kReadFileError + file);
        return ExitCode::BadFile;
    case FirmwareFile::Content::Failure::Format:
        fail(FirmwareExchange::kFormatError.arg(file, QString::number(content.badLine), content.reason));
        return ExitCode::BadFile;
    case FirmwareFile::Content::Failure::None:
        break;
    }
    int result = connectUnit(true);
    if (result == ExitCode::Success)
        result = checkFirmwareVersion();
    if (result != ExitCode::Success)
        return result;
    SerialLink &link = m_session.link();
    FirmwareExchange &firmware = m_session.firmware();
    beginFirmwareProgress(QStringLiteral("Запись прошивки"));
    const int mark = logMark();
    if (!firmware.loadFromFile(file)) {
        m_session.close();
        return ExitCode::BadFile;
    }
    result = waitFirmware(Tag::FirmwareWrite);
    if (result == ExitCode::Interrupted) {
        const int sent = firmware.SchetchikBaitov;
        m_session.abort();
        fail(UnitReport::firmwareWriteInterrupted(sent));
        return result;
    }
    if (result != ExitCode::Success || link.RPF_02VektorPriemaIsPorta != Tag::Written) {
        const QString problem = UnitReport::firmwareWriteFailure(link, countMessageSince(mark), firmware);
        m_session.abort();
        fail(problem);
        return ExitCode::TransferFailed;
    }
    say(QStringLiteral("Записано успешно! ") + file);
    if (!m_options.verify) {
        m_session.close();
        return ExitCode::Success;
    }

    // Read back into a scratch file through the same routine as read-firmware.
    QTemporaryDir scratch;
    const QString readBack = scratch.filePath(QStringLiteral("verify.fw"));
    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Проверка"));
    if (!scratch.isValid() || !firmware.saveToFile(readBack)) {
        m_session.close();
        fail(UnitReport::kFirmwareVerifySkipped);
        return ExitCode::TransferFailed;
    }
    result = waitFirmware(Tag::FirmwareRead);
    if (result == ExitCode::Interrupted) {
        m_session.abort();
        fail(UnitReport::kFirmwareVerifyInterrupted);
        return result;
    }
    if (result != ExitCode::Success || link.RPF_02VektorPriemaIsPorta != Tag::Saved) {
        m_session.abort();
        fail(UnitReport::kFirmwareVerifySkipped);
        return ExitCode::TransferFailed;
    }
    m_session.close();
    const FirmwareFile::Content unit = FirmwareFile::read(readBack);
    QByteArray unitBytes;
    for (const QByteArray &block : unit.blocks)
        unitBytes += block;
    const Mismatch mismatch = compare(
        [&unitBytes](int position) {
            return position <= unitBytes.size() ? int(static_cast<unsigned char>(unitBytes.at(position - 1))) : -1;
        },
        content.blocks);
    if (mismatch.count > 0) {
        fail(mismatchText(mismatch, FirmwareFile::kFirmwareSize));
        return ExitCode::VerifyMismatch;
    }
    say(QStringLiteral("Проверено: прошивка в устройстве совпадает с файлом."));
    return ExitCode::Success;
}
