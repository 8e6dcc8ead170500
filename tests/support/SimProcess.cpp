#include "SimProcess.h"
#include <QDeadlineTimer>
#include <QDir>
#include <QProcessEnvironment>

QString SimProcess::executable()
{
    const QString dir = QProcessEnvironment::systemEnvironment().value(QStringLiteral("TARVIKS_BIN_DIR"));
    return QDir(dir.isEmpty() ? QStringLiteral(".") : dir).filePath(QStringLiteral("zorgel-sim"));
}

SimProcess::~SimProcess()
{
    stop();
}

QString SimProcess::waitForLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_stdout += m_process.readAllStandardOutput();
        const int end = m_stdout.indexOf('\n');
        if (end >= 0) {
            const QString line = QString::fromLocal8Bit(m_stdout.left(end)).trimmed();
            m_stdout.remove(0, end + 1);
            return line;
        }
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
            return {};
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    }
}

bool SimProcess::start(const QString &folder, const QStringList &extraArguments)
{
    stop();
    m_error.clear();
    m_linkPath.clear();
    m_stdout.clear();
    m_process.start(executable(), QStringList{QStringLiteral("--folder"), folder} + extraArguments);
    if (!m_process.waitForStarted(kReadyTimeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(executable(), m_process.errorString());
        return false;
    }
    const QString line = waitForLine(kReadyTimeoutMs);
    if (!line.startsWith(QLatin1String("ready "))) {
        m_error = QStringLiteral("no ready line (got \"%1\"); stderr: %2")
                      .arg(line, QString::fromLocal8Bit(m_process.readAllStandardError()));
        stop();
        return false;
    }
    m_linkPath = line.mid(6);
    return true;
}

bool SimProcess::waitForExit(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    return m_process.waitForFinished(timeoutMs);
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kReadyTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(kReadyTimeoutMs);
    }
}
