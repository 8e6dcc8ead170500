#include "cli/CliCommands.h"
#include "cli/CliUnit.h"
#include "cli/ExitCode.h"
#include "cli/FieldCommands.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressReporter.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/StatusModel.h"
#include "monitor/MonitorExchange.h"
#include "monitor/MonitorJournal.h"
#include <QDateTime>
#include <QElapsedTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// A unit goes on with a reply it has begun; the next command finds it busy until then.
const QString kStillSending = QStringLiteral(" Устройство может ещё некоторое время передавать остаток данных.");

// Fields of the device information page that find shows, in this order.
const QList<int> kFindFields = {1, 6, 5, 7, 4};

QString hexOrNoData(int byte)
{
    return byte < 0 ? DeviceInfo::kNoData : QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QJsonValue jsonText(const QString &value)
{
    return value == DeviceInfo::kNoData ? QJsonValue() : QJsonValue(value);
}

void clearImage(ConfigImage &image)
{
    for (int position = 1; position <= ConfigImage::kLastPosition; ++position)
        image.setCell(position, QString());
}
}

CliCommands::CliCommands(CliUnit &session, const CliOptions &options, ProgressReporter &progress, Writer out,
                         Writer err)
    : m_session(session), m_options(options), m_progress(progress), m_out(std::move(out)), m_err(std::move(err))
{
}

void CliCommands::say(const QString &text)
{
    if (!m_options.quiet)
        m_err(text + QLatin1Char('\n'));
}

void CliCommands::fail(const QString &text)
{
    m_err(text + QLatin1Char('\n'));
}

CliCommands::Mismatch CliCommands::compare(const ByteAt &unit, const QList<QByteArray> &blocks)
{
    Mismatch mismatch;
    int position = 0;
    for (const QByteArray &block : blocks) {
        for (const char byte : block) {
            ++position;
            const int got = unit(position);
            if (got == static_cast<unsigned char>(byte))
                continue;
            if (mismatch.count++ == 0) {
                mismatch.first = position;
                mismatch.unitByte = got;
                mismatch.fileByte = static_cast<unsigned char>(byte);
            }
        }
    }
    return mismatch;
}

CliCommands::Mismatch CliCommands::compare(const ConfigImage &image, const QList<QByteArray> &blocks)
{
    return compare([&image](int position) { return image.byteAt(position); }, blocks);
}

QString CliCommands::mismatchText(const Mismatch &mismatch, int total)
{
    return QStringLiteral("Проверка не пройдена: отличаются %1 из %2 байт, первый — байт %3 "
                          "(в устройстве %4, в файле %5).")
        .arg(mismatch.count)
        .arg(total)
        .arg(mismatch.first)
        .arg(hexOrNoData(mismatch.unitByte), hexOrNoData(mismatch.fileByte));
}

int CliCommands::run()
{
    switch (m_options.command) {
    case CliOptions::Command::Find:
        return find();
    case CliOptions::Command::ReadConfig:
        return readConfig();
    case CliOptions::Command::WriteConfig:
        return writeConfig();
    case CliOptions::Command::ReadFirmware:
        return readFirmware();
    case CliOptions::Command::WriteFirmware:
        return writeFirmware();
    case CliOptions::Command::Monitor:
        return monitor();
    case CliOptions::Command::Show:
    case CliOptions::Command::Diff:
    case CliOptions::Command::Set:
        return FieldCommands(
                   m_session.configFiles(), m_options, [this](ConfigImage &image) { return readUnitImage(image); },
                   m_out, m_err)
            .run();
    case CliOptions::Command::Ports:   // needs no unit: run before a session exists
    case CliOptions::Command::None:
        break;
    }
    return ExitCode::Usage;
}

int CliCommands::connectUnit()
{
    QStringList tried;
    QStringList problems;
    for (const int port : m_session.candidatePorts(m_options.port)) {
        if (InterruptWatch::interrupted())
            break;
        tried << QString::number(port);
        if (m_session.identify(port)) {
            say(QStringLiteral("Устройство обнаружено! Com%1: %2").arg(port).arg(m_session.link().deviceName()));
            return ExitCode::Success;
        }
        if (!m_session.lastPortProblem().isEmpty())
            problems << m_session.lastPortProblem();
    }
    if (InterruptWatch::interrupted()) {
        fail(QStringLiteral("Прервано: поиск устройства остановлен, обмена с устройством не было."));
        return ExitCode::Interrupted;
    }
    fail(QStringLiteral("Устройство не обнаружено! Проверены порты: %1.").arg(tried.join(QStringLiteral(", "))));
    for (const QString &problem : std::as_const(problems))
        fail(problem);
    return ExitCode::NoUnit;
}

// What went wrong with an exchange that did not end in its success tag.
static QString transferProblem(SerialLink &link)
{
    if (link.RPF_02VektorPriemaIsPorta.isEmpty()) {
        QString text = QStringLiteral("Связь с устройством потеряна");
        if (!link.connectionError().isEmpty())
            text += QStringLiteral(": ") + link.connectionError();
        if (!link.connectionErrorToolTip().isEmpty())
            text += QStringLiteral(" (") + link.connectionErrorToolTip() + QLatin1Char(')');
        return text + QLatin1Char('.');
    }
    return link.RPF_02VektorPriemaIsPorta + QLatin1Char('!');
}

int CliCommands::find()
{
    // A quick query: no progress of the configuration reads behind it.
    m_session.setProgressShown(false);
    QJsonArray units;
    QStringList problems;
    QStringList tried;
    bool readFailed = false;
    for (const int port : m_session.candidatePorts(m_options.port)) {
        if (InterruptWatch::interrupted())
            break;
        tried << QString::number(port);
        if (!m_session.identify(port)) {
            if (!m_session.lastPortProblem().isEmpty())
                problems << m_session.lastPortProblem();
            continue;
        }
        SerialLink &link = m_session.link();
        if (!readUnitInfo(port)) {
            if (InterruptWatch::interrupted())
                break;
            readFailed = true;
        }
        DeviceInfo &info = m_session.deviceInfo();

        QJsonObject unit;
        unit.insert(QStringLiteral("port"), port);
        unit.insert(QStringLiteral("device"), link.port().deviceFor(port));
        unit.insert(QStringLiteral("name"), link.deviceName());
        unit.insert(QStringLiteral("model"), jsonText(info.value(6)));
        unit.insert(QStringLiteral("inputs"),
                    info.KolichestvoVhodov ? QJsonValue(*info.KolichestvoVhodov) : QJsonValue());
        unit.insert(QStringLiteral("coreVersion"), jsonText(info.VersiaJadra));
        unit.insert(QStringLiteral("firmwareVersion"), jsonText(info.VersiaProshivki));
        unit.insert(QStringLiteral("imei"), jsonText(info.value(4)));
        units.append(unit);
        if (!m_options.json) {
            QString text = QStringLiteral("Com%1 (%2)\n").arg(port).arg(link.port().deviceFor(port));
            for (const int field : kFindFields)
                text += QStringLiteral("  ") + DeviceInfo::caption(field) + QLatin1Char(' ') + info.value(field)
                    + QLatin1Char('\n');
            m_out(text);
        }
        m_session.close();
    }
    if (InterruptWatch::interrupted()) {
        fail(QStringLiteral("Прервано: поиск остановлен."));
        return ExitCode::Interrupted;
    }
    if (m_options.json)
        m_out(QString::fromUtf8(QJsonDocument(units).toJson(QJsonDocument::Indented)));
    if (units.isEmpty()) {
        fail(QStringLiteral("Устройство не обнаружено! Проверены порты: %1.").arg(tried.join(QStringLiteral(", "))));
        for (const QString &problem : std::as_const(problems))
            fail(problem);
        return ExitCode::NoUnit;
    }
    return readFailed ? ExitCode::TransferFailed : ExitCode::Success;
}

int CliCommands::readConfig()
{
    const QString &file = m_options.file;
    if (!QFileInfo(file).absoluteDir().exists()) {
        fail(ConfigFiles::kCreateError + file);
        return ExitCode::BadFile;
    }
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    SerialLink &link = m_session.link();
    const bool existed = QFileInfo::exists(file);
    const QString untouched = existed ? QStringLiteral("Файл %1 не изменён.").arg(file)
                                      : QStringLiteral("Файл %1 не создан.").arg(file);

    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Чтение конфигурации"));
    m_session.configTransfer().CopyToFile();
    if (link.RPF_02VektorPriemaIsPorta != Tag::ConfigFileCopy) {
        // The file could not be created; the routine said why.
        m_session.close();
        return ExitCode::BadFile;
    }
    if (m_session.waitWhileTag(Tag::ConfigFileCopy) == CliUnit::End::Interrupted) {
        m_session.abort();
        fail(QStringLiteral("Прервано: чтение остановлено. ") + untouched + kStillSending);
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::Saved) {
        const QString problem = transferProblem(link);
        m_session.abort();
        fail(problem + QLatin1Char(' ') + untouched);
        return ExitCode::TransferFailed;
    }
    m_session.close();
    say(QStringLiteral("Сохранено успешно! ") + file);
    return ExitCode::Success;
}

int CliCommands::writeConfig()
{
    const QString &file = m_options.file;
    // The whole file is checked before the port is touched: a bad file sends nothing.
    const std::optional<ConfigFiles::Content> content = m_session.configFiles().readChecked(file);
    if (!content)
        return ExitCode::BadFile;
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    SerialLink &link = m_session.link();
    ConfigFileTransfer &transfer = m_session.configTransfer();

    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Запись конфигурации"));
    transfer.LoadFromFile();
    if (link.RPF_02VektorPriemaIsPorta != Tag::ConfigFileLoad) {
        // Checked again on loading: the file changed meanwhile. Nothing was sent.
        m_session.close();
        return ExitCode::BadFile;
    }
    const QString partial = QStringLiteral(
        "Передано %1 из %2 байт: конфигурация в устройстве может быть записана не полностью, повторите запись.");
    if (m_session.waitWhileTag(Tag::ConfigFileLoad) == CliUnit::End::Interrupted) {
        const int sent = transfer.SchetchikBaitov;
        m_session.abort();
        fail(QStringLiteral("Прервано: запись остановлена. ")
             + (sent == 0 ? QStringLiteral("Данные конфигурации в устройство не передавались.")
                          : partial.arg(sent).arg(ConfigImage::kMemorySize)));
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::Written) {
        const QString problem = transferProblem(link);
        const int sent = transfer.SchetchikBaitov;
        m_session.abort();
        fail(problem + QLatin1Char(' ') + partial.arg(sent).arg(ConfigImage::kMemorySize));
        return ExitCode::TransferFailed;
    }
    say(QStringLiteral("Записано успешно! ") + file);
    if (!m_options.verify) {
        m_session.close();
        return ExitCode::Success;
    }

    clearImage(m_session.image());
    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Проверка"));
    m_session.configExchange().ConfiguraciaReadProcess();
    if (m_session.waitWhileTag(Tag::ConfigRead) == CliUnit::End::Interrupted) {
        m_session.abort();
        fail(QStringLiteral("Прервано: конфигурация записана, проверка не выполнена."));
        return ExitCode::Interrupted;
    }
    if (link.RPF_02VektorPriemaIsPorta != Tag::ReadOk) {
        const QString problem = transferProblem(link);
        m_session.abort();
        fail(problem + QStringLiteral(" Конфигурация записана, проверка не выполнена."));
        return ExitCode::TransferFailed;
    }
    m_session.close();
    const Mismatch mismatch = compare(m_session.image(), content->blocks);
    if (mismatch.count > 0) {
        fail(mismatchText(mismatch, ConfigImage::kMemorySize));
        return ExitCode::VerifyMismatch;
    }
    say(QStringLiteral("Проверено: конфигурация в устройстве совпадает с файлом."));
    return ExitCode::Success;
}

bool CliCommands::readUnitInfo(int port)
{
    // The rest of what the unit is lives in its configuration memory.
    SerialLink &link = m_session.link();
    clearImage(m_session.image());
    m_session.deviceInfo().KolichestvoVhodov.reset();
    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Чтение конфигурации"));
    m_session.configExchange().ConfiguraciaReadProcess();
    if (m_session.waitWhileTag(Tag::ConfigRead) == CliUnit::End::Interrupted) {
        m_session.abort();
        m_session.deviceInfo().fill();
        return false;
    }
    const bool ok = link.RPF_02VektorPriemaIsPorta == Tag::ReadOk;
    if (!ok)
        fail(QStringLiteral("Com%1: ").arg(port) + transferProblem(link));
    m_session.deviceInfo().fill();
    return ok;
}

int CliCommands::readUnitImage(ConfigImage &image)
{
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    const bool read = readUnitInfo(m_session.link().UsbComPortNumber);
    if (InterruptWatch::interrupted()) {
        fail(QStringLiteral("Прервано: чтение конфигурации остановлено."));
        return ExitCode::Interrupted;
    }
    m_session.close();
    image = m_session.image();
    return read ? ExitCode::Success : ExitCode::TransferFailed;
}

int CliCommands::checkFirmwareVersion()
{
    if (!readUnitInfo(m_session.link().UsbComPortNumber)) {
        if (InterruptWatch::interrupted()) {
            fail(QStringLiteral("Прервано: обмена прошивкой с устройством не было."));
            return ExitCode::Interrupted;
        }
        m_session.close();
        return ExitCode::TransferFailed;
    }
    const QString version = m_session.deviceInfo().VersiaProshivki;
    if (!FirmwareExchange::versionAllowsTransfer(version)) {
        m_session.close();
        fail(QStringLiteral("Операции с прошивкой недоступны: устройство не сообщает версию прошивки (%1).")
                 .arg(version));
        return ExitCode::TransferFailed;
    }
    return ExitCode::Success;
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
    if (!QFileInfo(file).absoluteDir().exists()) {
        fail(FirmwareExchange::kCreateError + file);
        return ExitCode::BadFile;
    }
    int result = connectUnit();
    if (result == ExitCode::Success)
        result = checkFirmwareVersion();
    if (result != ExitCode::Success)
        return result;
    const QString untouched = QFileInfo::exists(file) ? QStringLiteral("Файл %1 не изменён.").arg(file)
                                                       : QStringLiteral("Файл %1 не создан.").arg(file);
    SerialLink &link = m_session.link();
    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Чтение прошивки"));
    if (!m_session.firmware().saveToFile(file)) {
        m_session.close();
        return ExitCode::BadFile;
    }
    result = waitFirmware(Tag::FirmwareRead);
    if (result == ExitCode::Interrupted) {
        m_session.abort();
        fail(QStringLiteral("Прервано: чтение прошивки остановлено. ") + untouched + kStillSending);
        return result;
    }
    if (result != ExitCode::Success || link.RPF_02VektorPriemaIsPorta != Tag::Saved) {
        // The exchange has said what went wrong.
        m_session.abort();
        fail(QStringLiteral("Ошибка при сохранении! ") + untouched);
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
    int result = connectUnit();
    if (result == ExitCode::Success)
        result = checkFirmwareVersion();
    if (result != ExitCode::Success)
        return result;
    SerialLink &link = m_session.link();
    FirmwareExchange &firmware = m_session.firmware();
    m_session.status().clearProgress();
    m_progress.begin(QStringLiteral("Запись прошивки"));
    if (!firmware.loadFromFile(file)) {
        m_session.close();
        return ExitCode::BadFile;
    }
    result = waitFirmware(Tag::FirmwareWrite);
    if (result == ExitCode::Interrupted) {
        const int sent = firmware.SchetchikBaitov;
        m_session.abort();
        fail(sent == 0 ? QStringLiteral("Прервано: запись прошивки остановлена, данные прошивки в устройство не "
                                        "передавались.")
                       : QStringLiteral("Прервано: запись прошивки остановлена после %1 из %2 байт. ")
                                 .arg(sent)
                                 .arg(FirmwareFile::kFirmwareSize)
                             + FirmwareExchange::kMayBeUnusable);
        return result;
    }
    if (result != ExitCode::Success || link.RPF_02VektorPriemaIsPorta != Tag::Written) {
        m_session.abort();
        fail(QStringLiteral("Ошибка при записи!"));
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
        fail(QStringLiteral("Прошивка записана, проверка не выполнена."));
        return ExitCode::TransferFailed;
    }
    result = waitFirmware(Tag::FirmwareRead);
    if (result == ExitCode::Interrupted) {
        m_session.abort();
        fail(QStringLiteral("Прервано: прошивка записана, проверка не выполнена."));
        return result;
    }
    if (result != ExitCode::Success || link.RPF_02VektorPriemaIsPorta != Tag::Saved) {
        m_session.abort();
        fail(QStringLiteral("Прошивка записана, проверка не выполнена."));
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

QString CliCommands::frameLine(const MonitorReadings &r, const MonitorDecoder::Layout &layout, bool measurement,
                               const QDateTime &time)
{
    QStringList parts{time.toString(QStringLiteral("HH:mm:ss"))};
    const auto trimmed = [](const QString &text) { return text.trimmed(); };
    if (measurement) {
        for (int row = 1; row <= MonitorReadings::kRows; ++row) {
            const bool input = row <= MonitorReadings::kInputs;
            if (input && !layout[row].visible)
                continue;
            const QString name = input ? trimmed(layout[row].caption) : QStringLiteral("УПР");
            QString item = name + QStringLiteral(": ") + trimmed(r.volt[row]) + QStringLiteral(" В ")
                + trimmed(r.percent[row]) + QLatin1Char('%');
            if (input && !r.state[row].isEmpty() && r.state[row] != MonitorReadings::kDesignText)
                item += QLatin1Char(' ') + r.state[row];
            parts << item;
        }
        parts << QStringLiteral("Акк: ") + trimmed(r.battery) + QStringLiteral(" В")
              << QStringLiteral("Пит: ") + trimmed(r.supply) + QStringLiteral(" В")
              << QStringLiteral("Проц: ") + trimmed(r.cpu) + QStringLiteral(" В");
    } else {
        for (int n = 1; n <= MonitorReadings::kSensors; ++n) {
            const QString value = r.sensors[n] == MonitorReadings::kDesignText ? QString() : trimmed(r.sensors[n]);
            parts << QStringLiteral("T%1=").arg(n) + (value.isEmpty() ? QStringLiteral("—") : value);
        }
    }
    return parts.join(QStringLiteral("  "));
}

int CliCommands::monitor()
{
    const int connected = connectUnit();
    if (connected != ExitCode::Success)
        return connected;
    SerialLink &link = m_session.link();
    MonitorExchange &exchange = m_session.monitor();
    // The model and the inputs' ranges come with the configuration, as on the monitoring page.
    if (!readUnitInfo(link.UsbComPortNumber)) {
        if (InterruptWatch::interrupted()) {
            m_session.abort();
            say(QStringLiteral("Мониторинг остановлен."));
            return m_options.count ? ExitCode::Interrupted : ExitCode::Success;
        }
        fail(QStringLiteral("Без конфигурации входы показаны по номерам, без состояний."));
    }
    exchange.RazmetkaVhodov();
    m_session.setProgressShown(false);

    const int periodMs = int(m_options.period * 1000);
    bool headerShown = false;
    int frames = 0;
    int failures = 0;
    QElapsedTimer clock;
    while (!m_options.count || frames < *m_options.count) {
        clock.start();
        exchange.MonitoringProcess();
        if (link.RPF_02VektorPriemaIsPorta == Tag::Monitoring
            && m_session.waitWhileTag(Tag::Monitoring) == CliUnit::End::Interrupted)
            break;
        const QString tag = link.RPF_02VektorPriemaIsPorta;
        if (tag == Tag::MonitoringOk) {
            ++frames;
            failures = 0;
            const QDateTime now = QDateTime::currentDateTime();
            if (m_options.csv) {
                // The journal's own CSV, one row at a time.
                MonitorJournal row;
                row.append(now, exchange.readings());
                const QStringList lines = QString::fromUtf8(row.csv(exchange.layout())).split(QStringLiteral("\r\n"));
                if (!headerShown)
                    m_out(lines.value(0) + QLatin1Char('\n'));
                m_out(lines.value(1) + QLatin1Char('\n'));
                headerShown = true;
            } else {
                const bool measurement =
                    MonitorDecoder::kindOf(exchange.BuferMonitoringa) == MonitorDecoder::Kind::Measurement;
                m_out(frameLine(exchange.readings(), exchange.layout(), measurement, now) + QLatin1Char('\n'));
            }
        } else if (!link.isOpen()) {
            fail(transferProblem(link));
            return ExitCode::TransferFailed;
        } else {
            // One bad or missing reply; the next poll may be fine, as on the page.
            fail(QStringLiteral("Кадр не получен: ") + (tag.isEmpty() ? QStringLiteral("нет ответа") : tag)
                 + QLatin1Char('.'));
            if (++failures >= kMaxFailedPolls) {
                m_session.close();
                return ExitCode::TransferFailed;
            }
        }
        if (m_options.count && frames >= *m_options.count)
            break;
        if (m_session.pause(periodMs - int(clock.elapsed())) == CliUnit::End::Interrupted)
            break;
    }
    if (InterruptWatch::interrupted()) {
        m_session.abort();
        say(QStringLiteral("Мониторинг остановлен."));
        // Without --count Ctrl+C is the way to end; with it, the frames asked for did not all come.
        return m_options.count ? ExitCode::Interrupted : ExitCode::Success;
    }
    m_session.close();
    return ExitCode::Success;
}
