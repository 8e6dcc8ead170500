#include "cli/BatchRun.h"
#include "cli/BatchUnit.h"
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
#include "unit/SafeFileName.h"
#include "unit/UnitSession.h"
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <utility>

using namespace CommandSupport;

namespace {
// How often the loop looks for Ctrl+C, a stopped pump and progress to show.
constexpr int kTickMs = 100;
}

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
    return QStringLiteral("COM%1 ").arg(port) + SafeFileName::of(name) + suffix;
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
    if ((m_options.command == CliOptions::Command::ReadFirmware || m_options.command == CliOptions::Command::WriteFirmware)
        && m_terminal && !m_options.quiet) {
        const int speed = m_options.speed ? *m_options.speed
                                          : m_settings.speedItems().value(m_settings.speedIndex()).trimmed().toInt();
        if (const QString hint = CliCommands::speedHint(speed, CliCommands::offeredSpeeds(m_settings)); !hint.isEmpty())
            m_err(hint + QLatin1Char('\n'));
    }
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
    if (const QString text = details(m_rows, m_options.quiet); !text.isEmpty())
        m_err(text);
    return exitStatus(m_rows);
}

QString BatchRun::details(const QList<Row> &rows, bool quiet)
{
    const auto noUnit = [](const Row &row) { return row.code == ExitCode::NoUnit && row.unit.isEmpty(); };
    if (!rows.isEmpty() && std::all_of(rows.cbegin(), rows.cend(), noUnit)) {
        QStringList tried;
        QStringList problems;
        QMap<PortProblem::Kind, QString> advice;   // once per kind of trouble
        for (const Row &row : rows) {
            tried << QString::number(row.port);
            if (!row.detail.isEmpty())
                problems << row.detail;
            if (!advice.contains(row.fault))
                advice.insert(row.fault, row.advice);
        }
        return CliCommands::noUnitText(tried, problems, advice) + QLatin1Char('\n');
    }
    QString text;
    for (const Row &row : rows) {
        if (row.detail.isEmpty())
            continue;
        // A port's problem names its port already; while units answered elsewhere it is a note.
        if (noUnit(row)) {
            if (!quiet)
                text += row.detail + QLatin1Char('\n');
            continue;
        }
        text += (row.unit.isEmpty() ? QStringLiteral("COM%1: ").arg(row.port)
                                    : QStringLiteral("COM%1 %2: ").arg(row.port).arg(row.unit))
            + row.detail + QLatin1Char('\n');
    }
    return text;
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
