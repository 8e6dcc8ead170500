#include "app/TarviksApp.h"

#include "config/CloseGuard.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/ConfigPage.h"
#include "devinfo/DeviceInfo.h"
#include "devinfo/DeviceInfoPage.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwarePage.h"
#include "editors/BasicSettingsPage.h"
#include "editors/DistributionListPage.h"
#include "editors/InputsPage.h"
#include "editors/SimSettingsPage.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/PortNumbering.h"
#include "link/PortWatch.h"
#include "link/QtSerialPort.h"
#include "link/SerialDevices.h"
#include "link/SerialLink.h"
#include "link/SerialPage.h"
#include "link/StatusModel.h"
#include "link/StatusPanel.h"
#include "link/StatusSupervisor.h"
#include "monitor/MonitorExchange.h"
#include "monitor/MonitorPage.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsPage.h"
#include "shell/BoxMessageSink.h"
#include "shell/Clock.h"
#include "shell/GeneralInfoPage.h"
#include "shell/LeftMenu.h"
#include "shell/MainWindow.h"
#include "shell/MasterForm.h"
#include "shell/QtFileDialogs.h"

#include <QCoreApplication>

namespace {
// Pages refilled after a configuration read, in this order.
const QStringList kRefreshedPages = {QStringLiteral("RPF_05"), QStringLiteral("RPF_07"), QStringLiteral("RPF_08"),
                                     QStringLiteral("RPF_10"), QStringLiteral("RPF_11"), QStringLiteral("RPF_03"),
                                     QStringLiteral("RPF_04")};
}

TarviksApp::TarviksApp(const AppSetup &setup, QObject *parent) : QObject(parent)
{
    const QString folder = setup.programFolder;
    auto *boxes = setup.messages ? nullptr : new BoxMessageSink;
    auto *dialogs = setup.dialogs ? nullptr : new QtFileDialogs;
    m_numbering = std::make_unique<PortNumbering>(folder);
    if (!setup.port)
        m_ownPort = std::make_unique<QtSerialPort>(folder, m_numbering.get());
    SerialDeviceList *devices = setup.devices;
    if (!devices && !setup.port) {
        m_ownDevices = std::make_unique<QtSerialDeviceList>();
        devices = m_ownDevices.get();
    }
    if (boxes)
        m_ownMessages.reset(boxes);
    if (dialogs)
        m_ownDialogs.reset(dialogs);
    if (!setup.clock)
        m_ownClock = std::make_unique<SystemClock>();
    m_port = setup.port ? setup.port : m_ownPort.get();
    m_messages = setup.messages ? setup.messages : m_ownMessages.get();
    m_dialogs = setup.dialogs ? setup.dialogs : m_ownDialogs.get();
    m_clock = setup.clock ? setup.clock : m_ownClock.get();

    m_status = std::make_unique<StatusModel>();
    m_queue = std::make_unique<CommandQueue>(*m_messages);
    m_link = std::make_unique<SerialLink>(*m_port, *m_queue, *m_status);
    m_options = std::make_unique<ProgramOptions>();
    m_settings = std::make_unique<ProgramSettings>(folder + QStringLiteral("/Service/TX.cfg"), *m_link, *m_options,
                                                   *m_queue, *m_messages);
    m_supervisor = std::make_unique<StatusSupervisor>(*m_link, *m_queue, *m_status, *m_options, *m_settings);
    m_settings->setSupervisionTimer(&m_supervisor->timer());
    m_image = std::make_unique<ConfigImage>();
    m_configExchange = std::make_unique<ConfigExchange>(*m_link, *m_queue, *m_status, *m_image, *m_messages);
    m_configFiles = std::make_unique<ConfigFiles>(*m_image, *m_link, *m_status, *m_messages, *m_dialogs, *m_clock,
                                                  folder);
    m_configTransfer = std::make_unique<ConfigFileTransfer>(*m_link, *m_status, *m_messages, *m_configFiles);
    m_deviceInfo = std::make_unique<DeviceInfo>(*m_image, *m_link);
    m_monitorExchange = std::make_unique<MonitorExchange>(*m_link, *m_queue, *m_status, *m_messages, *m_clock);
    m_firmwareExchange = std::make_unique<FirmwareExchange>(*m_link, *m_queue, *m_status, *m_messages);

    // Child windows, created once and kept until the end.
    m_window = std::make_unique<MainWindow>();
    if (boxes)
        boxes->setParent(m_window.get());
    if (dialogs)
        dialogs->setParent(m_window.get());
    m_tree = new LeftMenu;
    m_statusPanel = new StatusPanel(*m_status);
    m_window->addChildWindow(m_tree);
    m_window->addChildWindow(m_statusPanel);
    SerialPage *serialPage = nullptr;
    for (const MainWindow::PageInfo &info : MainWindow::pageTable()) {
        Page *page = nullptr;
        if (info.form == QLatin1String("RPF_01"))
            page = new GeneralInfoPage;
        else if (info.form == QLatin1String("RPF_02"))
            page = serialPage = new SerialPage(*m_link, *m_options, *m_settings);
        else if (info.form == QLatin1String("RPF_05"))
            page = new DeviceInfoPage(*m_deviceInfo);
        else if (info.form == QLatin1String("RPF_17"))
            page = new ConfigPage(*m_configExchange, *m_configFiles, *m_configTransfer, *m_queue, *m_status,
                                  *m_messages);
        else if (info.form == BasicSettingsPage::kFormName)
            page = new BasicSettingsPage(*m_image, *m_messages);
        else if (info.form == SimSettingsPage::kFormName)
            page = new SimSettingsPage(*m_image, *m_messages);
        else if (info.form == DistributionListPage::kFormName)
            page = new DistributionListPage;
        else if (info.form == InputsPage::kFormName)
            page = new InputsPage(*m_image, *m_messages);
        else if (info.form == MonitorPage::kFormName)
            page = new MonitorPage(*m_monitorExchange, *m_dialogs, folder);
        else if (info.form == QLatin1String("RPF_19"))
            page = new SettingsPage(*m_options, *m_settings);
        else if (info.form == FirmwarePage::kFormName)
            page = new FirmwarePage(*m_firmwareExchange, *m_deviceInfo, *m_link, *m_status, *m_dialogs, *m_clock,
                                    folder);
        else
            page = new Page(info.form, info.caption);
        m_window->addChildWindow(page);
    }
    m_window->normaliseFonts();
    connect(m_tree, &LeftMenu::pageRequested, m_window.get(), &MainWindow::showPage);
    // Unwritten edits and a running transfer are not dropped without a question. The window owns
    // the guard; it goes before everything the guard refers to.
    auto closeGuard = std::make_shared<CloseGuard>(*m_link, *m_image, *m_status, *m_messages, [this] { shutDown(); });
    m_window->setCloseGuard([closeGuard] { return closeGuard->mayClose(); });
    // Closing the main window ends the program, also while the wizard, a window of its own, is open.
    connect(m_window.get(), &MainWindow::closing, this, [this] {
        shutDown();
        QCoreApplication::quit();
    });
    connect(m_settings.get(), &ProgramSettings::wizardRequested, this, &TarviksApp::showWizard);

    registerCommands();
    wireSupervision();
    wirePortWatch(devices, serialPage);
}

void TarviksApp::wirePortWatch(SerialDeviceList *devices, SerialPage *serialPage)
{
    if (devices) {
        m_portWatch = std::make_unique<PortWatch>(*devices, *m_numbering);
        // A newly numbered adapter is searched on the next round.
        connect(m_portWatch.get(), &PortWatch::devicesChanged, this, [this, serialPage](const QList<int> &added) {
            for (int number : added)
                m_settings->addPortNumber(number);
            if (serialPage)
                serialPage->updatePortToolTips();
        });
    }
    if (serialPage) {
        serialPage->setPortToolTips([this](int number) {
            return m_numbering->toolTip(number, m_portWatch ? m_portWatch->devices() : QList<SerialDevice>{});
        });
    }
}

TarviksApp::~TarviksApp()
{
    shutDown();
    if (m_wizard)
        delete m_wizard.data();
}

Page *TarviksApp::page(const QString &formName) const
{
    return m_window->page(formName);
}

void TarviksApp::registerCommands()
{
    m_queue->setStarter(Cmd::PoiskUstroistva, [this](QString &param) { m_link->PoiskUstroistva(param); });
    m_queue->setStarter(Cmd::TXconfigLoadParam, [this](QString &) { m_settings->TXconfigLoadParam(); });
    m_queue->setStarter(Cmd::TXconfigSaveParam, [this](QString &) { m_settings->TXconfigSaveParam(); });
    m_queue->setStarter(Cmd::ConfiguraciaReadProcess,
                        [this](QString &) { m_configExchange->ConfiguraciaReadProcess(); });
    m_queue->setStarter(Cmd::ConfiguraciaWriteProcess,
                        [this](QString &) { m_configExchange->ConfiguraciaWriteProcess(); });
    m_queue->setStarter(Cmd::MonitoringProcess, [this](QString &) { m_monitorExchange->MonitoringProcess(); });
}

void TarviksApp::wireSupervision()
{
    auto *configPage = qobject_cast<ConfigPage *>(page(QStringLiteral("RPF_17")));
    StatusSupervisor::Hooks hooks;
    hooks.configurationRead = [this] { return m_configExchange->ConfiguraciaProchitana; };
    hooks.setConfigurationRead = [this](bool read) { m_configExchange->ConfiguraciaProchitana = read; };
    hooks.refreshPages = [this] {
        for (const QString &form : kRefreshedPages)
            if (Page *p = page(form))
                p->Form_Activate();
    };
    auto *firmwarePage = qobject_cast<FirmwarePage *>(page(FirmwarePage::kFormName));
    hooks.activateOnline = [configPage, firmwarePage] {
        firmwarePage->applyVersionRule();
        configPage->setOnlineControlsEnabled(true);
    };
    hooks.deactivateOffline = [configPage, firmwarePage] {
        firmwarePage->disableButtons();
        configPage->setOnlineControlsEnabled(false);
    };
    hooks.clearVersions = [this] { m_deviceInfo->clearVersions(); };
    hooks.lockPages = [this](bool linkFree) { lockPages(linkFree); };
    hooks.unsavedEdits = [this] { return m_image->isChanged(); };
    wireMonitoring(hooks);
    m_supervisor->setHooks(std::move(hooks));
}

void TarviksApp::wireMonitoring(StatusSupervisor::Hooks &hooks)
{
    auto *monitorPage = qobject_cast<MonitorPage *>(page(MonitorPage::kFormName));
    auto *inputsPage = qobject_cast<InputsPage *>(page(InputsPage::kFormName));
    MonitorExchange::Hooks monitor;
    monitor.pageVisible = [monitorPage] { return monitorPage->isVisible(); };
    monitor.refreshInputs = [inputsPage] { inputsPage->Form_Activate(); };
    monitor.refreshDeviceInfo = [this] {
        if (Page *p = page(DeviceInfoPage::kFormName))
            p->Form_Activate();
    };
    monitor.inputCount = [this] { return m_deviceInfo->KolichestvoVhodov; };
    monitor.modelName = [this] { return m_deviceInfo->value(6); };
    monitor.thresholds = [inputsPage](int input, bool upper) { return inputsPage->thresholdText(input, upper); };
    // A request posted while the link is free starts now, not at the next supervision tick.
    monitor.startQueued = [this] { m_supervisor->tick(); };
    m_monitorExchange->setHooks(std::move(monitor));

    // The monitoring page follows the unit on and off line and re-checks its timer on every tick.
    hooks.activateOnline = [online = std::move(hooks.activateOnline), monitorPage] {
        if (online)
            online();
        monitorPage->setOnline(true);
    };
    hooks.deactivateOffline = [offline = std::move(hooks.deactivateOffline), monitorPage] {
        if (offline)
            offline();
        monitorPage->setOnline(false);
    };
    hooks.checkMonitoringButtons = [this] { m_monitorExchange->ProverkaKnopok(); };
}

void TarviksApp::lockPages(bool linkFree)
{
    // The tree and the monitoring page stay usable while an exchange holds the link; the status
    // strip takes no input and must stay readable, since it shows the progress of that exchange.
    for (QWidget *child : m_window->childWindows()) {
        if (child == m_tree || child == m_statusPanel || child->objectName() == QLatin1String("RPF_03"))
            continue;
        if (child->isEnabled() != linkFree)
            child->setEnabled(linkFree);
    }
    if (m_wizard && m_wizard->isEnabled() != linkFree)
        m_wizard->setEnabled(linkFree);
}

void TarviksApp::showWizard()
{
    if (!m_wizard) {
        m_wizard = new MasterForm;
        m_wizard->attachBelow(m_window.get());
    }
    m_wizard->show();
}

void TarviksApp::startUp(bool startTimers)
{
    m_supervisor->load();
    m_queue->setLinkFree(true);
    m_queue->post(Cmd::TXconfigLoadParam);
    m_link->UstroistvoName.clear();
    m_link->UstroistvoNameClear.clear();
    m_window->showPage(QStringLiteral("m02"));
    m_configExchange->ConfiguraciaProchitana = false;
    if (startTimers) {
        m_supervisor->timer().start();
        if (m_portWatch)
            m_portWatch->start();
    }
}

void TarviksApp::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_supervisor->timer().stop();
    if (m_portWatch)
        m_portWatch->stop();
    m_settings->TXconfigSaveParam();
    if (m_wizard)
        m_wizard->close();
    m_link->pollTimer().stop();
    if (m_link->isOpen())
        m_link->CloseUsbComPort();
}
