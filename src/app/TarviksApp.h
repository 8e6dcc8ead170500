#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class SerialPort;
class SerialDeviceList;
class PortNumbering;
class PortWatch;
class SerialPage;
class MessageSink;
class FileDialogs;
class Clock;
class CommandQueue;
class StatusModel;
class SerialLink;
class ProgramOptions;
class ProgramSettings;
class StatusSupervisor;
class ConfigImage;
class ConfigExchange;
class ConfigFiles;
class ConfigFileTransfer;
class DeviceInfo;
class FirmwareExchange;
class MonitorExchange;
class MainWindow;
class LeftMenu;
class StatusPanel;
#include "link/StatusSupervisor.h"
#include "shell/MasterForm.h"
class Page;

// What the application is built from; null members get the real implementations.
struct AppSetup {
    QString programFolder;
    SerialPort *port = nullptr;
    MessageSink *messages = nullptr;
    FileDialogs *dialogs = nullptr;
    Clock *clock = nullptr;
    // The system's serial devices; null: the real list with the real port, none with a given one.
    SerialDeviceList *devices = nullptr;
};

// The composition root: owns every part of the program, wires the command queue, the receive
// handlers and the supervision hooks, and runs start-up and shutdown in their fixed order.
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

    SerialPort &port() { return *m_port; }
    PortNumbering &numbering() { return *m_numbering; }
    // Null when no device list is watched.
    PortWatch *portWatch() { return m_portWatch.get(); }
    MessageSink &messages() { return *m_messages; }
    CommandQueue &queue() { return *m_queue; }
    StatusModel &status() { return *m_status; }
    SerialLink &link() { return *m_link; }
    ProgramOptions &options() { return *m_options; }
    ProgramSettings &settings() { return *m_settings; }
    StatusSupervisor &supervisor() { return *m_supervisor; }
    ConfigImage &image() { return *m_image; }
    ConfigExchange &configExchange() { return *m_configExchange; }
    ConfigFiles &configFiles() { return *m_configFiles; }
    ConfigFileTransfer &configTransfer() { return *m_configTransfer; }
    DeviceInfo &deviceInfo() { return *m_deviceInfo; }
    FirmwareExchange &firmwareExchange() { return *m_firmwareExchange; }
    MonitorExchange &monitorExchange() { return *m_monitorExchange; }

private:
    void registerCommands();
    void wireSupervision();
    void wireMonitoring(StatusSupervisor::Hooks &hooks);
    void showWizard();
    void lockPages(bool linkFree);
    void wirePortWatch(SerialDeviceList *devices, SerialPage *serialPage);

    // Defaults for what the setup left open.
    std::unique_ptr<PortNumbering> m_numbering;   // before the port, which resolves through it
    std::unique_ptr<SerialDeviceList> m_ownDevices;
    std::unique_ptr<SerialPort> m_ownPort;
    std::unique_ptr<MessageSink> m_ownMessages;
    std::unique_ptr<FileDialogs> m_ownDialogs;
    std::unique_ptr<Clock> m_ownClock;
    SerialPort *m_port;
    MessageSink *m_messages;
    FileDialogs *m_dialogs;
    Clock *m_clock;

    std::unique_ptr<StatusModel> m_status;
    std::unique_ptr<CommandQueue> m_queue;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<ProgramOptions> m_options;
    std::unique_ptr<ProgramSettings> m_settings;
    std::unique_ptr<StatusSupervisor> m_supervisor;
    std::unique_ptr<ConfigImage> m_image;   // MassivKonfiguracii
    std::unique_ptr<ConfigExchange> m_configExchange;
    std::unique_ptr<ConfigFiles> m_configFiles;
    std::unique_ptr<ConfigFileTransfer> m_configTransfer;
    std::unique_ptr<DeviceInfo> m_deviceInfo;
    std::unique_ptr<FirmwareExchange> m_firmwareExchange;
    std::unique_ptr<MonitorExchange> m_monitorExchange;
    std::unique_ptr<PortWatch> m_portWatch;

    // Widgets go first on destruction: they refer to everything above.
    std::unique_ptr<MainWindow> m_window;
    LeftMenu *m_tree = nullptr;
    StatusPanel *m_statusPanel = nullptr;
    QPointer<MasterForm> m_wizard;
    bool m_shutDown = false;
};
