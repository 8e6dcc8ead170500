#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the built zorgel-sim for end-to-end tests: starts it on a folder, waits for its "ready"
// line (bounded, on process events), tells the link path and stops it again.
class SimProcess {
public:
    static constexpr int kReadyTimeoutMs = 10000;

    // $TARVIKS_BIN_DIR/zorgel-sim.
    static QString executable();

    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts `zorgel-sim --folder <folder> <extra>` and waits for "ready <link>". On failure the
    // reason (and whatever the simulator printed) is in errorText().
    bool start(const QString &folder, const QStringList &extraArguments = {});
    // SIGTERM and wait; the simulator removes its link on the way out.
    void stop();
    // Waits until the simulator ends by itself (e.g. after closing the line), bounded.
    bool waitForExit(int timeoutMs = kReadyTimeoutMs);
    // Waits for one more line on its standard output, e.g. "closed".
    QString waitForLine(int timeoutMs = kReadyTimeoutMs);

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    QString linkPath() const { return m_linkPath; }
    QString errorText() const { return m_error; }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_stdout;
    QString m_linkPath;
    QString m_error;
};
