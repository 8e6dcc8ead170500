#include "cli/BenchCommand.h"
#include "link/ShownText.h"
#include "cli/FixedFileDialogs.h"
#include "cli/InterruptWatch.h"
#include "cli/Runner.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/FileProblem.h"
#include "devinfo/DeviceInfo.h"
#include "link/SerialLink.h"
#include "settings/ProgramSettings.h"
#include "shell/Clock.h"
#include "unit/BenchJob.h"
#include "unit/ExitCode.h"
#include "unit/FileChecks.h"
#include "unit/IdentifyJob.h"
#include "unit/ModelCheck.h"
#include "unit/PortFactory.h"
#include "unit/UnitMessages.h"
#include "unit/UnitSession.h"
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <algorithm>

namespace {
constexpr int kTickMs = 100;
}

// A port of the bench: its state and the try under way on it, a session of its own each time.
struct BenchCommand::Slot {
    int port = 0;
    BenchRun::PortState state = BenchRun::PortState::Waiting;
    std::unique_ptr<UnitMessages> messages;   // a try's own: the texts of a day of tries are not kept
    FixedFileDialogs dialogs{QString()};
    SystemClock clock;
    std::unique_ptr<UnitSession> session;
    std::unique_ptr<IdentifyJob> identify;
    std::unique_ptr<BenchJob> job;
    QElapsedTimer elapsed;
    QTimer retry;
    QString told;   // the port's trouble last said, so a port without a unit is not said every second

    // A try or a unit's job under way; a session held open between tries is not.
    bool busy() const { return (identify && !identify->done()) || serving; }
    bool serving = false;   // a unit's job began and its end is not yet told
    void drop()
    {
        job.reset();
        identify.reset();
        session.reset();
        messages.reset();
    }
};

BenchCommand::BenchCommand(ProgramSettings &settings, PortFactory &ports, const CliOptions &options, Output &output,
                           QObject *parent)
    : QObject(parent), m_settings(settings), m_ports(ports), m_options(options), m_output(output),
      m_run(options.count)
{
}

BenchCommand::~BenchCommand() = default;

QString BenchCommand::endLine(int port, const QString &name, const QString &imei, const QString &brief,
                              double seconds, bool unplug)
{
    QString text = QStringLiteral("COM%1 %2").arg(port).arg(ShownText::escaped(name));
    if (!imei.isEmpty())
        text += QStringLiteral(" IMEI ") + imei;
    text += QStringLiteral(": ") + brief + QStringLiteral(", ")
        + QString::number(seconds, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')) + QStringLiteral(" с");
    if (unplug)
        text += QStringLiteral(" — ") + kUnplug;
    return text;
}

int BenchCommand::prepare()
{
    // The template: the window's own check of a .cf file, with its messages.
    if (const QString problem = FileChecks::forSending(m_options.file, FileChecks::Kind::Config); !problem.isEmpty()) {
        m_output.fail(problem);
        return ExitCode::BadFile;
    }
    UnitMessages messages([this](const QString &text) { m_output.fail(text); });
    FixedFileDialogs dialogs(m_options.file);
    SystemClock clock;
    UnitSession files(m_ports, UnitSession::Borrowed{m_settings, messages, dialogs, clock});
    const auto content = files.configFiles().readChecked(m_options.file);
    if (!content)
        return ExitCode::BadFile;
    content->fill(m_template);
    m_templateModel = content->tail;
    // A template whose model cells name no model is no unit's configuration: no unit gets it.
    if (m_templateModel.size() == ConfigImage::kTailSize && !ModelCheck::namesModel(m_templateModel)) {
        m_output.fail(ModelCheck::kFileNamesNoModel.arg(ModelCheck::shownCells(ModelCheck::tailCell(m_templateModel, 0),
                                                                               ModelCheck::tailCell(m_templateModel, 1)))
                      + QStringLiteral(" Шаблон не принят, ничего не записано."));
        return ExitCode::BadFile;
    }

    if (!m_options.fields.isEmpty()) {
        QFile file(m_options.fields);
        if (const QString problem = FileProblem::forReading(m_options.fields); !problem.isEmpty()) {
            m_output.fail(QStringLiteral("UNITS.csv %1: %2").arg(m_options.fields, problem));
            return ExitCode::BadFile;
        }
        if (file.size() > UnitsTable::kMaxFileSize || !file.open(QIODevice::ReadOnly)) {
            m_output.fail(QStringLiteral("UNITS.csv %1: %2").arg(
                m_options.fields, file.isOpen() || file.size() > UnitsTable::kMaxFileSize
                                      ? QStringLiteral("файл больше 4 МБ")
                                      : file.errorString()));
            return ExitCode::BadFile;
        }
        QStringList problems;
        UnitsTable table = UnitsTable::parse(file.readAll(), m_template, &problems, QFileInfo(m_options.fields).fileName());
        if (!problems.isEmpty()) {
            m_output.fail(problems.join(QLatin1Char('\n')) + QStringLiteral("\nНи одно устройство не записано."));
            return ExitCode::Usage;
        }
        m_table = std::move(table);
    }
    const QString log = m_options.log.isEmpty() ? kDefaultLog : m_options.log;
    if (const QString problem = FileProblem::forWriting(log); !problem.isEmpty()) {
        m_output.fail(BenchLog::kNotWritten + log + QStringLiteral(": ") + problem);
        return ExitCode::BadFile;
    }
    m_log = std::make_unique<BenchLog>(log, MonitorJournal::spreadsheetFormat(QLocale()));
    return ExitCode::Success;
}

void BenchCommand::line(const QString &text, bool result)
{
    // A line above the progress drawn in place: the drawing is taken away first and redrawn next tick.
    if (m_output.terminal() && !m_output.quiet()) {
        m_output.draw({}, false);
        m_output.err(QStringLiteral("\x1b[J"));
    }
    if (result)
        m_output.out(text + QLatin1Char('\n'));
    else
        m_output.fail(text);
}

void BenchCommand::retryLater(Slot &slot, bool holdPort)
{
    // A unit served, or found again, keeps its port open till the next try: a line lost meanwhile is
    // the unit gone, even when another unit answers on the port by then.
    if (!holdPort || m_stopping || !slot.session->link().isOpen())
        slot.drop();
    if (!m_stopping)
        slot.retry.start(slot.session ? kRetryMs : (holdPort ? 0 : kRetryMs));
}

void BenchCommand::tryPort(Slot &slot)
{
    if (m_stopping || slot.busy())
        return;
    if (slot.session) {
        slot.session->link().receiveTick();
        if (!slot.session->link().isOpen())
            slot.state = BenchRun::afterAnswer(slot.state, false);
        slot.drop();
    }
    slot.messages = std::make_unique<UnitMessages>();
    const UnitSession::Borrowed borrowed{m_settings, *slot.messages, slot.dialogs, slot.clock};
    slot.session = std::make_unique<UnitSession>(m_ports, borrowed);
    if (m_options.speed)
        slot.session->overrideSpeed(*m_options.speed);
    slot.session->start(false);
    slot.identify = std::make_unique<IdentifyJob>(*slot.session, *slot.messages, slot.port);
    // Handled outside the job's own signal, so the try may be dropped there.
    connect(slot.identify.get(), &UnitJob::finished, this,
            [this, &slot] { QTimer::singleShot(0, this, [this, &slot] { identified(slot); }); });
    slot.elapsed.start();
    slot.identify->start();
}

void BenchCommand::identified(Slot &slot)
{
    if (!slot.identify || slot.job)
        return;
    const bool answered = slot.identify->result().code == ExitCode::Success;
    const QString trouble = answered ? QString() : slot.identify->outcome().problem;
    if (!m_stopping && trouble != slot.told && !trouble.isEmpty())
        m_output.say(trouble);
    slot.told = trouble;
    const BenchRun::PortState before = slot.state;
    slot.state = BenchRun::afterAnswer(before, answered);
    if (m_stopping || slot.state != BenchRun::PortState::Serving || !m_run.mayBegin()) {
        if (slot.state == BenchRun::PortState::Serving)
            slot.state = BenchRun::PortState::Waiting;   // --count is taken by those under way
        return retryLater(slot, slot.state == BenchRun::PortState::Served);
    }
    m_run.began();
    slot.serving = true;
    BenchJob::Setup setup{m_template, m_templateModel, m_table ? &*m_table : nullptr,
                          [this](const QString &imei) { return m_run.served(imei); }};
    slot.job = std::make_unique<BenchJob>(*slot.session, *slot.messages, std::move(setup));
    connect(slot.job.get(), &UnitJob::finished, this,
            [this, &slot] { QTimer::singleShot(0, this, [this, &slot] { jobEnded(slot); }); });
    if (!m_output.quiet())
        line(QStringLiteral("COM%1 %2: начато").arg(slot.port).arg(ShownText::escaped(slot.identify->unitName())), true);
    slot.job->start();
}

void BenchCommand::jobEnded(Slot &slot)
{
    if (!slot.job || !slot.serving)
        return;
    slot.serving = false;
    const BenchJob &job = *slot.job;
    const UnitJob::Result &result = job.result();
    const double seconds = double(slot.elapsed.elapsed()) / 1000.0;
    const bool interrupted = result.code == ExitCode::Interrupted;
    const QString brief = !job.brief().isEmpty() ? job.brief() : Output::resultText(result.code);
    const QString name = slot.identify->unitName();
    const QString imei = job.imei();
    line(endLine(slot.port, name, imei, brief, seconds, !interrupted), true);
    const bool troubled = job.outcome() == BenchJob::Outcome::Refused || job.outcome() == BenchJob::Outcome::Failed;
    if (troubled && !result.text.isEmpty())
        line(QStringLiteral("COM%1: ").arg(slot.port) + result.text, false);
    BenchLog::Entry entry{QDateTime::currentDateTime(),
                          slot.port,
                          name,
                          imei,
                          job.model(),
                          brief,
                          troubled ? QString(result.text).replace(QLatin1Char('\n'), QLatin1Char(' ')) : QString(),
                          QDir::toNativeSeparators(job.copy()),
                          seconds};
    if (!m_log->append(entry)) {
        m_logFailed = true;
        line(m_log->errorText(), false);
    }
    m_run.ended(job.outcome(), result.code, UnitsTable::imeiValid(imei) ? imei : QString());
    slot.state = BenchRun::PortState::Served;
    if (m_run.complete())
        stop(false);
    retryLater(slot, true);
}

void BenchCommand::stop(bool interrupt)
{
    m_stopping = true;
    for (const auto &slot : m_slots) {
        slot->retry.stop();
        if (slot->job && interrupt)
            slot->job->interrupt();
        else if (!slot->job && slot->identify)
            slot->identify->interrupt();
    }
}

void BenchCommand::tick()
{
    if (!m_interrupted && InterruptWatch::interrupted()) {
        m_interrupted = true;
        stop(true);
    }
    QList<Output::UnitState> states;
    for (const auto &slot : m_slots) {
        if (slot->session && !slot->job)
            slot->session->checkStalled();
        if (!slot->job || slot->job->done())
            continue;
        slot->session->checkStalled();
        Output::UnitState state;
        state.port = slot->port;
        state.name = slot->identify->unitName();
        state.stage = slot->job->stage();
        state.counted = slot->job->counted();
        states << state;
    }
    if (!states.isEmpty())
        m_output.draw(states, false);
}

int BenchCommand::run()
{
    if (const int prepared = prepare(); prepared != ExitCode::Success)
        return prepared;
    const QList<int> ports = Runner::portsToSearch(m_options, m_settings);
    if (ports.isEmpty()) {
        m_output.fail(QStringLiteral("Устройство не обнаружено! Нет портов для поиска."));
        return ExitCode::NoUnit;
    }
    QStringList names;
    for (const int port : ports)
        names << QStringLiteral("COM%1").arg(port);
    const QString model = ModelCheck::namesModel(m_templateModel)
        ? DeviceInfo::modelName(ModelCheck::tailCell(m_templateModel, 0), ModelCheck::tailCell(m_templateModel, 1))
        : QStringLiteral("модель не указана");
    m_output.say(QStringLiteral("Стенд: шаблон %1 (%2)%3, порты %4. Ctrl+C — конец.")
                     .arg(QFileInfo(m_options.file).fileName(), model,
                          m_table ? QStringLiteral(", строк в UNITS.csv: %1").arg(m_table->size()) : QString(),
                          names.join(QStringLiteral(", "))));

    QEventLoop loop;
    for (const int port : ports) {
        auto slot = std::make_unique<Slot>();
        slot->port = port;
        slot->retry.setSingleShot(true);
        Slot *raw = slot.get();
        connect(&slot->retry, &QTimer::timeout, this, [this, raw] { tryPort(*raw); });
        m_slots.push_back(std::move(slot));
    }
    QTimer watch;
    watch.setInterval(kTickMs);
    connect(&watch, &QTimer::timeout, &loop, [this, &loop] {
        tick();
        const bool idle = std::none_of(m_slots.cbegin(), m_slots.cend(), [](const auto &s) { return s->busy(); });
        if (m_stopping && idle)
            loop.quit();
    });
    watch.start();
    for (const auto &slot : m_slots)
        tryPort(*slot);
    loop.exec();
    if (m_output.terminal() && !m_output.quiet()) {
        m_output.draw({}, false);
        m_output.err(QStringLiteral("\x1b[J"));
    }
    m_output.out(m_run.summary() + QLatin1Char('\n'));
    const int status = m_run.exitStatus(m_interrupted);
    return m_logFailed && status == ExitCode::Success ? int(ExitCode::BadFile) : status;
}
