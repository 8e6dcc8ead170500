#include "cli/BatchRun.h"
#include "cli/CliCommands.h"
#include "cli/CommandSupport.h"
#include "cli/ExitCode.h"
#include "cli/FixedFileDialogs.h"
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
#include "link/QtSerialPort.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "settings/ProgramSettings.h"
#include "shell/Clock.h"
#include "shell/MessageSink.h"
#include "unit/UnitSession.h"
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <utility>

using namespace CommandSupport;

namespace {
// How often the loop looks for Ctrl+C, a stopped pump and progress to show.
constexpr int kTickMs = 100;

// A unit's message boxes: kept for the end, and in plain mode also shown at once with the port.
class UnitMessages : public MessageSink {
public:
    UnitMessages(int port, bool live, BatchRun::Writer err) : m_prefix(QStringLiteral("COM%1: ").arg(port)), m_live(live), m_err(std::move(err)) {}
    void show(const QString &text) override
    {
        texts << text;
        if (m_live)
            m_err(m_prefix + text + QLatin1Char('\n'));
    }
    QStringList texts;

private:
    QString m_prefix;
    bool m_live;
    BatchRun::Writer m_err;
};

QString untouchedText(const QString &file)
{
    return QFileInfo::exists(file) ? QStringLiteral("файл %1 не изменён").arg(QFileInfo(file).fileName())
                                   : QStringLiteral("файл %1 не создан").arg(QFileInfo(file).fileName());
}
}

// One unit of the batch: its core, and the command run as a chain of exchanges, each step started
// when the one before has ended (no loop of its own: the batch's one event loop drives them all).
class BatchUnit : public QObject {
public:
    BatchUnit(int port, std::unique_ptr<SerialPort> serialPort, ProgramSettings &settings, const CliOptions &options,
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
    }
    ~BatchUnit() override { m_unit->stop(); }

    std::function<void(BatchUnit *)> ended;

    void start()
    {
        m_clock.start();
        m_stage = QStringLiteral("поиск");
        m_leftIn = [] { return QStringLiteral("поиск остановлен, обмена с устройством не было."); };
        QString number = QString::number(m_port);
        link().PoiskUstroistva(number);
        waitWhile(Tag::NameReading, [this] { identified(); });
    }
    // Called by the batch's loop between ticks too: a pump that stopped would never end the exchange.
    void check(bool betweenTicks = true)
    {
        if (!m_then)
            return;
        if (link().RPF_02VektorPriemaIsPorta == m_waitTag && (!betweenTicks || link().pollTimer().isActive()))
            return;
        // Leave the link's own signal before the next step starts.
        QTimer::singleShot(0, this, [this, then = std::exchange(m_then, nullptr)] { then(); });
    }
    void interrupt()
    {
        if (m_done)
            return;
        const QString text = m_leftIn ? m_leftIn() : QString();
        abort();
        finish(ExitCode::Interrupted, text);
    }

    bool done() const { return m_done; }
    bool found() const { return !m_name.isEmpty(); }
    BatchRun::Row row() const
    {
        return BatchRun::Row{m_port, m_name, m_code, m_result, double(m_elapsedMs) / 1000.0, m_detail};
    }
    QJsonObject json() const { return m_json; }
    QString findText() const { return m_findText; }
    const QStringList &messages() const { return m_messages.texts; }
    // Port, name, bytes and state, for the progress display.
    QString progressLine() const
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
    // The tenth of the running transfer, -1 when none runs: plain mode writes a line per tenth.
    int tenth() const
    {
        const auto counted = ProgressReporter::parseCounter(m_unit->status().counter());
        return counted && m_counting && counted->second > 0 ? int(counted->first * 10 / counted->second) : -1;
    }
    QString stage() const { return m_stage; }

private:
    SerialLink &link() { return m_unit->link(); }

    void waitWhile(const QString &tag, std::function<void()> then)
    {
        m_waitTag = tag;
        m_then = std::move(then);
        check();
    }
    void begin(const QString &stage, std::function<QString()> leftIn)
    {
        m_stage = stage;
        m_leftIn = std::move(leftIn);
        m_counting = true;
        m_unit->status().clearProgress();
    }
    void abort()
    {
        m_then = nullptr;
        link().RPF_02VektorPriemaIsPorta.clear();
        m_unit->stop();
    }
    void finish(int code, const QString &result)
    {
        m_then = nullptr;
        m_unit->stop();
        m_code = code;
        m_result = code == ExitCode::Success ? result : BatchRun::resultText(code);
        m_detail = code == ExitCode::Success ? QString() : result;
        m_elapsedMs = m_clock.elapsed();
        m_done = true;
        if (ended)
            ended(this);
    }
    void fail(int code, const QString &result)
    {
        abort();
        finish(code, result);
    }

    void identified()
    {
        if (link().RPF_02VektorPriemaIsPorta != Tag::NameRead || !link().isOpen()) {
            link().CloseUsbComPort();
            finish(ExitCode::NoUnit, QStringLiteral("устройство не обнаружено"));
            return;
        }
        m_name = link().deviceName().trimmed();
        m_unit->status().setConnection(StatusModel::kActive);
        switch (m_options.command) {
        case CliOptions::Command::Find:
            readInfo([this](bool ok) {
                m_json = CliCommands::unitJson(m_port, link(), m_unit->deviceInfo());
                m_findText = CliCommands::unitText(m_port, link(), m_unit->deviceInfo());
                if (ok)
                    finish(ExitCode::Success, QStringLiteral("найдено"));
                else
                    fail(ExitCode::TransferFailed, transferProblem(link()));
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
                    return fail(ExitCode::TransferFailed, transferProblem(link()));
                const QString version = m_unit->deviceInfo().VersiaProshivki;
                if (!FirmwareExchange::versionAllowsTransfer(version))
                    return fail(ExitCode::TransferFailed,
                                QStringLiteral("устройство не сообщает версию прошивки (%1)").arg(version));
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

    // The configuration read into the image, the device information filled from it.
    void readInfo(std::function<void(bool)> then)
    {
        clearImage(m_unit->image());
        m_unit->deviceInfo().KolichestvoVhodov.reset();
        begin(QStringLiteral("чтение конфигурации"),
              [] { return QStringLiteral("чтение конфигурации остановлено, в устройство ничего не записано."); });
        m_unit->configExchange().ConfiguraciaReadProcess();
        waitWhile(Tag::ConfigRead, [this, then = std::move(then)] {
            const bool ok = link().RPF_02VektorPriemaIsPorta == Tag::ReadOk;
            m_unit->deviceInfo().fill();
            then(ok);
        });
    }

    QString fileIn(const QString &suffix) const
    {
        return QDir(m_options.file).filePath(BatchRun::unitFileName(m_port, m_name, suffix));
    }

    void readConfig()
    {
        const QString file = fileIn(QStringLiteral(".cf"));
        const QString untouched = untouchedText(file);
        m_dialogs.setFileName(file);
        begin(QStringLiteral("чтение конфигурации"), [untouched] { return untouched + QLatin1Char('.') + kStillSending; });
        m_unit->configTransfer().CopyToFile();
        if (link().RPF_02VektorPriemaIsPorta != Tag::ConfigFileCopy)
            return fail(ExitCode::BadFile, m_messages.texts.value(0, untouched));
        waitWhile(Tag::ConfigFileCopy, [this, file, untouched] {
            if (link().RPF_02VektorPriemaIsPorta != Tag::Saved)
                return fail(ExitCode::TransferFailed, transferProblem(link()) + QLatin1Char(' ') + untouched);
            finish(ExitCode::Success, QStringLiteral("сохранено: ") + QFileInfo(file).fileName());
        });
    }

    QString partialConfig(int sent) const
    {
        return sent == 0 ? QStringLiteral("данные конфигурации в устройство не передавались.")
                         : QStringLiteral("передано %1 из %2 байт: конфигурация в устройстве может быть записана не "
                                          "полностью, повторите запись.")
                               .arg(sent)
                               .arg(ConfigImage::kMemorySize);
    }

    void writeConfig()
    {
        m_dialogs.setFileName(m_options.file);
        ConfigFileTransfer &transfer = m_unit->configTransfer();
        begin(QStringLiteral("запись конфигурации"), [this] { return partialConfig(m_unit->configTransfer().SchetchikBaitov); });
        transfer.LoadFromFile();
        if (link().RPF_02VektorPriemaIsPorta != Tag::ConfigFileLoad)
            return fail(ExitCode::BadFile, m_messages.texts.value(0, QStringLiteral("файл не прочитан")));
        waitWhile(Tag::ConfigFileLoad, [this] {
            if (link().RPF_02VektorPriemaIsPorta != Tag::Written)
                return fail(ExitCode::TransferFailed, transferProblem(link()) + QLatin1Char(' ')
                                                          + partialConfig(m_unit->configTransfer().SchetchikBaitov));
            if (!m_options.verify)
                return finish(ExitCode::Success, QStringLiteral("записано"));
            clearImage(m_unit->image());
            begin(QStringLiteral("проверка"), [] { return QStringLiteral("конфигурация записана, проверка не выполнена."); });
            m_unit->configExchange().ConfiguraciaReadProcess();
            waitWhile(Tag::ConfigRead, [this] {
                if (link().RPF_02VektorPriemaIsPorta != Tag::ReadOk)
                    return fail(ExitCode::TransferFailed, transferProblem(link())
                                                              + QStringLiteral(" Конфигурация записана, проверка не выполнена."));
                const CliCommands::Mismatch mismatch = CliCommands::compare(m_unit->image(), m_blocks);
                if (mismatch.count > 0)
                    return finish(ExitCode::VerifyMismatch, CliCommands::mismatchText(mismatch, ConfigImage::kMemorySize));
                finish(ExitCode::Success, QStringLiteral("записано и проверено"));
            });
        });
    }

    // A firmware transfer starts through the queue.
    bool startFirmware(const QString &tag)
    {
        m_unit->queue().pump();
        return link().RPF_02VektorPriemaIsPorta == tag;
    }

    void readFirmware()
    {
        const QString file = fileIn(QStringLiteral(".fw"));
        const QString untouched = untouchedText(file);
        begin(QStringLiteral("чтение прошивки"), [untouched] { return untouched + QLatin1Char('.') + kStillSending; });
        if (!m_unit->firmwareExchange().saveToFile(file))
            return fail(ExitCode::BadFile, m_messages.texts.value(0, untouched));
        if (!startFirmware(Tag::FirmwareRead))
            return fail(ExitCode::TransferFailed, m_messages.texts.value(0, untouched));
        waitWhile(Tag::FirmwareRead, [this, file, untouched] {
            if (link().RPF_02VektorPriemaIsPorta != Tag::Saved)
                return fail(ExitCode::TransferFailed, QStringLiteral("Ошибка при сохранении! ") + untouched);
            finish(ExitCode::Success, QStringLiteral("сохранено: ") + QFileInfo(file).fileName());
        });
    }

    QString partialFirmware(int sent) const
    {
        return sent == 0 ? QStringLiteral("данные прошивки в устройство не передавались.")
                         : QStringLiteral("запись прошивки остановлена после %1 из %2 байт. ")
                                   .arg(sent)
                                   .arg(FirmwareFile::kFirmwareSize)
                               + FirmwareExchange::kMayBeUnusable;
    }

    void writeFirmware()
    {
        FirmwareExchange &firmware = m_unit->firmwareExchange();
        begin(QStringLiteral("запись прошивки"), [this] { return partialFirmware(m_unit->firmwareExchange().SchetchikBaitov); });
        if (!firmware.loadFromFile(m_options.file))
            return fail(ExitCode::BadFile, m_messages.texts.value(0, QStringLiteral("файл не прочитан")));
        if (!startFirmware(Tag::FirmwareWrite))
            return fail(ExitCode::TransferFailed, QStringLiteral("Ошибка при записи!"));
        waitWhile(Tag::FirmwareWrite, [this] {
            if (link().RPF_02VektorPriemaIsPorta != Tag::Written)
                return fail(ExitCode::TransferFailed,
                            QStringLiteral("Ошибка при записи! ") + partialFirmware(m_unit->firmwareExchange().SchetchikBaitov));
            if (!m_options.verify)
                return finish(ExitCode::Success, QStringLiteral("записано"));
            // Read back into a scratch file through the same routine as read-firmware.
            m_scratch = std::make_unique<QTemporaryDir>();
            const QString readBack = m_scratch->filePath(QStringLiteral("verify.fw"));
            begin(QStringLiteral("проверка"), [] { return QStringLiteral("прошивка записана, проверка не выполнена."); });
            if (!m_scratch->isValid() || !m_unit->firmwareExchange().saveToFile(readBack) || !startFirmware(Tag::FirmwareRead))
                return fail(ExitCode::TransferFailed, QStringLiteral("прошивка записана, проверка не выполнена."));
            waitWhile(Tag::FirmwareRead, [this, readBack] {
                if (link().RPF_02VektorPriemaIsPorta != Tag::Saved)
                    return fail(ExitCode::TransferFailed, QStringLiteral("прошивка записана, проверка не выполнена."));
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

    int m_port;
    const CliOptions &m_options;
    const QList<QByteArray> &m_blocks;
    UnitMessages m_messages;
    FixedFileDialogs m_dialogs;
    SystemClock m_systemClock;
    std::unique_ptr<SerialPort> m_serialPort;
    std::unique_ptr<UnitSession> m_unit;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QElapsedTimer m_clock;
    QString m_waitTag;
    std::function<void()> m_then;
    std::function<QString()> m_leftIn;
    QString m_stage;
    bool m_counting = false;
    QString m_name;
    int m_code = ExitCode::Success;
    QString m_result;
    QString m_detail;
    qint64 m_elapsedMs = 0;
    bool m_done = false;
    QJsonObject m_json;
    QString m_findText;
};

BatchRun::BatchRun(ProgramSettings &settings, const CliOptions &options, QString programFolder, bool terminal,
                   Writer out, Writer err, QObject *parent)
    : QObject(parent), m_settings(settings), m_options(options), m_folder(std::move(programFolder)),
      m_terminal(terminal), m_out(std::move(out)), m_err(std::move(err))
{
}

BatchRun::~BatchRun() = default;

QList<int> BatchRun::portsToSearch(const CliOptions &options, const ProgramSettings &settings)
{
    QList<int> ports;
    const auto add = [&ports](int n) {
        if (n >= 1 && n <= CliOptions::kMaxPort && !ports.contains(n))
            ports << n;
    };
    for (int n : options.ports)
        add(n);
    if (!options.ports.isEmpty() || !options.portDevices.isEmpty())
        return ports;
    for (const QString &item : settings.portItems())
        add(item.trimmed().toInt());
    if (ports.isEmpty() && settings.activePort())
        add(*settings.activePort());
    return ports;
}

QString BatchRun::unitFileName(int port, const QString &name, const QString &suffix)
{
    QString safe = name.trimmed();
    // What no file system takes in a name, nor the shells that pass it on.
    static const QString kForbidden = QStringLiteral("<>:\"/\\|?*");
    for (QChar &c : safe) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || kForbidden.contains(c))
            c = QLatin1Char('_');
    }
    while (safe.endsWith(QLatin1Char('.')))
        safe.chop(1);
    if (safe.isEmpty())
        safe = QStringLiteral("_");
    return QStringLiteral("COM%1 ").arg(port) + safe + suffix;
}

QString BatchRun::resultText(int code)
{
    switch (code) {
    case ExitCode::Success: return QStringLiteral("успешно");
    case ExitCode::NoUnit: return QStringLiteral("устройство не обнаружено");
    case ExitCode::BadFile: return QStringLiteral("ошибка файла");
    case ExitCode::TransferFailed: return QStringLiteral("ошибка передачи");
    case ExitCode::VerifyMismatch: return QStringLiteral("проверка не пройдена");
    case ExitCode::Interrupted: return QStringLiteral("прервано");
    default: return QStringLiteral("ошибка %1").arg(code);
    }
}

int BatchRun::exitStatus(const QList<Row> &rows)
{
    int worst = ExitCode::Success;
    bool anyUnit = false;
    for (const Row &row : rows) {
        if (row.code == ExitCode::NoUnit && row.unit.isEmpty())
            continue;   // a listed port with nothing on it
        anyUnit = true;
        worst = std::max(worst, row.code);
    }
    if (!anyUnit)
        return std::any_of(rows.cbegin(), rows.cend(), [](const Row &r) { return r.code == ExitCode::Interrupted; })
            ? ExitCode::Interrupted
            : ExitCode::NoUnit;
    return worst;
}

QString BatchRun::table(const QList<Row> &rows)
{
    const QStringList head{QStringLiteral("Порт"), QStringLiteral("Устройство"), QStringLiteral("Результат"),
                           QStringLiteral("с")};
    QList<QStringList> cells{head};
    for (const Row &row : rows)
        cells << QStringList{QStringLiteral("COM%1").arg(row.port), row.unit.isEmpty() ? QStringLiteral("—") : row.unit,
                             row.result, QString::number(row.seconds, 'f', 1)};
    QList<int> widths(head.size(), 0);
    for (const QStringList &line : cells)
        for (int i = 0; i < line.size() - 1; ++i)
            widths[i] = std::max(widths[i], int(line.at(i).size()));
    QString text;
    for (const QStringList &line : cells) {
        QString out;
        for (int i = 0; i < line.size(); ++i)
            out += i + 1 < line.size() ? line.at(i).leftJustified(widths.at(i)) + QStringLiteral("  ") : line.at(i);
        text += out + QLatin1Char('\n');
    }
    return text;
}

int BatchRun::checkFile()
{
    const QString &file = m_options.file;
    switch (m_options.command) {
    case CliOptions::Command::ReadConfig:
    case CliOptions::Command::ReadFirmware:
        if (!QFileInfo(file).isDir()) {
            m_err(QStringLiteral("Нет папки %1: с --all файлы каждого устройства пишутся в папку.\n").arg(file));
            return ExitCode::BadFile;
        }
        return ExitCode::Success;
    case CliOptions::Command::WriteConfig: {
        // Checked once, whole, as write-config checks it for one unit, before any unit is searched.
        UnitMessages messages(0, false, m_err);
        FixedFileDialogs dialogs(file);
        SystemClock clock;
        UnitSession checker(m_folder, nullptr, UnitSession::Borrowed{m_settings, messages, dialogs, clock});
        const auto content = checker.configFiles().readChecked(file);
        for (const QString &text : messages.texts)
            m_err(text + QLatin1Char('\n'));
        if (!content)
            return ExitCode::BadFile;
        m_blocks = content->blocks;
        return ExitCode::Success;
    }
    case CliOptions::Command::WriteFirmware: {
        const FirmwareFile::Content content = FirmwareFile::read(file);
        switch (content.failure) {
        case FirmwareFile::Content::Failure::Open:
            m_err(FirmwareExchange::kOpenError + file + QLatin1Char('\n'));
            return ExitCode::BadFile;
        case FirmwareFile::Content::Failure::Read:
            m_err(FirmwareExchange::kReadFileError + file + QLatin1Char('\n'));
            return ExitCode::BadFile;
        case FirmwareFile::Content::Failure::Format:
            m_err(FirmwareExchange::kFormatError.arg(file, QString::number(content.badLine), content.reason)
                  + QLatin1Char('\n'));
            return ExitCode::BadFile;
        case FirmwareFile::Content::Failure::None:
            break;
        }
        m_blocks = content.blocks;
        return ExitCode::Success;
    }
    default:
        return ExitCode::Success;
    }
}

int BatchRun::run()
{
    const int checked = checkFile();
    if (checked != ExitCode::Success)
        return checked;
    const QList<int> ports = portsToSearch(m_options, m_settings);
    if (ports.isEmpty()) {
        m_err(QStringLiteral("Устройство не обнаружено! Нет портов для поиска.\n"));
        return ExitCode::NoUnit;
    }
    const bool live = !m_terminal;
    for (int port : ports) {
        std::unique_ptr<SerialPort> serialPort = m_portFactory ? m_portFactory(port)
                                                               : std::make_unique<QtSerialPort>(m_folder);
        auto unit = std::make_unique<BatchUnit>(port, std::move(serialPort), m_settings, m_options, m_folder, live,
                                                m_err, m_blocks);
        unit->ended = [this](BatchUnit *u) { unitEnded(u); };
        m_units.push_back(std::move(unit));
    }

    QEventLoop loop;
    QTimer watch;
    watch.setInterval(kTickMs);
    connect(&watch, &QTimer::timeout, &loop, [this, &loop] {
        tick();
        if (std::all_of(m_units.cbegin(), m_units.cend(), [](const auto &u) { return u->done(); }))
            loop.quit();
    });
    for (const auto &unit : m_units)
        unit->start();
    watch.start();
    if (!std::all_of(m_units.cbegin(), m_units.cend(), [](const auto &u) { return u->done(); }))
        loop.exec();
    draw(true);

    for (const auto &unit : m_units)
        m_rows << unit->row();
    if (m_options.command == CliOptions::Command::Find) {
        QJsonArray units;
        for (const auto &unit : m_units) {
            if (!unit->found())
                continue;
            units.append(unit->json());
            if (!m_options.json)
                m_out(unit->findText());
        }
        if (m_options.json)
            m_out(QString::fromUtf8(QJsonDocument(units).toJson(QJsonDocument::Indented)));
    }
    // What the routines said, after the display, so it never breaks the lines drawn in place.
    if (m_terminal) {
        for (const auto &unit : m_units)
            for (const QString &text : unit->messages())
                m_err(QStringLiteral("COM%1: ").arg(unit->row().port) + text + QLatin1Char('\n'));
    }
    (m_options.command == CliOptions::Command::Find && m_options.json ? m_err : m_out)(table(m_rows));
    // Why a unit failed, and after Ctrl+C what each unit is left with.
    for (const Row &row : std::as_const(m_rows)) {
        if (!row.detail.isEmpty() && !(row.code == ExitCode::NoUnit && row.unit.isEmpty()))
            m_err(QStringLiteral("COM%1 %2: ").arg(row.port).arg(row.unit) + row.detail + QLatin1Char('\n'));
    }
    return exitStatus(m_rows);
}

void BatchRun::tick()
{
    if (!m_interrupted && InterruptWatch::interrupted()) {
        m_interrupted = true;
        for (const auto &unit : m_units)
            unit->interrupt();
    }
    for (const auto &unit : m_units)
        unit->check();
    draw(false);
}

void BatchRun::unitEnded(BatchUnit *unit)
{
    if (!m_terminal && !m_options.quiet)
        m_err(unit->progressLine() + QLatin1Char('\n'));
}

void BatchRun::draw(bool final)
{
    if (m_options.quiet || !m_terminal) {
        if (m_options.quiet || final)
            return;
        // Plain lines: a unit's stage when it changes, and each further tenth of a transfer.
        for (const auto &unit : m_units) {
            if (unit->done())
                continue;
            const QString key = unit->stage() + QLatin1Char('#') + QString::number(unit->tenth());
            if (m_shown.value(unit.get()) != key) {
                m_shown.insert(unit.get(), key);
                m_err(unit->progressLine() + QLatin1Char('\n'));
            }
        }
        return;
    }
    // A terminal: one line per unit, redrawn in place.
    QString text;
    if (m_drawnLines > 0)
        text += QStringLiteral("\x1b[%1A").arg(m_drawnLines);
    for (const auto &unit : m_units)
        text += QStringLiteral("\r\x1b[2K") + unit->progressLine() + QLatin1Char('\n');
    m_drawnLines = int(m_units.size());
    m_err(text);
}
