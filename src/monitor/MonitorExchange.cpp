#include "monitor/MonitorExchange.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/ShownText.h"
#include "link/StatusModel.h"
#include "shell/Clock.h"
#include "shell/MessageSink.h"
#include <QDir>

namespace {
constexpr int kMsPerPosition = 500;

template <typename F>
void call(const F &hook)
{
    if (hook)
        hook();
}

bool sameRows(const MonitorDecoder::Layout &a, const MonitorDecoder::Layout &b)
{
    for (int r = 1; r <= MonitorReadings::kInputs; ++r)
        if (a[r].caption != b[r].caption || a[r].visible != b[r].visible)
            return false;
    return true;
}
}

MonitorExchange::MonitorExchange(SerialLink &link, CommandQueue &queue, StatusModel &status, MessageSink &messages,
                                 const Clock &clock, QObject *parent)
    : QObject(parent), m_link(link), m_queue(queue), m_status(status), m_messages(messages), m_clock(clock)
{
    // A coarse timer may fire 5 % of the period early or late; the period is what the user set.
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    m_pollTimer.setInterval(periodMs());
    connect(&m_pollTimer, &QTimer::timeout, this, &MonitorExchange::pollTick);
    m_dueTimer.setSingleShot(true);
    connect(&m_dueTimer, &QTimer::timeout, this, &MonitorExchange::pollTick);
    m_link.setHandler(Tag::Monitoring,
                      [this](QByteArray &received, int &idle) { MonitoringRxd(received, idle); });
}

// --- the exchange ---

void MonitorExchange::MonitoringProcess()
{
    m_queue.setLinkFree(false);
    if (!m_status.isActive()) {
        end(Tag::MonitoringRefused);
        return;
    }
    m_link.RPF_02ComError = 0;
    m_link.drainInput();
    SchetchikMonitoringa = 0;
    BuferMonitoringa.clear();
    pollsSinceRequest = 0;
    // A request that never left cannot be answered: end now rather than wait out the silence.
    if (!m_link.send(kRequest)) {
        end(Tag::TransferError);
        return;
    }
    m_link.RPF_02VektorPriemaIsPorta = Tag::Monitoring;
    // The period runs from the request, not from the reply.
    m_lastRequest = m_clock.now();
    if (m_pollTimer.isActive()) {
        m_pollTimer.start();
        m_dueTimer.stop();
    }
    emit requestSent();
}

void MonitorExchange::end(const QString &tag)
{
    m_link.RPF_02VektorPriemaIsPorta = tag;
    m_queue.setLinkFree(true);
    // No reply, or a wrong one: what is shown is no longer current.
    if (tag != Tag::MonitoringOk)
        setLive(false);
    // A poll that came while this reply was still arriving goes out now.
    if (m_due && m_pollTimer.isActive())
        m_dueTimer.start(0);
}

int MonitorExchange::periodMs() const
{
    return m_position * kMsPerPosition;
}

int MonitorExchange::dueInMs() const
{
    if (!m_lastRequest.isValid())
        return 0;
    const qint64 since = m_lastRequest.msecsTo(m_clock.now());
    // A clock set back must not hold polling up.
    if (since < 0)
        return 0;
    return int(qBound(qint64(0), qint64(periodMs()) - since, qint64(periodMs())));
}

QString MonitorExchange::notReadUnit() const
{
    return m_hooks.unitNotRead ? m_hooks.unitNotRead() : QString();
}

MonitorExchange::~MonitorExchange()
{
    finishJournalFile();
}

void MonitorExchange::finishJournalFile()
{
    if (!m_journalFile)
        return;
    if (!m_journalFile->finish(m_journal) && m_journalProblem.isEmpty())
        m_journalProblem = m_journalFile->record().errorText();
    m_journalFile.reset();
}

void MonitorExchange::writeJournalFile(const QDateTime &now)
{
    if (m_journalFolder.isEmpty())
        return;
    const bool began = !m_journalFile;
    if (began) {
        // One file per journal: a unit's rows from its first one on.
        QDir().mkpath(m_journalFolder);
        const QString path = QDir(m_journalFolder).filePath(m_journal.defaultName(now) + QStringLiteral(".csv"));
        m_journalFile = std::make_unique<MonitorJournalFile>(path, MonitorJournal::spreadsheetFormat(m_locale));
        m_journalProblem.clear();
        if (!m_journalFile->begin())
            m_journalProblem = m_journalFile->record().errorText();
    }
    const bool wasFailed = !m_journalProblem.isEmpty();
    if (!m_journalFile->write(m_journal) && m_journalProblem.isEmpty())
        m_journalProblem = m_journalFile->record().errorText();
    if (began || wasFailed != !m_journalProblem.isEmpty())
        emit journalFileChanged();
}

void MonitorExchange::startJournal(const QString &unit)
{
    finishJournalFile();
    m_journal.clear();
    m_journal.setUnit(unit);
    // The last unit's values are not this one's: none stay on show.
    m_readings = MonitorReadings{};
    m_lastSample = QDateTime();
    m_unanswered = 0;
    setLive(false);
    setNotice();
    emit readingsChanged();
    emit unitChanged();
    emit journalFileChanged();
}

bool MonitorExchange::linkHeldByOther() const
{
    return !m_queue.LinkFree() && m_link.RPF_02VektorPriemaIsPorta != Tag::Monitoring;
}

QString MonitorExchange::notice() const
{
    QString text;
    if (m_pollTimer.isActive() && linkHeldByOther()) {
        const QString &tag = m_link.RPF_02VektorPriemaIsPorta;
        text = tag == Tag::FirmwareRead || tag == Tag::FirmwareWrite ? kPausedFirmware : kPausedLink;
    } else if (m_unanswered > 0) {
        text = kNoAnswer + kInRow.arg(m_unanswered);
    } else if (const QString unit = notReadUnit(); !unit.isEmpty()) {
        text = kUnitNotRead.arg(ShownText::escaped(unit.trimmed()));
    }
    if (m_live || !m_lastSample.isValid())
        return text;
    // Old values say how old: the time, and the date when it is not today's.
    const bool today = m_lastSample.date() == m_clock.now().date();
    const QString when = m_lastSample.toString(today ? QStringLiteral("HH:mm:ss") : QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    const QString since = kStaleSince.arg(when);
    if (text.isEmpty())
        return since.left(1).toUpper() + since.mid(1);
    return text + QStringLiteral("; ") + since;
}

void MonitorExchange::setNotice()
{
    const QString text = notice();
    if (text == m_notice)
        return;
    m_notice = text;
    emit noticeChanged();
}

void MonitorExchange::setLive(bool live)
{
    if (live == m_live)
        return;
    m_live = live;
    emit liveChanged(live);
    setNotice();
}

void MonitorExchange::MonitoringRxd(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)
{
    // The poll timer keeps running: no request starts while this one holds the link, and the next
    // one is due a period after this one went out.
    ++pollsSinceRequest;
    SchetchikMonitoringa += PoluchenoIzPorta.size();
    if (BuferMonitoringa.size() < kBufferLimit)
        BuferMonitoringa += PoluchenoIzPorta.left(kBufferLimit - BuferMonitoringa.size());
    m_status.setCounter(QString::number(SchetchikMonitoringa) + QStringLiteral(" / ") + QString::number(kReplySize)
                        + QStringLiteral(" байт"));
    // The bar of a runaway reply stops at twice the full width.
    m_status.setBar(StatusModel::progressBar(qMin<qint64>(SchetchikMonitoringa, 2 * kReplySize), kReplySize));

    // A whole reply ends at the first silent poll after it; more bytes would have come with it.
    if (SchetchikMonitoringa == kReplySize && OgidaniePriema >= kCompleteQuietPolls) {
        end(Tag::MonitoringOk);
        RazborKadra();
        m_link.RPF_02ComError = 0;
        return;
    }
    // A wrong count, none at all included, ends after a long silence.
    if (OgidaniePriema > kGiveUpPolls) {
        if (SchetchikMonitoringa == 0) {
            ++m_unanswered;
            setNotice();
        }
        end(Tag::TransferError);
        return;
    }
    // A unit that keeps trickling bytes never falls silent: it gets a fixed time from the request.
    if (pollsSinceRequest > kDeadlinePolls || SchetchikMonitoringa > kReplySize)
        end(Tag::TransferError);
}

void MonitorExchange::RazborKadra()
{
    const MonitorDecoder::Kind kind =
        MonitorDecoder::decode(BuferMonitoringa, m_hooks.thresholds, m_locale, m_readings);
    if (kind == MonitorDecoder::Kind::Invalid) {
        end(Tag::TransferError);
        m_messages.show(kFrameError);
        return;
    }
    if (kind == MonitorDecoder::Kind::Measurement)
        SlovaKadra = MonitorDecoder::words(BuferMonitoringa);
    m_lastKind = kind;
    m_unanswered = 0;
    const QDateTime now = m_clock.now();
    m_lastSample = now;
    // The window starts a journal when a unit answers; a journal nobody started takes the unit of
    // its first row.
    if (m_journal.size() == 0 && m_hooks.unitName)
        m_journal.setUnit(m_hooks.unitName());
    m_journal.setLayout(m_layout);
    m_journal.appendFrame(now, m_readings, kind);
    writeJournalFile(now);
    // A reply to a request sent before "Стоп" is shown, but polling has stopped.
    setLive(m_pollTimer.isActive());
    setNotice();
    emit readingsChanged();
    emit sampleTaken(now);
}

// --- the page's routines ---

void MonitorExchange::setTimerOn(bool on)
{
    // Only a change of state touches the timer: starting a running one would restart its period,
    // and the switch runs on every supervision tick.
    if (on == m_pollTimer.isActive())
        return;
    if (on) {
        m_pollTimer.start();
        // The first request goes out at once, or a period after the last one if that is sooner.
        const int due = dueInMs();
        if (due < periodMs())
            m_dueTimer.start(due);
    } else {
        m_pollTimer.stop();
        m_dueTimer.stop();
        m_due = false;
        setLive(false);
    }
    setNotice();
    emit controlsChanged();
}

void MonitorExchange::setButtons(bool start, bool stop)
{
    if (start == m_startEnabled && stop == m_stopEnabled)
        return;
    m_startEnabled = start;
    m_stopEnabled = stop;
    emit controlsChanged();
}

void MonitorExchange::switchTimer()
{
    if (!pageVisible() || m_startEnabled == m_stopEnabled) {
        setTimerOn(false);
        return;
    }
    setTimerOn(m_stopEnabled);
}

void MonitorExchange::ProverkaKnopok()
{
    switchTimer();
    if (m_pollTimer.isActive() && linkHeldByOther())
        setLive(false);
    setNotice();
    // A request that found the link held by another exchange goes out as soon as it is free.
    if (m_due && m_pollTimer.isActive() && m_queue.LinkFree() && !m_dueTimer.isActive())
        pollTick();
}

void MonitorExchange::pollTick()
{
    switchTimer();
    if (!m_queue.LinkFree()) {
        m_due = m_pollTimer.isActive();
        setNotice();
        return;
    }
    m_due = false;
    call(m_hooks.refreshInputs);
    call(m_hooks.refreshDeviceInfo);
    RazmetkaVhodov();
    // One request at a time, even when the queue is held up.
    if (!m_queue.isQueued(Cmd::MonitoringProcess))
        m_queue.post(Cmd::MonitoringProcess);
    startIfFree();
}

void MonitorExchange::startIfFree()
{
    if (!m_queue.LinkFree())
        return;
    if (m_hooks.startQueued) {
        m_hooks.startQueued();
        return;
    }
    // Without the supervision at hand: only a lone request, and only after an exchange that needs
    // no follow-up (a transfer error must still close the port, a read refill the pages).
    const QString &tag = m_link.RPF_02VektorPriemaIsPorta;
    const bool settled = tag.isEmpty() || tag == Tag::MonitoringOk || tag == Tag::MonitoringRefused;
    if (settled && m_link.isOpen() && m_queue.CommandQueueText() == Cmd::MonitoringProcess + QStringLiteral(",|"))
        m_queue.pump();
}

void MonitorExchange::RazmetkaVhodov()
{
    PokazatIzobrazhenie();
    const bool otherUnit = !notReadUnit().isEmpty();
    const std::optional<int> count = m_hooks.inputCount && !otherUnit ? m_hooks.inputCount() : std::nullopt;
    const std::optional<MonitorDecoder::Layout> layout = MonitorDecoder::rowLayout(count.value_or(0));
    setNotice();
    if (layout) {
        if (!sameRows(*layout, m_layout)) {
            m_layout = *layout;
            emit layoutChanged();
        }
        return;
    }
    // Another unit's rows are not this one's: inputs by number until its configuration is read.
    if (otherUnit && !sameRows(m_layout, MonitorDecoder::designLayout())) {
        m_layout = MonitorDecoder::designLayout();
        emit layoutChanged();
    }
    // The model bytes come with the configuration: read it, once, not on every tick, and never
    // over edits not yet written.
    const bool mayRead = !m_hooks.mayReadConfiguration || m_hooks.mayReadConfiguration();
    if (mayRead && !m_configReadPosted && !m_queue.isQueued(Cmd::ConfiguraciaReadProcess)) {
        m_queue.post(Cmd::ConfiguraciaReadProcess);
        m_configReadPosted = true;
    }
    PokazatIzobrazhenie();
}

void MonitorExchange::PokazatIzobrazhenie()
{
    const int picture = MonitorDecoder::pictureIndex(m_hooks.modelName ? m_hooks.modelName() : QString());
    if (picture == m_picture)
        return;
    m_picture = picture;
    emit layoutChanged();
}

void MonitorExchange::OchistkaTermodatchikov()
{
    for (int n = 1; n <= MonitorReadings::kSensors; ++n)
        m_readings.sensors[n].clear();
    emit readingsChanged();
}

void MonitorExchange::Command1_Click()
{
    setButtons(false, true);
    m_configReadPosted = false;
    setTimerOn(true);
}

void MonitorExchange::Command2_Click()
{
    setButtons(true, false);
    setTimerOn(false);
}

void MonitorExchange::setPosition(int position)
{
    position = qBound(kMinPosition, position, kMaxPosition);
    const bool changed = position != m_position;
    m_position = position;
    // Setting the interval restarts a running timer, so only a new period does; the next request
    // is then due a new period after the last one, or at once when that has passed.
    if (m_pollTimer.interval() != periodMs()) {
        m_pollTimer.setInterval(periodMs());
        if (m_pollTimer.isActive() && !m_due && dueInMs() < periodMs())
            m_dueTimer.start(dueInMs());
    }
    ProverkaKnopok();
    if (changed)
        emit controlsChanged();
}

void MonitorExchange::pageShown()
{
    // A model read that failed is tried again when the page is shown again.
    m_configReadPosted = false;
}

void MonitorExchange::Form_Activate()
{
    m_status.clearProgress();
    SlovaKadra = {};
    setPosition(m_position);
    PokazatIzobrazhenie();
}

void MonitorExchange::Form_Deactivate()
{
    setTimerOn(false);
    m_status.clearProgress();
}

void MonitorExchange::Form_Unload()
{
    setTimerOn(false);
}

void MonitorExchange::goOnline()
{
    // "Стоп" comes on, "Старт" keeps its state: after an offline phase polling resumes by itself.
    setButtons(m_startEnabled, true);
    m_configReadPosted = false;
}

void MonitorExchange::goOffline()
{
    setButtons(false, false);
    setTimerOn(false);
}

bool MonitorExchange::saveJournal(FileDialogs &dialogs, const QString &folder)
{
    if (!m_journal.save(dialogs, m_messages, m_journal.layout(), MonitorJournal::spreadsheetFormat(m_locale), folder,
                        m_clock.now()))
        return false;
    // Memory keeps the newest rows only: the older ones are named, never dropped without a word.
    if (const qint64 older = m_journal.dropped(); older > 0) {
        const QString kept = QString::number(m_journal.size());
        m_messages.show(m_journalProblem.isEmpty() && m_journalFile
                            ? kOlderRows.arg(kept, QString::number(older), journalFile())
                            : kOlderRowsLost.arg(kept, QString::number(older),
                                                 m_journalProblem.isEmpty() ? QStringLiteral("файл журнала не ведётся.")
                                                                            : m_journalProblem));
    }
    return true;
}
