#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class SerialPort;
class MessageSink;
class FileDialogs;
class Clock;
class CommandQueue;
class StatusModel;
class SerialLink;
class ProgramOptions;
class ProgramSettings;
class ConfigImage;
class ConfigExchange;
class ConfigFiles;
class ConfigFileTransfer;
class DeviceInfo;
class FirmwareExchange;
class MonitorExchange;
class ProgressReporter;

// The window's link and exchange classes composed without widgets, driven by the same 50 ms
// receive pump from the event loop of a QCoreApplication. Nothing here writes TX.cfg.
class CliSession : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString programFolder;
        SerialPort *port = nullptr;     // null: the real serial port
        MessageSink *messages = nullptr;
        FileDialogs *dialogs = nullptr;
        ProgressReporter *progress = nullptr;
    };
    enum class End { Finished, Interrupted };

    explicit CliSession(const Setup &setup, QObject *parent = nullptr);
    ~CliSession() override;

    // Reads TX.cfg as the window does; a given speed replaces the file's choice for this run only.
    void loadSettings(std::optional<int> speed);
    // The port given, or the last successful port followed by the listed ones, each once.
    QList<int> candidatePorts(std::optional<int> port) const;

    // One identification attempt; true when a unit answered and the link is "Активно".
    bool identify(int port);
    // Why the last attempt found nothing, e.g. "Com3 Error 8010 (Permission denied)"; empty when silent.
    QString lastPortProblem() const { return m_lastPortProblem; }
    // Runs the receive pump until the operation tag is no longer `tag`, or Ctrl+C.
    End waitWhileTag(const QString &tag);
    // Lets the event loop run for ms milliseconds, or until Ctrl+C.
    End pause(int ms);
    // Stops whatever exchange runs and closes the port; the unit drops an unfinished write.
    void abort();
    void close();
    // Progress of transfers on standard error; monitoring turns it off.
    void setProgressShown(bool shown) { m_progressShown = shown; }

    SerialLink &link() { return *m_link; }
    StatusModel &status() { return *m_status; }
    ConfigImage &image() { return *m_image; }
    ConfigExchange &configExchange() { return *m_configExchange; }
    ConfigFiles &configFiles() { return *m_configFiles; }
    ConfigFileTransfer &configTransfer() { return *m_configTransfer; }
    DeviceInfo &deviceInfo() { return *m_deviceInfo; }
    FirmwareExchange &firmware() { return *m_firmware; }
    MonitorExchange &monitor() { return *m_monitor; }
    CommandQueue &queue() { return *m_queue; }
    MessageSink &messages() { return *m_messages; }
    QString programFolder() const { return m_programFolder; }

private:
    void showProgress();

    QString m_programFolder;
    std::unique_ptr<SerialPort> m_ownPort;
    std::unique_ptr<Clock> m_clock;
    SerialPort *m_port;
    MessageSink *m_messages;
    FileDialogs *m_dialogs;
    ProgressReporter *m_progress;

    std::unique_ptr<StatusModel> m_status;
    std::unique_ptr<CommandQueue> m_queue;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<ProgramOptions> m_options;
    std::unique_ptr<ProgramSettings> m_settings;
    std::unique_ptr<ConfigImage> m_image;
    std::unique_ptr<ConfigExchange> m_configExchange;
    std::unique_ptr<ConfigFiles> m_configFiles;
    std::unique_ptr<ConfigFileTransfer> m_configTransfer;
    std::unique_ptr<DeviceInfo> m_deviceInfo;
    std::unique_ptr<FirmwareExchange> m_firmware;
    std::unique_ptr<MonitorExchange> m_monitor;
    QString m_lastPortProblem;
    bool m_progressShown = true;
};
