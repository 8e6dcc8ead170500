#include "link/DiskCalls.h"
#include <cerrno>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

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

DiskCalls DiskCalls::system()
{
    return {[](int fd, QByteArrayView bytes) { return writeAll(fd, bytes.data(), bytes.size()); }, syncToDisk};
}

QString DiskCalls::reasonFor(int systemError)
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
