#include "cli/CliSession.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressReporter.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "editors/FieldCodec.h"
#include "editors/FieldMaps.h"
#include "firmware/FirmwareExchange.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/QtSerialPort.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "monitor/MonitorExchange.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "shell/Clock.h"
#include <QEventLoop>
#include <QTimer>

namespace {
// How often the loop looks for Ctrl+C and for a pump that stopped.
constexpr int kWatchMs = 50;
}

CliSession::CliSession(const Setup &setup, QObject *parent)
    : QObject(parent), m_programFolder(setup.programFolder), m_clock(std::make_unique<SystemClock>()),
      m_messages(setup.messages), m_dialogs(setup.dialogs), m_progress(setup.progress)
{
    if (!setup.port)
        m_ownPort = std::make_unique<QtSerialPort>(m_programFolder);
    m_port = setup.port ? setup.port : m_ownPort.get();

    m_status = std::make_unique<StatusModel>();
    m_queue = std::make_unique<CommandQueue>(*m_messages);
    m_queue->setLinkFree(true);
    m_link = std::make_unique<SerialLink>(*m_port, *m_queue, *m_status);
    m_options = std::make_unique<ProgramOptions>();
    m_settings = std::make_unique<ProgramSettings>(m_programFolder + QStringLiteral("/Service/TX.cfg"), *m_link,
                                                   *m_options, *m_queue, *m_messages);
    m_image = std::make_unique<ConfigImage>();
    m_configExchange = std::make_unique<ConfigExchange>(*m_link, *m_queue, *m_status, *m_image, *m_messages);
    m_configFiles = std::make_unique<ConfigFiles>(*m_image, *m_link, *m_status, *m_messages, *m_dialogs, *m_clock,
                                                  m_programFolder);
    m_configTransfer = std::make_unique<ConfigFileTransfer>(*m_link, *m_status, *m_messages, *m_configFiles);
    m_deviceInfo = std::make_unique<DeviceInfo>(*m_image, *m_link);
    m_firmware = std::make_unique<FirmwareExchange>(*m_link, *m_queue, *m_status, *m_messages);
    m_monitor = std::make_unique<MonitorExchange>(*m_link, *m_queue, *m_status, *m_messages, *m_clock);
    // What the monitoring page takes from the device information and inputs pages, straight from
    // the configuration image here.
    MonitorExchange::Hooks hooks;
    hooks.inputCount = [this] { return m_deviceInfo->KolichestvoVhodov; };
    hooks.modelName = [this] { return m_deviceInfo->value(6); };
    hooks.thresholds = [this](int input, bool upper) {
        const QString key = FieldMaps::thresholdKey(input, upper);
        for (const FieldSpec &field : FieldMaps::inputThresholds()) {
            if (field.key != key)
                continue;
            const FieldCodec::Shown shown = FieldCodec::show(*m_image, field);
            return shown.hasData ? shown.text : QString();
        }
        return QString();
    };
    m_monitor->setHooks(std::move(hooks));

    connect(m_status.get(), &StatusModel::changed, this, &CliSession::showProgress);
}

CliSession::~CliSession()
{
    close();
}

void CliSession::loadSettings(std::optional<int> speed)
{
    m_settings->TXconfigLoadParam();
    if (speed) {
        m_link->setSpeedItems({QString::number(*speed)});
        m_link->setSpeedIndex(0);
        m_link->UsbComPortSpeed = *speed;
    }
}

QList<int> CliSession::candidatePorts(std::optional<int> port) const
{
    if (port)
        return {*port};
    QList<int> ports{m_link->UsbComPortNumber};
    for (const QString &item : m_link->portItems()) {
        const int n = SerialLink::numericValue(item);
        if (n > 0 && !ports.contains(n))
            ports.append(n);
    }
    return ports;
}

bool CliSession::identify(int port)
{
    m_lastPortProblem.clear();
    m_status->setConnection(StatusModel::kNone);
    QString number = QString::number(port);
    m_link->PoiskUstroistva(number);
    if (m_link->RPF_02VektorPriemaIsPorta == Tag::NameReading)
        waitWhileTag(Tag::NameReading);
    if (m_link->RPF_02VektorPriemaIsPorta == Tag::NameRead && m_link->isOpen()) {
        // What the status panel's supervision shows once a unit has answered.
        m_status->setConnection(StatusModel::kActive);
        return true;
    }
    if (!m_link->isOpen() && m_link->RPF_02ComError != 0) {
        m_lastPortProblem = m_link->portStateText();
        const QString why = m_link->port().lastErrorText();
        if (!why.isEmpty())
            m_lastPortProblem += QStringLiteral(" (") + why + QLatin1Char(')');
    } else if (!m_link->connectionError().isEmpty()) {
        m_lastPortProblem = m_link->connectionError();
    }
    m_link->CloseUsbComPort();
    return false;
}

CliSession::End CliSession::waitWhileTag(const QString &tag)
{
    QEventLoop loop;
    bool interrupted = false;
    // Between ticks only: the pump stops its own timer while a tick runs.
    const auto check = [&] {
        if (InterruptWatch::interrupted()) {
            interrupted = true;
            loop.quit();
        } else if (m_link->RPF_02VektorPriemaIsPorta != tag || !m_link->pollTimer().isActive()) {
            // A stopped pump would never end the exchange; the caller sees its tag unchanged.
            loop.quit();
        }
    };
    QTimer watch;
    watch.setInterval(kWatchMs);
    connect(&watch, &QTimer::timeout, &loop, check);
    // A finished exchange is noticed on the tick that finished it.
    connect(m_link.get(), &SerialLink::stateChanged, &loop, [&] {
        if (m_link->RPF_02VektorPriemaIsPorta != tag)
            loop.quit();
    });
    watch.start();
    check();
    if (!interrupted && m_link->RPF_02VektorPriemaIsPorta == tag && m_link->pollTimer().isActive())
        loop.exec();
    if (m_progress)
        m_progress->end();
    return interrupted ? End::Interrupted : End::Finished;
}

CliSession::End CliSession::pause(int ms)
{
    QEventLoop loop;
    QTimer watch;
    watch.setInterval(kWatchMs);
    connect(&watch, &QTimer::timeout, &loop, [&loop] {
        if (InterruptWatch::interrupted())
            loop.quit();
    });
    QTimer::singleShot(qMax(0, ms), &loop, &QEventLoop::quit);
    watch.start();
    if (!InterruptWatch::interrupted())
        loop.exec();
    return InterruptWatch::interrupted() ? End::Interrupted : End::Finished;
}

void CliSession::abort()
{
    m_link->RPF_02VektorPriemaIsPorta.clear();
    close();
}

void CliSession::close()
{
    m_link->pollTimer().stop();
    if (m_link->isOpen())
        m_link->CloseUsbComPort();
}

void CliSession::showProgress()
{
    if (!m_progress || !m_progressShown)
        return;
    if (const auto numbers = ProgressReporter::parseCounter(m_status->counter()))
        m_progress->update(numbers->first, numbers->second);
}
