#include "cli/Runner.h"
#include "cli/FixedFileDialogs.h"
#include "cli/InterruptWatch.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareFile.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/ShownText.h"
#include "settings/ProgramSettings.h"
#include "shell/Clock.h"
#include "unit/ExitCode.h"
#include "unit/FileChecks.h"
#include "unit/IdentifyJob.h"
#include "unit/PortFactory.h"
#include "unit/SafeFileName.h"
#include "unit/UnitMessages.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QTimer>
#include <algorithm>

namespace {
// How often the loop looks for Ctrl+C, a stopped pump and progress to show.
constexpr int kTickMs = 100;
}

// One unit of a run: its core, its identification and then its job.
struct Runner::Unit {
    int port = 0;
    UnitMessages messages;
    FixedFileDialogs dialogs{QString()};
    SystemClock clock;
    std::unique_ptr<UnitSession> session;
    std::unique_ptr<IdentifyJob> identify;
    std::unique_ptr<UnitJob> job;
    QElapsedTimer elapsed;
    qint64 ms = 0;
    bool done = false;

    UnitJob &current() { return job ? *job : static_cast<UnitJob &>(*identify); }
    const UnitJob &current() const { return job ? *job : static_cast<const UnitJob &>(*identify); }
    const UnitJob::Result &result() const { return current().result(); }
    bool found() const { return identify->done() && identify->result().code == ExitCode::Success; }
};

Runner::Runner(ProgramSettings &settings, PortFactory &ports, const CliOptions &options, Output &output,
               QObject *parent)
    : QObject(parent), m_settings(settings), m_ports(ports), m_options(options), m_output(output)
{
}

Runner::~Runner() = default;

QList<int> Runner::portsToSearch(const CliOptions &options, const ProgramSettings &settings)
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

QList<int> Runner::candidatePorts(const CliOptions &options, const ProgramSettings &settings)
{
    if (options.port)
        return {*options.port};
    QList<int> ports{settings.activePort().value_or(1)};
    for (const QString &item : settings.portItems()) {
        const int n = SerialLink::numericValue(item);
        if (n > 0 && !ports.contains(n))
            ports.append(n);
    }
    return ports;
}

QString Runner::unitFileName(int port, const QString &name, const QString &suffix)
{
    return QStringLiteral("COM%1 ").arg(port) + SafeFileName::of(name) + suffix;
}

int Runner::exitStatus(const QList<Output::Row> &rows)
{
    int worst = ExitCode::Success;
    bool anyUnit = false;
    for (const Output::Row &row : rows) {
        if (row.code == ExitCode::NoUnit && row.unit.isEmpty() && !row.named)
            continue;   // a listed port with nothing on it
        anyUnit = anyUnit || !row.unit.isEmpty() || row.code != ExitCode::NoUnit;
        worst = std::max(worst, row.code);
    }
    if (!anyUnit)
        return std::any_of(rows.cbegin(), rows.cend(),
                           [](const Output::Row &r) { return r.code == ExitCode::Interrupted; })
            ? ExitCode::Interrupted
            : ExitCode::NoUnit;
    return worst;
}

std::unique_ptr<Runner::Unit> Runner::makeUnit(int port)
{
    auto unit = std::make_unique<Unit>();
    unit->port = port;
    const UnitSession::Borrowed borrowed{m_settings, unit->messages, unit->dialogs, unit->clock};
    unit->session = std::make_unique<UnitSession>(m_ports, borrowed);
    if (m_options.speed)
        unit->session->overrideSpeed(*m_options.speed);
    unit->session->start(false);
    unit->identify = std::make_unique<IdentifyJob>(*unit->session, unit->messages, port);
    unit->elapsed.start();
    return unit;
}

QString Runner::fileFor(const CommandEntry &entry, const Unit &unit) const
{
    if (!m_batch || entry.sendsFile || entry.fileKind == CommandEntry::FileKind::None)
        return m_options.file;
    const QString suffix = QLatin1Char('.')
        + (entry.fileKind == CommandEntry::FileKind::Config ? ConfigFiles::kSuffix : FirmwareFile::kSuffix);
    return QDir(m_options.file).filePath(unitFileName(unit.port, unit.identify->unitName(), suffix));
}

void Runner::ended(Unit &unit)
{
    unit.done = true;
    unit.ms = unit.elapsed.elapsed();
    if (m_batch)
        m_output.ended(state(unit));
    emit unitEnded();
}

void Runner::identified(Unit &unit, const CommandEntry *entry)
{
    if (!unit.found() || !entry || !entry->job || unit.job)
        return ended(unit);
    const QString file = fileFor(*entry, unit);
    unit.dialogs.setFileName(file);
    const std::function<void(const QString &)> out = [this](const QString &text) { m_output.out(text); };
    unit.job = entry->job(CommandEntry::JobInput{*unit.session, unit.messages, file, m_blocks, m_fileModel, m_options, out});
    if (m_follow)
        follow(unit);
    connect(unit.job.get(), &UnitJob::finished, this, [this, &unit] { ended(unit); });
    if (m_interrupted)
        unit.job->interrupt();
    else
        unit.job->start();
}

void Runner::drive(const std::vector<Unit *> &units, const CommandEntry *entry)
{
    QEventLoop loop;
    const auto allDone = [&units] { return std::all_of(units.cbegin(), units.cend(), [](Unit *u) { return u->done; }); };
    connect(this, &Runner::unitEnded, &loop, [&] {
        if (allDone())
            loop.quit();
    }, Qt::QueuedConnection);
    QTimer watch;
    watch.setInterval(kTickMs);
    connect(&watch, &QTimer::timeout, &loop, [&] { tick(units, m_batch); });
    for (Unit *unit : units) {
        unit->done = false;
        if (unit->identify->done()) {
            identified(*unit, entry);
            continue;
        }
        connect(unit->identify.get(), &UnitJob::finished, &loop, [this, unit, entry] { identified(*unit, entry); });
        if (m_interrupted)
            unit->identify->interrupt();
        else
            unit->identify->start();
    }
    watch.start();
    if (!allDone())
        loop.exec();
}

void Runner::tick(const std::vector<Unit *> &units, bool batch)
{
    if (!m_interrupted && InterruptWatch::interrupted()) {
        m_interrupted = true;
        for (Unit *unit : units)
            if (!unit->done)
                unit->current().interrupt();
    }
    for (Unit *unit : units)
        if (!unit->done)
            unit->session->checkStalled();
    if (batch) {
        QList<Output::UnitState> states;
        for (Unit *unit : units)
            states << state(*unit);
        m_output.draw(states, false);
    }
}

Output::UnitState Runner::state(const Unit &unit) const
{
    Output::UnitState s;
    s.port = unit.port;
    s.name = unit.identify->unitName();
    const UnitJob &job = unit.current();
    s.stage = job.stage();
    s.counted = job.counted();
    s.done = unit.done;
    const UnitJob::Result &result = job.result();
    s.result = result.code == ExitCode::Success ? result.brief : Output::resultText(result.code);
    if (result.code == ExitCode::NoUnit && !unit.identify->outcome().reason.isEmpty())
        s.result += QStringLiteral(": ") + unit.identify->outcome().reason;
    if (unit.done && !job.warnings().isEmpty())
        s.result += Output::kWarningsMark;
    return s;
}

Output::Row Runner::row(const Unit &unit) const
{
    const Output::UnitState s = state(unit);
    const UnitJob::Result &result = unit.result();
    Output::Row row;
    row.port = unit.port;
    row.unit = s.name;
    row.code = result.code;
    row.result = s.result;
    row.seconds = double(unit.ms) / 1000.0;
    row.detail = result.code == ExitCode::Success ? QString() : result.text;
    row.warnings = unit.current().warnings();
    row.advice = unit.identify->outcome().advice;
    row.fault = unit.identify->outcome().fault;
    row.named = !m_options.ports.isEmpty() || !m_options.portDevices.isEmpty();
    return row;
}

void Runner::follow(Unit &unit)
{
    UnitJob &job = *unit.job;
    const bool progress = m_options.command != CliOptions::Command::Find;
    connect(&job, &UnitJob::stageChanged, this, [this, &job, progress](const QString &stage) {
        if (progress && job.counting())
            m_output.progress().begin(stage);
    });
    connect(&job, &UnitJob::progressed, this, [this, progress](qint64 count, qint64 total) {
        if (progress)
            m_output.progress().update(count, total);
    });
    connect(&job, &UnitJob::exchangeDone, this, [this] { m_output.progress().end(); });
    connect(&job, &UnitJob::said, this, [this](const QString &text) { m_output.say(text); });
    // A doubt about the data is told even with --quiet.
    connect(&job, &UnitJob::warned, this, [this](const QString &text) { m_output.fail(text); });
    connect(&job, &UnitJob::finished, this, [this, &job] {
        m_output.progress().end();
        const UnitJob::Result &result = job.result();
        if (result.code == ExitCode::Success) {
            if (!result.text.isEmpty())
                m_output.say(result.text);
        } else if (!result.shown && !result.text.isEmpty()) {
            m_output.fail(result.text);
        }
    });
}

int Runner::checkFile(const CommandEntry &entry)
{
    const QString &file = m_options.file;
    if (entry.fileKind == CommandEntry::FileKind::None)
        return ExitCode::Success;
    const FileChecks::Kind kind =
        entry.fileKind == CommandEntry::FileKind::Config ? FileChecks::Kind::Config : FileChecks::Kind::Firmware;
    if (!entry.sendsFile) {
        if (m_batch) {
            if (QFileInfo(file).isDir())
                return ExitCode::Success;
            m_output.fail(QStringLiteral("Нет папки %1: с --all файлы каждого устройства пишутся в папку.").arg(file));
            return ExitCode::BadFile;
        }
        if (const QString problem = FileChecks::forReceiving(file, kind); !problem.isEmpty()) {
            m_output.fail(problem);
            return ExitCode::BadFile;
        }
        return ExitCode::Success;
    }
    // The whole file is checked before a port is touched: a bad file sends nothing.
    if (const QString problem = FileChecks::forSending(file, kind); !problem.isEmpty()) {
        m_output.fail(problem);
        return ExitCode::BadFile;
    }
    if (kind == FileChecks::Kind::Firmware) {
        QString problem;
        const auto blocks = FileChecks::firmwareBlocks(file, &problem);
        if (!blocks) {
            m_output.fail(problem);
            return ExitCode::BadFile;
        }
        m_blocks = *blocks;
        return ExitCode::Success;
    }
    // The window's own check of a .cf file, with its messages.
    const std::unique_ptr<Unit> checker = makeUnit(0);
    checker->messages.setPrinter([this](const QString &text) { m_output.fail(text); });
    checker->dialogs.setFileName(file);
    const auto content = checker->session->configFiles().readChecked(file);
    if (!content)
        return ExitCode::BadFile;
    m_blocks = content->blocks;
    m_fileModel = content->tail;
    return ExitCode::Success;
}

void Runner::noteDrain(Unit &unit)
{
    // A line still sending can keep the search waiting for a minute at 9600 baud: it says so.
    connect(unit.identify.get(), &UnitJob::stageChanged, this, [this](const QString &stage) {
        if (IdentifyJob::isStillSendingNote(stage))
            m_output.progress().note(stage);
    });
}

int Runner::searchOne(const CommandEntry *entry, std::unique_ptr<Unit> &found)
{
    QStringList tried;
    QStringList problems;
    QMap<PortProblem::Kind, QString> advice;   // once per kind of trouble
    const QList<int> ports = candidatePorts(m_options, m_settings);
    for (qsizetype i = 0; i < ports.size() && !m_interrupted; ++i) {
        std::unique_ptr<Unit> unit = makeUnit(ports.at(i));
        unit->messages.setPrinter([this](const QString &text) { m_output.fail(text); });
        noteDrain(*unit);
        drive({unit.get()}, nullptr);
        m_output.progress().end();
        if (!unit->found()) {
            if (m_interrupted)
                break;
            tried << QString::number(ports.at(i));
            if (!unit->identify->outcome().problem.isEmpty())
                problems << unit->identify->outcome().problem;
            if (!advice.contains(unit->identify->outcome().fault))
                advice.insert(unit->identify->outcome().fault, unit->identify->outcome().advice);
            continue;
        }
        const QString line = QStringLiteral("COM%1: %2").arg(unit->port).arg(ShownText::escaped(unit->identify->unitName()));
        // A command that changes a unit never guesses between two: every other port is asked too.
        const bool exclusive = entry && entry->changesUnit && !m_options.port;
        // So does a quiet command, which would not say which unit it used.
        const bool quietChoice = m_options.quiet && !m_options.port && entry && !entry->changesUnit;
        QStringList others;
        if (exclusive || quietChoice) {
            for (qsizetype j = i + 1; j < ports.size() && !m_interrupted; ++j) {
                const std::unique_ptr<Unit> other = makeUnit(ports.at(j));
                drive({other.get()}, nullptr);
                if (other->found())
                    others << QStringLiteral("COM%1: %2").arg(other->port).arg(ShownText::escaped(other->identify->unitName()));
            }
        }
        if (m_interrupted)
            break;
        if (exclusive && !others.isEmpty()) {
            m_output.fail(
                QStringLiteral("Отвечает больше одного устройства; укажите нужное с --port N. Ничего не записано.\n  ")
                + (QStringList{line} + others).join(QStringLiteral("\n  ")));
            return ExitCode::Usage;
        }
        if (quietChoice && !others.isEmpty())
            m_output.fail(QStringLiteral("Отвечает больше одного устройства; использовано %1.").arg(line));
        else
            m_output.say(unit->identify->result().text);
        found = std::move(unit);
        return ExitCode::Success;
    }
    if (m_interrupted) {
        m_output.fail(UnitReport::kSearchInterrupted);
        return ExitCode::Interrupted;
    }
    m_output.fail(UnitReport::noUnitText(tried, problems, advice));
    return ExitCode::NoUnit;
}

int Runner::runOne(const CommandEntry &entry)
{
    std::unique_ptr<Unit> unit;
    if (const int searched = searchOne(&entry, unit); searched != ExitCode::Success)
        return searched;
    drive({unit.get()}, &entry);
    return unit->result().code;
}

int Runner::readUnitImage(ConfigImage &image)
{
    const CommandEntry &find = CommandTable::of(CliOptions::Command::Find);
    std::unique_ptr<Unit> unit;
    if (const int searched = searchOne(&find, unit); searched != ExitCode::Success)
        return searched;
    unit->messages.setPrinter([this](const QString &text) { m_output.fail(text); });
    m_follow = true;
    drive({unit.get()}, &find);
    if (unit->result().code == ExitCode::Success)
        image = unit->session->image();
    return unit->result().code;
}

QStringList Runner::offeredSpeeds(const ProgramSettings &settings)
{
    QStringList offered = ProgramSettings::kDefaultSpeeds;
    for (const QString &item : settings.speedItems())
        if (!offered.contains(item.trimmed()))
            offered << item.trimmed();
    return offered;
}

int Runner::run(const CommandEntry &entry)
{
    m_batch = m_options.all;
    // find tells each unit's outcome at the end, as a batch does.
    m_follow = !m_batch && entry.command != CliOptions::Command::Find;
    if (const int checked = checkFile(entry); checked != ExitCode::Success)
        return checked;
    if (entry.fileKind == CommandEntry::FileKind::Firmware && m_output.progress().drawn()) {
        const int speed = m_options.speed ? *m_options.speed
                                          : m_settings.speedItems().value(m_settings.speedIndex()).trimmed().toInt();
        if (const QString hint = Output::speedHint(speed, offeredSpeeds(m_settings), m_options.backup); !hint.isEmpty())
            m_output.fail(hint);
    }
    if (entry.command == CliOptions::Command::Find && !m_options.all)
        return runBatch(entry, candidatePorts(m_options, m_settings), true);
    if (!m_options.all)
        return runOne(entry);
    return runBatch(entry, portsToSearch(m_options, m_settings), false);
}

int Runner::findEnded(const QList<Output::Row> &rows)
{
    if (m_interrupted) {
        m_output.fail(QStringLiteral("Прервано: поиск остановлен."));
        return ExitCode::Interrupted;
    }
    const auto noUnit = [](const Output::Row &row) { return row.code == ExitCode::NoUnit && row.unit.isEmpty(); };
    if (std::all_of(rows.cbegin(), rows.cend(), noUnit)) {
        m_output.fail(Output::details(rows, false).chopped(1));
        return ExitCode::NoUnit;
    }
    bool failed = false;
    for (const Output::Row &row : rows) {
        if (noUnit(row)) {
            // The ports without a unit are named too, so a unit that is there but unheard is noticed.
            if (!row.detail.isEmpty())
                m_output.say(row.detail);
        } else if (row.code != ExitCode::Success) {
            failed = true;
            m_output.fail(QStringLiteral("COM%1: ").arg(row.port) + row.detail);
        }
    }
    return failed ? ExitCode::TransferFailed : ExitCode::Success;
}

int Runner::runBatch(const CommandEntry &entry, const QList<int> &ports, bool single)
{
    if (ports.isEmpty()) {
        m_output.fail(QStringLiteral("Устройство не обнаружено! Нет портов для поиска."));
        return ExitCode::NoUnit;
    }
    std::vector<std::unique_ptr<Unit>> owned;
    std::vector<Unit *> units;
    for (const int port : ports) {
        owned.push_back(makeUnit(port));
        Unit *unit = owned.back().get();
        units.push_back(unit);
        // Plain output shows a unit's messages at once, with its port; a terminal keeps them for the end.
        if (single) {
            unit->messages.setPrinter([this](const QString &text) { m_output.fail(text); });
            noteDrain(*unit);
        } else if (!m_output.terminal())
            unit->messages.setPrinter(
                [this, port](const QString &text) { m_output.err(QStringLiteral("COM%1: %2\n").arg(port).arg(text)); });
    }
    drive(units, &entry);
    if (!single) {
        QList<Output::UnitState> states;
        for (Unit *unit : units)
            states << state(*unit);
        m_output.draw(states, true);
    }
    QList<Output::Row> rows;
    for (Unit *unit : units)
        rows << row(*unit);

    const bool find = entry.command == CliOptions::Command::Find;
    if (find) {
        QJsonArray found;
        for (Unit *unit : units) {
            if (!unit->found() || (unit->job && unit->job->result().code == ExitCode::Interrupted))
                continue;
            const bool complete = unit->job && unit->job->result().code == ExitCode::Success;
            const QString device = unit->session->port().deviceFor(unit->port);
            const DeviceInfo &info = unit->session->deviceInfo();
            found.append(Output::unitJson(unit->port, device, unit->identify->unitName(), info, complete));
            if (!m_options.json)
                m_output.out(Output::unitText(unit->port, device, info, complete));
        }
        if (m_options.json && !(single && m_interrupted))
            m_output.out(QString::fromUtf8(QJsonDocument(found).toJson(QJsonDocument::Indented)));
    }
    if (single)
        return findEnded(rows);
    // What the routines said, after the display, so it never breaks the lines drawn in place.
    if (m_output.terminal()) {
        for (Unit *unit : units)
            for (const QString &text : unit->messages.printable())
                m_output.err(QStringLiteral("COM%1: ").arg(unit->port) + text + QLatin1Char('\n'));
    }
    const QString table = Output::table(rows);
    if (find && m_options.json)
        m_output.err(table);
    else
        m_output.out(table);
    // Why a unit failed, and after Ctrl+C what each unit is left with.
    if (const QString text = Output::details(rows, m_options.quiet); !text.isEmpty())
        m_output.err(text);
    return exitStatus(rows);
}
