#include "link/RecordFile.h"
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>

RecordFile::RecordFile(const QString &path, DiskCalls calls) : m_path(path), m_calls(std::move(calls))
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSyncMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

RecordFile::~RecordFile()
{
    finish();
}

bool RecordFile::begin()
{
    const QFileInfo target(m_path);
    const QString folder = target.absolutePath();
    m_errno = 0;
    m_short = false;
    if (QFileInfo(folder).isDir()) {
        const qint64 room = m_room ? m_room(folder) : QStorageInfo(folder).bytesAvailable();
        if (room >= 0 && room < kMinimumRoom) {
            m_short = true;
            return false;
        }
    }
    m_file.setFileName(m_path);
    errno = 0;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        int systemError = errno;
        if (target.isDir())
            systemError = EISDIR;
        else if (!QFileInfo(folder).isDir())
            systemError = ENOENT;
        else if (systemError == 0)
            systemError = m_file.error() == QFileDevice::PermissionsError ? EACCES : EIO;
        return fail(systemError);
    }
    m_size = 0;
    m_lastSync = now();
    return true;
}

bool RecordFile::fail(int systemError)
{
    if (m_errno == 0)
        m_errno = systemError != 0 ? systemError : EIO;
    m_timer.stop();
    // What was written stays: a record cut short still holds every row before the failure.
    m_file.close();
    return false;
}

bool RecordFile::append(QByteArrayView bytes)
{
    if (!m_file.isOpen())
        return false;
    if (bytes.isEmpty())
        return true;
    if (const int systemError = m_calls.write(m_file.handle(), bytes); systemError != 0)
        return fail(systemError);
    m_size += bytes.size();
    written();
    return m_file.isOpen();
}

bool RecordFile::takeBack(qint64 bytes)
{
    if (!m_file.isOpen())
        return false;
    if (bytes <= 0)
        return true;
    m_size = qMax(qint64(0), m_size - bytes);
    errno = 0;
    if (!m_file.resize(m_size) || !m_file.seek(m_size))
        return fail(errno);
    written();
    return m_file.isOpen();
}

void RecordFile::written()
{
    m_dirty = true;
    if (now() - m_lastSync >= kSyncMs)
        sync();
    else if (!m_timer.isActive())
        m_timer.start();
}

void RecordFile::sync()
{
    m_lastSync = now();
    m_dirty = false;
    m_timer.stop();
    ++m_syncs;
    if (const int systemError = m_calls.sync(m_file.handle()); systemError != 0)
        fail(systemError);
}

void RecordFile::tick()
{
    if (m_file.isOpen() && m_dirty)
        sync();
}

bool RecordFile::finish()
{
    if (m_file.isOpen()) {
        if (m_dirty)
            sync();
        m_file.close();
    }
    return !failed();
}

QString RecordFile::reason() const
{
    return m_short ? kShortOfRoom : DiskCalls::reasonFor(m_errno);
}

QString RecordFile::errorText() const
{
    if (!failed())
        return QString();
    return kWriteError + QDir::toNativeSeparators(m_path) + QStringLiteral(": ") + reason() + QLatin1Char('.');
}
