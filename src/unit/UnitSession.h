#pragma once
#include "settings/ProgramSettings.h"
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class SerialPort;
class MessageSink;
class FileDialogs;
class Clock;
class CommandQueue;
class StatusModel;
class UnitSettings;
class SerialLink;
class StatusSupervisor;
class ConfigImage;
class ConfigExchange;
class ConfigFiles;
class ConfigFileTransfer;
class DeviceInfo;
class FirmwareExchange;
class MonitorExchange;
class ConfigBackups;
class UnitBackups;
class PortFactory;
class UnitSwap;

// Everything a connection to one unit needs, without widgets: the port, its queue and receive
// pump, the status and its supervision, the configuration image, the exchanges and the device
// information. The window builds one and adds its pages; the command line builds one per unit.
// Borrowed, never owned: the program settings (read only here), the message sink, the file
// dialogs and the clock. What a face shows is told through the signals below, each from its unit.
class UnitSession : public QObject {
    Q_OBJECT
public:
    struct Borrowed {
        ProgramSettings &settings;
        MessageSink &messages;
        FileDialogs &dialogs;
        Clock &clock;
    };

    // A port of the caller's (tests, a simulated line): borrowed.
    UnitSession(const QString &programFolder, SerialPort *port, const Borrowed &borrowed, QObject *parent = nullptr);
    // A real port made by the process's one factory, so it resolves its number as every other does.
    UnitSession(PortFactory &ports, const Borrowed &borrowed, QObject *parent = nullptr);
    ~UnitSession() override;
    UnitSession(const UnitSession &) = delete;
    UnitSession &operator=(const UnitSession &) = delete;

    // Frees the link, empties the progress and the device name, marks the configuration unread;
    // with timers the supervision runs on its own (tests call the ticks instead).
    void start(bool timers);
    // Stops the supervision and the receive pump and closes the port.
    void stop();
    // Stops whatever exchange runs, with no final state, and closes the port; a unit drops an
    // unfinished write after its own quiet time.
    void abort();
    // A job is done with the unit: the command line closes its port; the window keeps its unit
    // connected and supervised.
    void release();

    // The exchange running now, or the final state of the last one (the link's operation tag).
    QString exchangeTag() const;
    // Whether an exchange is in progress.
    bool exchangeRunning() const;
    // The end of the exchange just started is told by exchangeEnded, also when it ends before the
    // pump's next tick shows it.
    void followExchange() { followTag(); }
    // Between ticks of a running event loop: an exchange whose pump stopped would never end, so
    // it ends here with its tag unchanged.
    void checkStalled();
    // Work on the settings file: the link is held and both timers paused meanwhile, as the settings
    // load and save have always done, so no tick runs while a message about the file is shown.
    void whileSettingsFileInUse(const std::function<void()> &work);

    // The program settings' values as this unit's choices, and its automatic search as the file
    // asks. Run on every load; a unit made after the load gets them when it is made.
    static void applySettings(const ProgramSettings &settings, SerialLink &link, StatusSupervisor &supervisor);
    // This unit's choices as a settings refresh takes them.
    ProgramSettings::Choice choice() const;
    // This unit only, for this run: the speed given (the command line's --speed).
    void overrideSpeed(int speed);
    // A supervised unit (the window's) runs a supervision tick when a monitoring request is posted
    // while the link is free, so it starts at once; an unsupervised one starts a lone request itself.
    void setSupervised(bool supervised);
    bool supervised() const { return m_supervised; }
    // Whether the monitoring display wants polls (the window: its page is shown).
    void setMonitoringWanted(std::function<bool()> wanted) { m_monitoringWanted = std::move(wanted); }

    QString programFolder() const { return m_folder; }
    ProgramSettings &settings() { return m_settings; }
    MessageSink &messages() { return m_messages; }
    FileDialogs &dialogs() { return m_dialogs; }
    Clock &clock() { return m_clock; }
    SerialPort &port() { return *m_port; }
    StatusModel &status() { return *m_status; }
    CommandQueue &queue() { return *m_queue; }
    UnitSettings &choices() { return *m_choices; }
    SerialLink &link() { return *m_link; }
    StatusSupervisor &supervisor() { return *m_supervisor; }
    ConfigImage &image() { return *m_image; }
    ConfigExchange &configExchange() { return *m_configExchange; }
    ConfigFiles &configFiles() { return *m_configFiles; }
    ConfigFileTransfer &configTransfer() { return *m_configTransfer; }
    DeviceInfo &deviceInfo() { return *m_deviceInfo; }
    FirmwareExchange &firmwareExchange() { return *m_firmwareExchange; }
    MonitorExchange &monitorExchange() { return *m_monitorExchange; }
    ConfigBackups &backupStore() { return *m_backupStore; }
    UnitBackups &backups() { return *m_backups; }
    // A supervised unit (the window's) keeps each unit's data to that unit when another answers.
    UnitSwap &swap() { return *m_swap; }

signals:
    // A unit came on line (identified) or went off line (port closed).
    void onlineChanged(bool online);
    // Every supervision tick: whether the link is free, so a face can lock what needs it.
    void linkFreeChecked(bool linkFree);
    // A configuration read ended: what shows the image is to be refilled.
    void pagesStale();
    // A configuration read failed: the settings pages are to show what the image holds now.
    void settingsPagesStale();
    // The monitoring display refilled what the inputs and device information show.
    void inputsStale();
    void deviceInfoStale();
    // A unit has just answered on this unit's port.
    void identified();
    // The exchange in progress ended: tag is its final state (empty when the port closed under it,
    // or the in-progress tag itself when its pump stopped).
    void exchangeEnded(const QString &tag);

private:
    void wireCommands();
    void wireSupervision();
    void wireMonitoring();
    void followOptions();
    void wireBackups();
    void build();
    void followTag();
    void unitIdentified();

    QString m_folder;
    ProgramSettings &m_settings;
    MessageSink &m_messages;
    FileDialogs &m_dialogs;
    Clock &m_clock;
    std::function<bool()> m_monitoringWanted;
    bool m_supervised = false;
    QString m_followed;   // the tag last seen in progress

    // In the order they depend on each other; they die in reverse, after the port is closed.
    std::unique_ptr<SerialPort> m_ownPort;
    SerialPort *m_port;
    std::unique_ptr<StatusModel> m_status;
    std::unique_ptr<CommandQueue> m_queue;
    std::unique_ptr<UnitSettings> m_choices;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<StatusSupervisor> m_supervisor;
    std::unique_ptr<ConfigImage> m_image;   // MassivKonfiguracii
    std::unique_ptr<ConfigExchange> m_configExchange;
    std::unique_ptr<ConfigFiles> m_configFiles;
    std::unique_ptr<ConfigFileTransfer> m_configTransfer;
    std::unique_ptr<DeviceInfo> m_deviceInfo;
    std::unique_ptr<MonitorExchange> m_monitorExchange;
    std::unique_ptr<FirmwareExchange> m_firmwareExchange;
    std::unique_ptr<ConfigBackups> m_backupStore;
    std::unique_ptr<UnitBackups> m_backups;
    std::unique_ptr<UnitSwap> m_swap;
};
