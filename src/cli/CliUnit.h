#pragma once
#include "cli/UnitReport.h"
#include "link/PortProblem.h"
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "unit/UnitSession.h"

class ProgressReporter;

// The command line's side of one unit: identification on a given port, waiting for an exchange
// while the event loop runs the unit's pump, Ctrl+C, and the transfer's progress on the terminal.
// The unit itself is a UnitSession, wired as in the window; nothing here writes TX.cfg.
class CliUnit : public QObject {
    Q_OBJECT
public:
    enum class End { Finished, Interrupted };

    CliUnit(UnitSession &unit, ProgressReporter *progress, QObject *parent = nullptr);
    ~CliUnit() override;

    // The port given, or the last successful port followed by the listed ones, each once.
    QList<int> candidatePorts(std::optional<int> port) const;

    // One identification attempt; true when a unit answered and the link is "Активно".
    bool identify(int port);
    // Why the last attempt found nothing, e.g. "Com3 = /dev/ttyUSB2: Error 8010, нет прав на доступ к
    // порту: Permission denied.", or "Com1 = /dev/pts/3: нет ответа на запрос опознания.".
    QString lastPortProblem() const { return m_lastOutcome.problem; }
    // What to do about it (close the other program, join dialout, link another adapter); may be empty.
    QString lastPortAdvice() const { return m_lastOutcome.advice; }
    PortProblem::Kind lastPortFault() const { return m_lastOutcome.fault; }
    // Runs the receive pump until the operation tag is no longer `tag`, or Ctrl+C.
    End waitWhileTag(const QString &tag);
    // Lets the event loop run for ms milliseconds, or until Ctrl+C.
    End pause(int ms);
    // Stops whatever exchange runs and closes the port; the unit drops an unfinished write.
    void abort();
    void close();
    // Progress of transfers on standard error; monitoring turns it off.
    void setProgressShown(bool shown) { m_progressShown = shown; }

    UnitSession &unit() { return m_unit; }
    SerialLink &link() { return m_unit.link(); }
    StatusModel &status() { return m_unit.status(); }
    ConfigImage &image() { return m_unit.image(); }
    ConfigExchange &configExchange() { return m_unit.configExchange(); }
    ConfigFiles &configFiles() { return m_unit.configFiles(); }
    ConfigFileTransfer &configTransfer() { return m_unit.configTransfer(); }
    DeviceInfo &deviceInfo() { return m_unit.deviceInfo(); }
    FirmwareExchange &firmware() { return m_unit.firmwareExchange(); }
    MonitorExchange &monitor() { return m_unit.monitorExchange(); }
    CommandQueue &queue() { return m_unit.queue(); }
    MessageSink &messages() { return m_unit.messages(); }
    QString programFolder() const { return m_unit.programFolder(); }

private:
    void showProgress();
    // Opens the port and reads until the line falls quiet, within a bound.
    void drainUntilQuiet(const QString &number);

    UnitSession &m_unit;
    ProgressReporter *m_progress;
    UnitReport::PortOutcome m_lastOutcome;
    bool m_progressShown = true;
};
