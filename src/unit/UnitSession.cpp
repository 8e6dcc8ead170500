#include "unit/UnitSession.h"
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
#include "link/SerialPort.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "link/UnitSettings.h"
#include "monitor/MonitorExchange.h"
#include "settings/ProgramOptions.h"
#include "unit/ConfigBackups.h"
#include "unit/UnitBackups.h"
#include "unit/PortFactory.h"
#include <utility>
#include "shell/Clock.h"
#include "unit/UnitSwap.h"

UnitSession::UnitSession(const QString &programFolder, SerialPort *port, const Borrowed &borrowed, QObject *parent)
    : QObject(parent), m_folder(programFolder), m_settings(borrowed.settings), m_messages(borrowed.messages),
      m_dialogs(borrowed.dialogs), m_clock(borrowed.clock)
{
    m_port = port;
    build();
}

UnitSession::UnitSession(PortFactory &ports, const Borrowed &borrowed, QObject *parent)
    : QObject(parent), m_folder(ports.programFolder()), m_settings(borrowed.settings), m_messages(borrowed.messages),
      m_dialogs(borrowed.dialogs), m_clock(borrowed.clock), m_ownPort(ports.make())
{
    m_port = m_ownPort.get();
    build();
}

void UnitSession::build()
{
    m_status = std::make_unique<StatusModel>();
    m_queue = std::make_unique<CommandQueue>(m_messages);
    m_choices = std::make_unique<UnitSettings>();
    m_link = std::make_unique<SerialLink>(*m_port, *m_queue, *m_status, *m_choices);
    m_supervisor = std::make_unique<StatusSupervisor>(*m_link, *m_queue, *m_status);
    m_image = std::make_unique<ConfigImage>();
    m_configExchange = std::make_unique<ConfigExchange>(*m_link, *m_queue, *m_status, *m_image, m_messages);
    m_configFiles = std::make_unique<ConfigFiles>(*m_image, *m_link, *m_status, m_messages, m_dialogs, m_clock,
                                                  m_folder);
    m_configTransfer = std::make_unique<ConfigFileTransfer>(*m_link, *m_status, m_messages, *m_configFiles);
    m_deviceInfo = std::make_unique<DeviceInfo>(*m_image, *m_link);
    m_monitorExchange = std::make_unique<MonitorExchange>(*m_link, *m_queue, *m_status, m_messages, m_clock);
    m_firmwareExchange = std::make_unique<FirmwareExchange>(*m_link, *m_queue, *m_status, m_messages);
    m_backupStore = std::make_unique<ConfigBackups>(m_folder, m_clock);
    m_backups = std::make_unique<UnitBackups>(*m_backupStore, *m_image, *m_link, m_messages);
    m_swap = std::make_unique<UnitSwap>(*m_image, *m_link, *m_monitorExchange, m_messages, m_dialogs, m_folder);

    wireCommands();
    wireBackups();
    wireSupervision();
    wireMonitoring();
    connect(m_link.get(), &SerialLink::stateChanged, this, &UnitSession::followTag);

    // The settings are a model this unit follows: a load sets its choices anew, the options take
    // effect at the next tick. Neither touches an open port.
    if (m_settings.isLoaded())
        applySettings(m_settings, *m_link, *m_supervisor);
    connect(&m_settings, &ProgramSettings::loaded, this,
            [this] { applySettings(m_settings, *m_link, *m_supervisor); });
    // A port numbered while the program runs joins the ports this unit offers and searches.
    connect(&m_settings, &ProgramSettings::changed, this,
            [this] { m_choices->setPortItems(m_settings.portItems()); });
    followOptions();
    connect(&m_settings.options(), &ProgramOptions::changed, this, &UnitSession::followOptions);
}

UnitSession::~UnitSession()
{
    // The link's handlers capture the exchanges declared after it: nothing may run once they go.
    stop();
}

void UnitSession::wireCommands()
{
    m_queue->setStarter(Cmd::PoiskUstroistva, [this](QString &param) { m_link->PoiskUstroistva(param); });
    m_queue->setStarter(Cmd::ConfiguraciaReadProcess,
                        [this](QString &) { m_configExchange->ConfiguraciaReadProcess(); });
    m_queue->setStarter(Cmd::ConfiguraciaWriteProcess,
                        [this](QString &) { m_configExchange->ConfiguraciaWriteProcess(); });
    m_queue->setStarter(Cmd::MonitoringProcess, [this](QString &) { m_monitorExchange->MonitoringProcess(); });
}

void UnitSession::wireBackups()
{
    m_configExchange->readCompleted = [this] { m_backups->readCompleted(); };
    m_configExchange->beforeWrite = [this] { return m_backups->beforeWrite(); };
    m_configExchange->writeEnded = [this](bool ok) {
        m_backups->writeEnded(ok, ok ? m_image->bytes(1, ConfigImage::kMemorySize) : QByteArray());
    };
    m_configTransfer->copyCompleted = [this](const QByteArray &image) { m_backups->keepRead(image); };
    m_configTransfer->beforeLoad = [this] { return m_backups->beforeWrite(); };
    m_configTransfer->loadEnded = [this](bool ok, const QByteArray &memory) { m_backups->writeEnded(ok, memory); };
}

void UnitSession::wireSupervision()
{
    StatusSupervisor::Hooks hooks;
    hooks.configurationRead = [this] { return m_configExchange->ConfiguraciaProchitana; };
    hooks.setConfigurationRead = [this](bool read) { m_configExchange->ConfiguraciaProchitana = read; };
    hooks.refreshPages = [this] {
        // A complete read: the image is now the answering unit's.
        if (!m_image->isPartial())
            m_image->setReadFrom(m_link->deviceName(), m_clock.now(), m_link->identificationCount());
        emit pagesStale();
    };
    hooks.refreshSettingsPages = [this] { emit settingsPagesStale(); };
    hooks.activateOnline = [this] { emit onlineChanged(true); };
    hooks.deactivateOffline = [this] { emit onlineChanged(false); };
    hooks.clearVersions = [this] { m_deviceInfo->clearVersions(); };
    hooks.lockPages = [this](bool linkFree) { emit linkFreeChecked(linkFree); };
    hooks.checkMonitoringButtons = [this] { m_monitorExchange->ProverkaKnopok(); };
    hooks.unsavedEdits = [this] { return m_image->isChanged(); };
    hooks.identified = [this] {
        unitIdentified();
        emit identified();
    };
    m_supervisor->setHooks(std::move(hooks));
}

void UnitSession::wireMonitoring()
{
    MonitorExchange::Hooks hooks;
    hooks.pageVisible = [this] { return m_monitoringWanted && m_monitoringWanted(); };
    hooks.refreshInputs = [this] { emit inputsStale(); };
    hooks.refreshDeviceInfo = [this] { emit deviceInfoStale(); };
    // Nothing of another unit's image judges the unit answering now.
    hooks.inputCount = [this] {
        return m_swap->imageNotOfThisUnit() ? std::nullopt : m_deviceInfo->KolichestvoVhodov;
    };
    hooks.modelName = [this] { return m_swap->imageNotOfThisUnit() ? QString() : m_deviceInfo->value(6); };
    hooks.unitName = [this] { return m_link->deviceName(); };
    hooks.unitNotRead = [this] { return m_swap->imageNotOfThisUnit() ? m_link->deviceName() : QString(); };
    hooks.mayReadConfiguration = [this] { return !m_image->isChanged(); };
    // The thresholds as the inputs page shows them: straight from the image.
    hooks.thresholds = [this](int input, bool upper) {
        if (m_swap->imageNotOfThisUnit())
            return QString();
        const QString key = FieldMaps::thresholdKey(input, upper);
        for (const FieldSpec &field : FieldMaps::inputThresholds()) {
            if (field.key != key)
                continue;
            const FieldCodec::Shown shown = FieldCodec::show(*m_image, field);
            return shown.hasData ? shown.text : QString();
        }
        return QString();
    };
    if (m_supervised)
        hooks.startQueued = [this] { m_supervisor->tick(); };
    m_monitorExchange->setHooks(std::move(hooks));
}

void UnitSession::unitIdentified()
{
    // Only the window asks; a command line names in its file what goes where.
    if (!m_supervised)
        return;
    // No tick runs while a question is open.
    const bool ticking = m_supervisor->timer().isActive();
    m_supervisor->timer().stop();
    const UnitSwap::Outcome outcome = m_swap->unitIdentified();
    if (ticking)
        m_supervisor->timer().start();
    // The user asked for the new unit's configuration; with the option on, the supervision reads it
    // itself now that no edit is in the way.
    if (outcome == UnitSwap::Outcome::EditsDropped && !m_supervisor->readOnDetection
        && !m_configExchange->ConfiguraciaProchitana) {
        m_queue->post(Cmd::ConfiguraciaReadProcess);
        m_configExchange->ConfiguraciaProchitana = true;
    }
    // What shows the unit says whose data it holds; the versions come back with it (the firmware
    // buttons follow them).
    m_deviceInfo->fill();
    emit deviceInfoStale();
}

void UnitSession::setSupervised(bool supervised)
{
    m_supervised = supervised;
    wireMonitoring();
}

void UnitSession::followOptions()
{
    const ProgramOptions &options = m_settings.options();
    m_supervisor->searchOnLoss = options.isChecked(ProgramOptions::SearchOnLoss);
    m_supervisor->readOnDetection = options.isChecked(ProgramOptions::ReadOnDetection);
}

void UnitSession::applySettings(const ProgramSettings &settings, SerialLink &link, StatusSupervisor &supervisor)
{
    UnitSettings &choices = link.choices();
    choices.beginUpdate();
    choices.setPortItems(settings.portItems());
    choices.setPortText(QString());
    choices.setSpeedItems(settings.speedItems());
    choices.setSpeedIndex(settings.speedIndex());
    if (const std::optional<int> handshake = settings.handshakeIndex()) {
        choices.setHandshakeIndex(*handshake);
        link.UsbComPortHandshaking = *handshake + 1;
    }
    if (const std::optional<int> port = settings.activePort())
        link.UsbComPortNumber = *port;
    link.UsbComPortSpeed = SerialLink::numericValue(choices.speedText());
    choices.endUpdate();
    // Check4 and Check5 as the file had them; a later click on Check4 waits for the next start.
    if (const std::optional<int> state = settings.loadedOption(ProgramOptions::LastPortFirst))
        supervisor.UseLastSucsessConnection = *state != 0;
    if (const std::optional<int> state = settings.loadedOption(ProgramOptions::AutomaticSearch))
        supervisor.Avtopoisk = *state != 0;
}

ProgramSettings::Choice UnitSession::choice() const
{
    ProgramSettings::Choice choice;
    choice.port = m_link->UsbComPortNumber;
    choice.speedIndex = m_choices->isValidSpeedIndex(m_choices->speedIndex()) ? m_choices->speedIndex() : -1;
    choice.handshakeIndex = m_choices->handshakeIndex();
    return choice;
}

void UnitSession::overrideSpeed(int speed)
{
    m_choices->setSpeedItems({QString::number(speed)});
    m_choices->setSpeedIndex(0);
    m_link->UsbComPortSpeed = speed;
}

void UnitSession::start(bool timers)
{
    m_supervisor->load();
    m_queue->setLinkFree(true);
    m_link->UstroistvoName.clear();
    m_link->UstroistvoNameClear.clear();
    m_configExchange->ConfiguraciaProchitana = false;
    if (timers)
        m_supervisor->timer().start();
}

void UnitSession::stop()
{
    m_supervisor->timer().stop();
    m_link->pollTimer().stop();
    if (m_link->isOpen())
        m_link->CloseUsbComPort();
}

void UnitSession::release()
{
    if (!m_supervised)
        stop();
}

void UnitSession::abort()
{
    m_link->RPF_02VektorPriemaIsPorta.clear();
    m_followed.clear();
    stop();
    m_queue->setLinkFree(true);
}

QString UnitSession::exchangeTag() const
{
    return m_link->RPF_02VektorPriemaIsPorta;
}

bool UnitSession::exchangeRunning() const
{
    return m_link->RPF_02VektorPriemaIsPorta.endsWith(QStringLiteral("в процессе"));
}

void UnitSession::followTag()
{
    const QString tag = m_link->RPF_02VektorPriemaIsPorta;
    if (tag == m_followed)
        return;
    const bool ended = !m_followed.isEmpty();
    m_followed = exchangeRunning() ? tag : QString();
    if (ended)
        emit exchangeEnded(tag);
}

void UnitSession::checkStalled()
{
    followTag();
    if (!m_followed.isEmpty() && !m_link->pollTimer().isActive()) {
        const QString tag = std::exchange(m_followed, QString());
        emit exchangeEnded(tag);
    }
}

void UnitSession::whileSettingsFileInUse(const std::function<void()> &work)
{
    m_queue->setLinkFree(false);
    const bool supervision = m_supervisor->timer().isActive();
    const bool poll = m_link->pollTimer().isActive();
    m_supervisor->timer().stop();
    m_link->pollTimer().stop();
    work();
    if (supervision)
        m_supervisor->timer().start();
    if (poll)
        m_link->pollTimer().start();
    m_queue->setLinkFree(true);
}
