#include "config/FileWriter.h"
#include "config/FileErrorNumber.h"
#include <QFileInfo>
#include <cerrno>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

// Why QSaveFile alone lost the user's file on a full disk: opened buffered, a file of less than
// Qt's 16 KiB buffer is only handed to the system inside commit(), by the flush in its close().
// That flush fails with ENOSPC, but commit() looks only at the errors of write() calls (its own
// writeError), ignores its sync as well, and renames the empty temporary file over the old one.
// So here the file is opened unbuffered, every byte goes to the system with its result checked,
// and it is synced to the disk, again checked, before commit() may rename it.

namespace {

// Writes everything or returns the system's error.
int writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
#ifdef Q_OS_WIN
        const int piece = size > (1 << 30) ? (1 << 30) : int(size);
        const int written = ::_write(fd, data, unsigned(piece));
#else
        const ssize_t written = ::write(fd, data, size_t(size));
#endif
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno != 0 ? errno : EIO;
        }
        if (written == 0)
            return ENOSPC;   // the system took nothing and gave no reason: no room
        data += written;
        size -= written;
    }
    return 0;
}

int syncToDisk(int fd)
{
#ifdef Q_OS_WIN
    return ::_commit(fd) == 0 ? 0 : errno;
#else
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        // A file system that cannot sync has nothing to lose on the way.
        if (errno == EINVAL || errno == ENOTSUP)
            return 0;
        return errno;
    }
    return 0;
#endif
}

}

FileWriter::SystemCalls FileWriter::systemCalls()
{
    return {[](int fd, QByteArrayView bytes) { return writeAll(fd, bytes.data(), bytes.size()); }, syncToDisk};
}

FileWriter::FileWriter(const QString &path, SystemCalls calls) : m_path(path), m_calls(std::move(calls))
{
}

FileWriter::~FileWriter() = default;

bool FileWriter::fail(int systemError)
{
    m_errno = systemError != 0 ? systemError : EIO;
    discard();
    return false;
}

void FileWriter::discard()
{
    if (!m_file)
        return;
    m_file->cancelWriting();
    // Deleting an uncommitted QSaveFile removes its temporary file.
    m_file.reset();
}

bool FileWriter::open()
{
    discard();
    m_errno = 0;
    m_openFailed = false;
    const QFileInfo target(m_path);
    m_targetExisted = target.exists();
    m_file = std::make_unique<QSaveFile>(m_path);
    errno = 0;
    if (m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    int systemError = errno;
    if (target.isDir())
        systemError = EISDIR;
    else if (!QFileInfo(target.absolutePath()).isDir())
        systemError = ENOENT;
    else if (target.exists() && !target.isWritable())
        systemError = EACCES;
    else if (systemError == 0)
        systemError = m_file->error() == QFileDevice::PermissionsError ? EACCES : EIO;
    m_openFailed = true;
    return fail(systemError);
}

bool FileWriter::write(QByteArrayView bytes)
{
    if (!m_file)
        return false;
    const int systemError = m_calls.write(m_file->handle(), bytes);
    return systemError == 0 || fail(systemError);
}

bool FileWriter::commit()
{
    if (!m_file)
        return false;
    if (const int systemError = m_calls.sync(m_file->handle()); systemError != 0)
        return fail(systemError);
    errno = 0;
    if (!m_file->commit()) {
        // The rename failed; QSaveFile has removed the new file.
        const int systemError = errno;
        m_file.reset();
        return fail(systemError);
    }
    m_file.reset();
    return true;
}

bool FileWriter::writeWhole(QByteArrayView bytes)
{
    return open() && write(bytes) && commit();
}

QString FileWriter::explanation() const
{
    QString text = reason();
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text + QStringLiteral(". ")
        + (m_targetExisted ? QStringLiteral("Прежний файл не изменён.") : QStringLiteral("Файл не создан."));
}

QString FileWriter::reasonFor(int systemError)
{
    switch (systemError) {
    case 0: return QString();
    case ENOSPC: return QStringLiteral("нет места на диске");
#ifdef EDQUOT
    case EDQUOT: return QStringLiteral("превышена дисковая квота");
#endif
    case EIO: return QStringLiteral("ошибка ввода-вывода на диске");
    case EACCES:
    case EPERM: return QStringLiteral("нет прав на запись");
    case EROFS: return QStringLiteral("диск доступен только для чтения");
    case ENOENT:
    case ENOTDIR: return QStringLiteral("папка не найдена");
    case EISDIR: return QStringLiteral("это папка, а не файл");
    case EFBIG: return QStringLiteral("файл слишком велик для этого диска");
    case ENAMETOOLONG: return QStringLiteral("слишком длинное имя файла");
    case EMFILE:
    case ENFILE: return QStringLiteral("открыто слишком много файлов");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("файл занят другой программой");
    default: return QStringLiteral("системная ошибка %1").arg(systemError);
    }
}

int FileWriter::classicNumberFor(int systemError)
{
    switch (systemError) {
    case 0: return 0;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return FileErrorNumber::kDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBUSY:
    case ETXTBSY: return FileErrorNumber::kPathFileAccessError;
    case ENOENT:
    case ENOTDIR: return FileErrorNumber::kPathNotFound;
    default: return FileErrorNumber::kDeviceIoError;
    }
}
