#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "link/StatusSupervisor.h"
#include "shell/MasterForm.h"
#include "unit/UnitSession.h"

class SerialDeviceList;
class PortNumbering;
class PortFactory;
class PortWatch;
class SerialPage;
class ProgramOptions;
class MainWindow;
class LeftMenu;
class StatusPanel;
class Page;
class FirmwareOperations;
class ChoiceDialogs;
class WindowOperations;

// What the application is built from; null members get the real implementations.
struct AppSetup {
    QString programFolder;
    SerialPort *port = nullptr;
    MessageSink *messages = nullptr;
    FileDialogs *dialogs = nullptr;
    Clock *clock = nullptr;
    // The system's serial devices; null: the real list with the real port, none with a given one.
    SerialDeviceList *devices = nullptr;
    // The list a kept copy is chosen from; null: the real one.
    ChoiceDialogs *choices = nullptr;
};

// The window's composition root: owns the program settings, one unit and the windows over it,
// runs start-up and shutdown in their fixed order, and is the only writer of TX.cfg.
class TarviksApp : public QObject {
    Q_OBJECT
public:
    explicit TarviksApp(const AppSetup &setup, QObject *parent = nullptr);
    ~TarviksApp() override;

    // Start-up after the windows exist: frees the link, queues the settings load, shows the serial
    // page; with startTimers the supervision runs on its own (tests call the ticks instead).
    void startUp(bool startTimers = true);
    // Saves the program settings, closes the wizard and the port.
    void shutDown();

    MainWindow &window() { return *m_window; }
    LeftMenu &tree() { return *m_tree; }
    StatusPanel &statusPanel() { return *m_statusPanel; }
    Page *page(const QString &formName) const;
    MasterForm *wizard() const { return m_wizard; }

    UnitSession &unit() { return *m_unit; }
    SerialPort &port() { return m_unit->port(); }
    PortNumbering &numbering();
    // Null when no device list is watched.
    PortWatch *portWatch() { return m_portWatch.get(); }
    MessageSink &messages() { return *m_messages; }
    CommandQueue &queue() { return m_unit->queue(); }
    StatusModel &status() { return m_unit->status(); }
    SerialLink &link() { return m_unit->link(); }
    ProgramOptions &options() { return *m_options; }
    ProgramSettings &settings() { return *m_settings; }
    StatusSupervisor &supervisor() { return m_unit->supervisor(); }
    ConfigImage &image() { return m_unit->image(); }
    ConfigExchange &configExchange() { return m_unit->configExchange(); }
    ConfigFiles &configFiles() { return m_unit->configFiles(); }
    ConfigFileTransfer &configTransfer() { return m_unit->configTransfer(); }
    DeviceInfo &deviceInfo() { return m_unit->deviceInfo(); }
    FirmwareExchange &firmwareExchange() { return m_unit->firmwareExchange(); }
    MonitorExchange &monitorExchange() { return m_unit->monitorExchange(); }
    WindowOperations &operations() { return *m_operations; }

private:
    void registerSettingsCommands();
    void wirePages();
    void showWizard();
    void lockPages(bool linkFree);
    void wirePortWatch(SerialDeviceList *devices, SerialPage *serialPage);
    // A save button: the unit's choices and the options into TX.cfg.
    void saveByUser();

    // Defaults for what the setup left open.
    std::unique_ptr<PortFactory> m_ports;   // before the port, which resolves through its numbering
    std::unique_ptr<SerialDeviceList> m_ownDevices;
    std::unique_ptr<SerialPort> m_ownPort;
    std::unique_ptr<MessageSink> m_ownMessages;
    std::unique_ptr<FileDialogs> m_ownDialogs;
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<ChoiceDialogs> m_ownChoices;
    MessageSink *m_messages;
    FileDialogs *m_dialogs;
    Clock *m_clock;

    std::unique_ptr<ProgramOptions> m_options;
    std::unique_ptr<ProgramSettings> m_settings;
    std::unique_ptr<UnitSession> m_unit;
    std::unique_ptr<FirmwareOperations> m_firmwareOperations;   // what the firmware page starts
    std::unique_ptr<PortWatch> m_portWatch;
    std::unique_ptr<WindowOperations> m_operations;

    // Widgets go first on destruction: they refer to everything above.
    std::unique_ptr<MainWindow> m_window;
    LeftMenu *m_tree = nullptr;
    StatusPanel *m_statusPanel = nullptr;
    QPointer<MasterForm> m_wizard;
    bool m_shutDown = false;
};
