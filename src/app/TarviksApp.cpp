#include "app/TarviksApp.h"
#include "app/CommissioningReportAction.h"
#include <QAction>

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
#include "link/SerialPort.h"
#include "unit/PortFactory.h"
#include "link/PortWatch.h"
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
#include "link/ShownText.h"
#include "shell/Clock.h"
#include "shell/GeneralInfoPage.h"
#include "shell/LeftMenu.h"
#include "shell/MainWindow.h"
#include "shell/MasterForm.h"
#include "shell/QtFileDialogs.h"
#include "unit/ModelCheck.h"
#include "unit/UnitBackups.h"
#include "unit/UnitFirmwareOperations.h"
#include "shell/QtChoiceDialogs.h"
#include "unit/WindowOperations.h"

#include <QCoreApplication>

namespace {
// Pages refilled after a configuration read, in this order.
const QStringList kRefreshedPages = {QStringLiteral("RPF_05"), QStringLiteral("RPF_07"), QStringLiteral("RPF_08"),
                                     QStringLiteral("RPF_10"), QStringLiteral("RPF_11"), QStringLiteral("RPF_03"),
                                     QStringLiteral("RPF_04")};
}

PortNumbering &TarviksApp::numbering()
{
    return m_ports->numbering();
}

TarviksApp::TarviksApp(const AppSetup &setup, QObject *parent) : QObject(parent)
{
    const QString folder = setup.programFolder;
    auto *boxes = setup.messages ? nullptr : new BoxMessageSink;
    auto *dialogs = setup.dialogs ? nullptr : new QtFileDialogs;
    m_ports = std::make_unique<PortFactory>(folder);
    if (!setup.port)
        m_ownPort = m_ports->make();
    SerialDeviceList *devices = setup.devices;
    if (!devices && !setup.port) {
        m_ownDevices = std::make_unique<QtSerialDeviceList>();
        devices = m_ownDevices.get();
    }
    if (boxes) {
        boxes->setShown(&ShownText::escapedLines);
        m_ownMessages.reset(boxes);
    }
    if (dialogs)
        m_ownDialogs.reset(dialogs);
    if (!setup.clock)
        m_ownClock = std::make_unique<SystemClock>();
    m_messages = setup.messages ? setup.messages : m_ownMessages.get();
    m_dialogs = setup.dialogs ? setup.dialogs : m_ownDialogs.get();
    m_clock = setup.clock ? setup.clock : m_ownClock.get();

    // Settings first, the unit over them, the windows over the unit; they go in reverse.
    m_options = std::make_unique<ProgramOptions>();
    m_settings = std::make_unique<ProgramSettings>(folder + QStringLiteral("/Service/TX.cfg"), *m_options,
                                                   *m_messages);
    m_unit = std::make_unique<UnitSession>(folder, setup.port ? setup.port : m_ownPort.get(),
                                           UnitSession::Borrowed{*m_settings, *m_messages, *m_dialogs, *m_clock});
    SerialLink &link = m_unit->link();
    m_firmwareOperations = std::make_unique<UnitFirmwareOperations>(*m_unit);
    auto *choices = setup.choices ? nullptr : new QtChoiceDialogs;
    m_ownChoices.reset(choices);
    m_operations = std::make_unique<WindowOperations>(*m_unit, setup.choices ? *setup.choices : *choices);

    // Child windows, created once and kept until the end.
    m_window = std::make_unique<MainWindow>();
    if (boxes)
        boxes->setParent(m_window.get());
    if (dialogs)
        dialogs->setParent(m_window.get());
    if (choices)
        choices->setParent(m_window.get());
    m_tree = new LeftMenu;
    m_statusPanel = new StatusPanel(status());
    m_window->addChildWindow(m_tree);
    m_window->addChildWindow(m_statusPanel);
    SerialPage *serialPage = nullptr;
    for (const MainWindow::PageInfo &info : MainWindow::pageTable()) {
        Page *page = nullptr;
        if (info.form == QLatin1String("RPF_01"))
            page = new GeneralInfoPage;
        else if (info.form == QLatin1String("RPF_02"))
            page = serialPage = new SerialPage(link);
        else if (info.form == QLatin1String("RPF_05"))
            page = new DeviceInfoPage(deviceInfo());
        else if (info.form == QLatin1String("RPF_17"))
            page = new ConfigPage(configExchange(), configFiles(), configTransfer(), *m_operations, status(),
                                  *m_messages);
        else if (info.form == BasicSettingsPage::kFormName)
            page = new BasicSettingsPage(image(), *m_messages);
        else if (info.form == SimSettingsPage::kFormName)
            page = new SimSettingsPage(image(), *m_messages);
        else if (info.form == DistributionListPage::kFormName)
            page = new DistributionListPage;
        else if (info.form == InputsPage::kFormName)
            page = new InputsPage(image(), *m_messages);
        else if (info.form == MonitorPage::kFormName)
            page = new MonitorPage(monitorExchange(), *m_dialogs, folder);
        else if (info.form == QLatin1String("RPF_19"))
            page = new SettingsPage(*m_options);
        else if (info.form == FirmwarePage::kFormName)
            page = new FirmwarePage(firmwareExchange(), *m_firmwareOperations, deviceInfo(), link, status(),
                                    *m_messages, *m_dialogs, *m_clock, folder);
        else
            page = new Page(info.form, info.caption);
        m_window->addChildWindow(page);
    }
    m_window->normaliseFonts();
    connect(m_tree, &LeftMenu::pageRequested, m_window.get(), &MainWindow::showPage);
    connect(m_window.get(), &MainWindow::restoreRequested, m_operations.get(), &WindowOperations::restore);
    connect(m_operations.get(), &WindowOperations::busyChanged, this, [this](bool busy) { lockPages(!busy); });
    // Unwritten edits and a running transfer are not dropped without a question. The window owns
    // the guard; it goes before everything the guard refers to.
    auto closeGuard = std::make_shared<CloseGuard>(link, image(), status(), *m_messages, [this] { shutDown(); });
    m_window->setCloseGuard([closeGuard] { return closeGuard->mayClose(); });
    // Closing the main window ends the program, also while the wizard, a window of its own, is open.
    connect(m_window.get(), &MainWindow::closing, this, [this] {
        shutDown();
        QCoreApplication::quit();
    });

    // The report only reads the unit and the pages; it lives as long as the application.
    auto *report = new CommissioningReportAction(*m_unit, folder, this);
    connect(m_window->menuItem(QStringLiteral("mReport")), &QAction::triggered, report, &CommissioningReportAction::run);
    connect(m_operations.get(), &WindowOperations::readBackChecked, report, &CommissioningReportAction::setReadBack);

    registerSettingsCommands();
    wirePages();
    wirePortWatch(devices, serialPage);
}

void TarviksApp::wirePortWatch(SerialDeviceList *devices, SerialPage *serialPage)
{
    if (devices) {
        m_portWatch = std::make_unique<PortWatch>(*devices, m_ports->numbering());
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
            return m_ports->numbering().toolTip(number, m_portWatch ? m_portWatch->devices() : QList<SerialDevice>{});
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

void TarviksApp::registerSettingsCommands()
{
    // TX.cfg is the window's: its load and save run through the unit's queue, at the times the
    // program has always run them.
    m_unit->queue().setStarter(Cmd::TXconfigLoadParam, [this](QString &) {
        m_unit->whileSettingsFileInUse([this] { m_settings->TXconfigLoadParam(); });
        if (m_settings->wizardAtStart())
            showWizard();
    });
    m_unit->queue().setStarter(Cmd::TXconfigSaveParam, [this](QString &) {
        m_unit->whileSettingsFileInUse([this] { m_settings->TXconfigSaveParam(); });
    });
    // A unit that has just answered: its port becomes the remembered one.
    connect(m_unit.get(), &UnitSession::identified, this, [this] {
        m_settings->TXconfigUpdateParam(m_unit->choice());
        m_unit->queue().post(Cmd::TXconfigSaveParam);
    });
    // "Однократный автоматический поиск…" ticked or unticked takes effect at once.
    connect(m_options.get(), &ProgramOptions::clicked, this, [this](int check) {
        if (check == ProgramOptions::AutomaticSearch)
            supervisor().Avtopoisk = m_options->isChecked(ProgramOptions::AutomaticSearch);
    });
}

void TarviksApp::saveByUser()
{
    bool saved = false;
    m_unit->whileSettingsFileInUse([this, &saved] { saved = m_settings->saveByUser(m_unit->choice()); });
    // Nothing was written: the buttons stay offered, as the changes are still unsaved.
    if (!saved) {
        m_options->setSaveEnabled(true);
        if (auto *serialPage = qobject_cast<SerialPage *>(page(QStringLiteral("RPF_02"))))
            serialPage->setSaveEnabled(true);
    }
}

void TarviksApp::wirePages()
{
    auto *serialPage = qobject_cast<SerialPage *>(page(QStringLiteral("RPF_02")));
    connect(serialPage, &SerialPage::autoSearchRequested, this, [this] { supervisor().searchFromFirstPort(); });
    connect(serialPage, &SerialPage::closedByUser, this, [this](bool closed) {
        if (closed)
            supervisor().closeByUser();
        else
            supervisor().closedByUser = false;
    });
    connect(serialPage, &SerialPage::saveRequested, this, &TarviksApp::saveByUser);
    connect(qobject_cast<SettingsPage *>(page(QStringLiteral("RPF_19"))), &SettingsPage::saveRequested, this,
            &TarviksApp::saveByUser);

    auto *configPage = qobject_cast<ConfigPage *>(page(QStringLiteral("RPF_17")));
    auto *firmwarePage = qobject_cast<FirmwarePage *>(page(FirmwarePage::kFormName));
    auto *monitorPage = qobject_cast<MonitorPage *>(page(MonitorPage::kFormName));
    connect(m_unit.get(), &UnitSession::onlineChanged, this, [configPage, firmwarePage, monitorPage](bool online) {
        if (online)
            firmwarePage->applyVersionRule();
        else
            firmwarePage->disableButtons();
        configPage->setOnlineControlsEnabled(online);
        monitorPage->setOnline(online);
    });
    connect(m_unit.get(), &UnitSession::pagesStale, this, [this] {
        for (const QString &form : kRefreshedPages)
            if (Page *p = page(form))
                p->Form_Activate();
    });
    // After a failed read only the pages that show the image: the others would empty the byte
    // counter that tells what came.
    connect(m_unit.get(), &UnitSession::settingsPagesStale, this, [this] {
        for (const QString &form : kRefreshedPages)
            if (Page *p = page(form); p && form != MonitorPage::kFormName && form != FirmwarePage::kFormName)
                p->Form_Activate();
    });
    connect(m_unit.get(), &UnitSession::linkFreeChecked, this, &TarviksApp::lockPages);
    connect(m_unit.get(), &UnitSession::inputsStale, this, [this] {
        if (Page *p = page(InputsPage::kFormName))
            p->Form_Activate();
    });
    // A unit found again (after a failed flash, say) gets its firmware buttons back at once.
    connect(m_unit.get(), &UnitSession::identified, firmwarePage, &FirmwarePage::applyVersionRule);
    connect(m_unit.get(), &UnitSession::deviceInfoStale, this, [this] {
        if (Page *p = page(DeviceInfoPage::kFormName))
            p->Form_Activate();
    });
    m_unit->setMonitoringWanted([monitorPage] { return monitorPage->isVisible(); });
    // The window supervises its unit: a monitoring request posted while the link is free starts now.
    m_unit->setSupervised(true);
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
    m_unit->start(false);
    m_unit->queue().post(Cmd::TXconfigLoadParam);
    m_window->showPage(QStringLiteral("m02"));
    if (startTimers) {
        supervisor().timer().start();
        if (m_portWatch)
            m_portWatch->start();
    }
}

void TarviksApp::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    supervisor().timer().stop();
    if (m_portWatch)
        m_portWatch->stop();
    m_settings->TXconfigSaveParam();
    if (m_wizard)
        m_wizard->close();
    m_unit->stop();
}
