#include "cli/BatchUnit.h"
#include "cli/CliCommands.h"
#include "cli/CommandSupport.h"
#include "cli/ProgressReporter.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/StatusModel.h"
#include "unit/UnitSession.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <utility>

using namespace CommandSupport;

BatchUnit::BatchUnit(int port, std::unique_ptr<SerialPort> serialPort, ProgramSettings &settings, const CliOptions &options,
          const QString &folder, bool live, BatchRun::Writer err, const QList<QByteArray> &blocks)
    : m_port(port), m_options(options), m_blocks(blocks), m_messages(port, live, std::move(err)),
      m_dialogs(QString()), m_serialPort(std::move(serialPort))
{
    m_unit = std::make_unique<UnitSession>(folder, m_serialPort.get(),
                                           UnitSession::Borrowed{settings, m_messages, m_dialogs, m_systemClock});
    if (options.speed)
        m_unit->overrideSpeed(*options.speed);
    m_unit->queue().setLinkFree(true);
    // The pump stops its own timer while a tick runs: only the tag counts here.
    connect(&m_unit->link(), &SerialLink::stateChanged, this, [this] { check(false); });
    m_drainTimer.setInterval(LineDrain::kPollMs);
    connect(&m_drainTimer, &QTimer::timeout, this, [this] {
        if (!m_drain->poll(link().port().readAll().size(), m_clock.elapsed() - m_drainBegan)
            && link().port().isOpen())
            return;
        m_drainTimer.stop();
        identify();
    });
}

BatchUnit::~BatchUnit()
{
    m_unit->stop();
}

void BatchUnit::start()
{
    m_clock.start();
    m_stage = QStringLiteral("поиск");
    m_leftIn = [] { return UnitReport::kSearchInterrupted; };
    // As for a single command: what a unit still sends of an interrupted reply is read away first.
    link().OpenUsbComPort(QString::number(m_port));
    link().pollTimer().stop();
    if (!link().isOpen())
        return identify();
    m_drain.emplace(link().UsbComPortSpeed);
    m_drainBegan = m_clock.elapsed();
    m_drainTimer.start();
}

void BatchUnit::identify()
{
    QString number = QString::number(m_port);
    link().PoiskUstroistva(number);
    waitWhile(Tag::NameReading, [this] { identified(); });
}

void BatchUnit::check(bool betweenTicks)
{
    if (!m_then)
        return;
    if (link().RPF_02VektorPriemaIsPorta == m_waitTag && (!betweenTicks || link().pollTimer().isActive()))
        return;
    // Leave the link's own signal before the next step starts.
    QTimer::singleShot(0, this, [then = std::exchange(m_then, nullptr)] { then(); });
}

void BatchUnit::interrupt()
{
    if (m_done)
        return;
    const QString text = m_leftIn ? m_leftIn() : QString();
    abort();
    finish(ExitCode::Interrupted, text);
}

BatchRun::Row BatchUnit::row() const
{
    return BatchRun::Row{m_port,   m_name,           m_code,         m_result, double(m_elapsedMs) / 1000.0,
                         m_detail, m_outcome.advice, m_outcome.fault};
}

QString BatchUnit::progressLine() const
{
    QString line = QStringLiteral("COM%1  %2").arg(m_port, -3).arg(m_name.isEmpty() ? QStringLiteral("…") : m_name, -16);
    if (m_done)
        return line + QStringLiteral("  ") + m_result;
    const auto counted = ProgressReporter::parseCounter(m_unit->status().counter());
    if (counted && m_counting)
        line += QStringLiteral("  ") + ProgressReporter::bar(counted->first, counted->second, 20)
            + QStringLiteral(" %1/%2").arg(counted->first).arg(counted->second);
    return line + QStringLiteral("  ") + m_stage;
}

int BatchUnit::tenth() const
{
    const auto counted = ProgressReporter::parseCounter(m_unit->status().counter());
    return counted && m_counting && counted->second > 0 ? int(counted->first * 10 / counted->second) : -1;
}

SerialLink &BatchUnit::link()
{
    return m_unit->link();
}

void BatchUnit::waitWhile(const QString &tag, std::function<void()> then)
{
    m_waitTag = tag;
    m_then = std::move(then);
    check();
}

void BatchUnit::begin(const QString &stage, std::function<QString()> leftIn)
{
    m_stage = stage;
    m_leftIn = std::move(leftIn);
    m_counting = true;
    m_mark = m_messages.texts.size();
    m_unit->status().clearProgress();
}

bool BatchUnit::countShown() const
{
    return UnitReport::countMessageIn(m_messages.texts, m_mark);
}

void BatchUnit::abort()
{
    m_drainTimer.stop();
    m_then = nullptr;
    link().RPF_02VektorPriemaIsPorta.clear();
    m_unit->stop();
}

void BatchUnit::finish(int code, const QString &result)
{
    m_then = nullptr;
    m_unit->stop();
    m_code = code;
    m_result = code == ExitCode::Success ? result : BatchRun::resultText(code);
    if (code == ExitCode::NoUnit && !m_outcome.reason.isEmpty())
        m_result += QStringLiteral(": ") + m_outcome.reason;
    m_detail = code == ExitCode::Success ? QString() : result;
    m_elapsedMs = m_clock.elapsed();
    m_done = true;
    if (ended)
        ended(this);
}

void BatchUnit::fail(int code, const QString &result)
{
    abort();
    finish(code, result);
}

void BatchUnit::identified()
{
    if (link().RPF_02VektorPriemaIsPorta != Tag::NameRead || !link().isOpen()) {
        m_outcome = UnitReport::portOutcome(m_port, link(), m_unit->programFolder());
        link().CloseUsbComPort();
        finish(ExitCode::NoUnit, m_outcome.problem);
        return;
    }
    m_name = link().deviceName().trimmed();
    m_unit->status().setConnection(StatusModel::kActive);
    switch (m_options.command) {
    case CliOptions::Command::Find:
        readInfo([this](bool ok) {
            m_json = CliCommands::unitJson(m_port, link(), m_unit->deviceInfo(), ok);
            m_findText = CliCommands::unitText(m_port, link(), m_unit->deviceInfo(), ok);
            if (ok)
                finish(ExitCode::Success, QStringLiteral("найдено"));
            else
                fail(ExitCode::TransferFailed,
                     UnitReport::infoReadFailure(link(), countShown(), m_unit->configExchange()));
        });
        return;
    case CliOptions::Command::ReadConfig:
        readConfig();
        return;
    case CliOptions::Command::WriteConfig:
        writeConfig();
        return;
    case CliOptions::Command::ReadFirmware:
    case CliOptions::Command::WriteFirmware:
        readInfo([this](bool ok) {
            if (!ok)
                return fail(ExitCode::TransferFailed,
                            UnitReport::infoReadFailure(link(), countShown(), m_unit->configExchange())
                                + QLatin1Char(' ') + UnitReport::kFirmwareUntouched);
            const QString version = m_unit->deviceInfo().VersiaProshivki;
            if (!FirmwareExchange::versionAllowsTransfer(version))
                return fail(ExitCode::TransferFailed, UnitReport::firmwareUnavailable(version));
            if (m_options.command == CliOptions::Command::ReadFirmware)
                readFirmware();
            else
                writeFirmware();
        });
        return;
    default:
        fail(ExitCode::Usage, QString());
    }
}

void BatchUnit::readInfo(std::function<void(bool)> then)
{
    clearImage(m_unit->image());
    m_unit->deviceInfo().KolichestvoVhodov.reset();
    begin(QStringLiteral("чтение конфигурации"),
          [] { return QStringLiteral("Прервано: чтение конфигурации остановлено, в устройство ничего не записано."); });
    m_unit->configExchange().ConfiguraciaReadProcess();
    waitWhile(Tag::ConfigRead, [this, then = std::move(then)] {
        const bool ok = link().RPF_02VektorPriemaIsPorta == Tag::ReadOk;
        m_unit->deviceInfo().fill();
        then(ok);
    });
}

QString BatchUnit::fileIn(const QString &suffix) const
{
    return QDir(m_options.file).filePath(BatchRun::unitFileName(m_port, m_name, suffix));
}

void BatchUnit::readConfig()
{
    const QString file = fileIn(QStringLiteral(".cf"));
    m_dialogs.setFileName(file);
    begin(QStringLiteral("чтение конфигурации"), [file] { return UnitReport::readInterrupted(false, file); });
    m_unit->configTransfer().CopyToFile();
    if (link().RPF_02VektorPriemaIsPorta != Tag::ConfigFileCopy)
        return fail(ExitCode::BadFile, m_messages.texts.value(m_mark, UnitReport::fileUntouched(file)));
    waitWhile(Tag::ConfigFileCopy, [this, file] {
        if (link().RPF_02VektorPriemaIsPorta != Tag::Saved && m_unit->configTransfer().fileFailed())
            return fail(ExitCode::BadFile, m_messages.texts.value(m_mark, UnitReport::fileUntouched(file)));
        if (link().RPF_02VektorPriemaIsPorta != Tag::Saved)
            return fail(ExitCode::TransferFailed,
                        UnitReport::configCopyFailure(link(), countShown(), m_unit->configTransfer(), file));
        finish(ExitCode::Success, QStringLiteral("сохранено: ") + QFileInfo(file).fileName());
    });
}

void BatchUnit::writeConfig()
{
    m_dialogs.setFileName(m_options.file);
    ConfigFileTransfer &transfer = m_unit->configTransfer();
    begin(QStringLiteral("запись конфигурации"),
          [this] { return UnitReport::configWriteInterrupted(m_unit->configTransfer().SchetchikBaitov); });
    transfer.LoadFromFile();
    if (link().RPF_02VektorPriemaIsPorta != Tag::ConfigFileLoad)
        return fail(ExitCode::BadFile, m_messages.texts.value(m_mark, QStringLiteral("файл не прочитан")));
    waitWhile(Tag::ConfigFileLoad, [this] {
        if (link().RPF_02VektorPriemaIsPorta != Tag::Written)
            return fail(ExitCode::TransferFailed,
                        UnitReport::configLoadFailure(link(), countShown(), m_unit->configTransfer()));
        if (!m_options.verify)
            return finish(ExitCode::Success, QStringLiteral("записано"));
        clearImage(m_unit->image());
        begin(QStringLiteral("проверка"), [] { return UnitReport::kConfigVerifyInterrupted; });
        m_unit->configExchange().ConfiguraciaReadProcess();
        waitWhile(Tag::ConfigRead, [this] {
            if (link().RPF_02VektorPriemaIsPorta != Tag::ReadOk)
                return fail(ExitCode::TransferFailed,
                            UnitReport::configVerifyFailure(link(), countShown(), m_unit->configExchange()));
            const CliCommands::Mismatch mismatch = CliCommands::compare(m_unit->image(), m_blocks);
            if (mismatch.count > 0)
                return finish(ExitCode::VerifyMismatch, CliCommands::mismatchText(mismatch, ConfigImage::kMemorySize));
            finish(ExitCode::Success, QStringLiteral("записано и проверено"));
        });
    });
}

bool BatchUnit::startFirmware(const QString &tag)
{
    m_unit->queue().pump();
    return link().RPF_02VektorPriemaIsPorta == tag;
}

void BatchUnit::readFirmware()
{
    const QString file = fileIn(QStringLiteral(".fw"));
    begin(QStringLiteral("чтение прошивки"), [file] { return UnitReport::readInterrupted(true, file); });
    if (!m_unit->firmwareExchange().saveToFile(file))
        return fail(ExitCode::BadFile, m_messages.texts.value(m_mark, UnitReport::fileUntouched(file)));
    if (!startFirmware(Tag::FirmwareRead))
        return fail(ExitCode::TransferFailed, m_messages.texts.value(m_mark, UnitReport::fileUntouched(file)));
    waitWhile(Tag::FirmwareRead, [this, file] {
        if (link().RPF_02VektorPriemaIsPorta != Tag::Saved && m_unit->firmwareExchange().fileFailed())
            return fail(ExitCode::BadFile, m_messages.texts.value(m_mark, UnitReport::fileUntouched(file)));
        if (link().RPF_02VektorPriemaIsPorta != Tag::Saved)
            return fail(ExitCode::TransferFailed,
                        UnitReport::firmwareReadFailure(link(), countShown(), m_unit->firmwareExchange(), file));
        finish(ExitCode::Success, QStringLiteral("сохранено: ") + QFileInfo(file).fileName());
    });
}

void BatchUnit::writeFirmware()
{
    FirmwareExchange &firmware = m_unit->firmwareExchange();
    begin(QStringLiteral("запись прошивки"),
          [this] { return UnitReport::firmwareWriteInterrupted(m_unit->firmwareExchange().SchetchikBaitov); });
    if (!firmware.loadFromFile(m_options.file))
        return fail(ExitCode::BadFile, m_messages.texts.value(m_mark, QStringLiteral("файл не прочитан")));
    if (!startFirmware(Tag::FirmwareWrite))
        return fail(ExitCode::TransferFailed, m_messages.texts.value(m_mark, transferProblem(link())));
    waitWhile(Tag::FirmwareWrite, [this] {
        if (link().RPF_02VektorPriemaIsPorta != Tag::Written)
            return fail(ExitCode::TransferFailed,
                        UnitReport::firmwareWriteFailure(link(), countShown(), m_unit->firmwareExchange()));
        if (!m_options.verify)
            return finish(ExitCode::Success, QStringLiteral("записано"));
        // Read back into a scratch file through the same routine as read-firmware.
        m_scratch = std::make_unique<QTemporaryDir>();
        const QString readBack = m_scratch->filePath(QStringLiteral("verify.fw"));
        begin(QStringLiteral("проверка"), [] { return UnitReport::kFirmwareVerifyInterrupted; });
        if (!m_scratch->isValid() || !m_unit->firmwareExchange().saveToFile(readBack) || !startFirmware(Tag::FirmwareRead))
            return fail(ExitCode::TransferFailed, UnitReport::kFirmwareVerifySkipped);
        waitWhile(Tag::FirmwareRead, [this, readBack] {
            if (link().RPF_02VektorPriemaIsPorta != Tag::Saved)
                return fail(ExitCode::TransferFailed, UnitReport::kFirmwareVerifySkipped);
            m_unit->stop();
            QByteArray unitBytes;
            for (const QByteArray &block : FirmwareFile::read(readBack).blocks)
                unitBytes += block;
            const CliCommands::Mismatch mismatch = CliCommands::compare(
                [&unitBytes](int position) {
                    return position <= unitBytes.size() ? int(static_cast<unsigned char>(unitBytes.at(position - 1)))
                                                         : -1;
                },
                m_blocks);
            if (mismatch.count > 0)
                return finish(ExitCode::VerifyMismatch, CliCommands::mismatchText(mismatch, FirmwareFile::kFirmwareSize));
            finish(ExitCode::Success, QStringLiteral("записано и проверено"));
        });
    });
}
