#include "monitor/MonitorExchange.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/Clock.h"
#include "shell/MessageSink.h"

namespace {
constexpr int kMsPerPosition = 500;

template <typename F>
void call(const F &hook)
{
    if (hook)
        hook();
}

bool isQueued(const CommandQueue &queue, const QString &command)
{
    return queue.CommandQueueText().startsWith(command + QLatin1Char(','))
        || queue.CommandQueueText().contains(QLatin1Char('|') + command + QLatin1Char(','));
}
}

MonitorExchange::MonitorExchange(SerialLink &link, CommandQueue &queue, StatusModel &status, MessageSink &messages,
                                 const Clock &clock, QObject *parent)
    : QObject(parent), m_link(link), m_queue(queue), m_status(status), m_messages(messages), m_clock(clock)
{
    m_pollTimer.setInterval(m_position * kMsPerPosition);
    connect(&m_pollTimer, &QTimer::timeout, this, &MonitorExchange::pollTick);
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
}

void MonitorExchange::end(const QString &tag)
{
    m_link.RPF_02VektorPriemaIsPorta = tag;
    m_queue.setLinkFree(true);
}

void MonitorExchange::MonitoringRxd(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)
{
    // No new request while a reply is coming; the next supervision tick re-arms the timer.
    setTimerOn(false);
    ++pollsSinceRequest;
    SchetchikMonitoringa += PoluchenoIzPorta.size();
    if (BuferMonitoringa.size() < kBufferLimit)
        BuferMonitoringa += PoluchenoIzPorta.left(kBufferLimit - BuferMonitoringa.size());
    m_status.setCounter(QString::number(SchetchikMonitoringa) + QStringLiteral(" / ") + QString::number(kReplySize)
                        + QStringLiteral(" байт"));
    // The bar of a runaway reply stops at twice the full width.
    m_status.setBar(StatusModel::progressBar(qMin<qint64>(SchetchikMonitoringa, 2 * kReplySize), kReplySize));

    if (OgidaniePriema > kQuietPolls) {
        if (SchetchikMonitoringa == kReplySize) {
            end(Tag::MonitoringOk);
            RazborKadra();
            m_link.RPF_02ComError = 0;
            return;
        }
        // A wrong count, none at all included, ends after a long silence.
        if (OgidaniePriema > kGiveUpPolls) {
            end(Tag::TransferError);
            return;
        }
    }
    // A unit that keeps trickling bytes never falls silent: it gets a fixed time from the request.
    if (pollsSinceRequest > kDeadlinePolls)
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
    const QDateTime now = m_clock.now();
    m_journal.append(now, m_readings);
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
    if (on)
        m_pollTimer.start();
    else
        m_pollTimer.stop();
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

void MonitorExchange::ProverkaKnopok()
{
    if (!pageVisible() || m_startEnabled == m_stopEnabled) {
        setTimerOn(false);
        return;
    }
    setTimerOn(m_stopEnabled);
}

void MonitorExchange::pollTick()
{
    ProverkaKnopok();
    if (!m_queue.LinkFree())
        return;
    call(m_hooks.refreshInputs);
    call(m_hooks.refreshDeviceInfo);
    RazmetkaVhodov();
    // One request at a time, even when the queue is held up.
    if (!isQueued(m_queue, Cmd::MonitoringProcess))
        m_queue.post(Cmd::MonitoringProcess);
}

void MonitorExchange::RazmetkaVhodov()
{
    PokazatIzobrazhenie();
    const std::optional<int> count = m_hooks.inputCount ? m_hooks.inputCount() : std::nullopt;
    const std::optional<MonitorDecoder::Layout> layout = MonitorDecoder::rowLayout(count.value_or(0));
    if (layout) {
        bool changed = false;
        for (int r = 1; r <= MonitorReadings::kInputs; ++r)
            changed = changed || (*layout)[r].caption != m_layout[r].caption
                || (*layout)[r].visible != m_layout[r].visible;
        if (changed) {
            m_layout = *layout;
            emit layoutChanged();
        }
        return;
    }
    // The model bytes come with the configuration: read it, once, not on every tick.
    if (!m_configReadPosted && !isQueued(m_queue, Cmd::ConfiguraciaReadProcess)) {
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
    // Setting the interval restarts a running timer, so only a new period does.
    if (m_pollTimer.interval() != m_position * kMsPerPosition)
        m_pollTimer.setInterval(m_position * kMsPerPosition);
    ProverkaKnopok();
    if (changed)
        emit controlsChanged();
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
    return m_journal.save(dialogs, m_messages, m_layout, folder, m_clock.now());
}
