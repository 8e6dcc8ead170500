#pragma once
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <sys/statvfs.h>

// A file system of its own, small enough to fill: a tmpfs mounted over a temporary folder. Mounting
// needs root (as in CI); where it is not allowed, mounted stays false and the test skips.
struct SmallDisk {
    QTemporaryDir dir;
    bool mounted = false;

    explicit SmallDisk(int kibibytes)
    {
        const QByteArray size = "size=" + QByteArray::number(kibibytes) + 'k';
        mounted = dir.isValid()
            && ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, size.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    QString path(const QString &name) const { return dir.filePath(name); }
    // Takes up all the room but `room` bytes (whole pages) with a file "filler".
    bool leaveRoom(qint64 room)
    {
        struct statvfs info {};
        if (::statvfs(QFile::encodeName(dir.path()).constData(), &info) != 0)
            return false;
        const qint64 available = qint64(info.f_bavail) * qint64(info.f_frsize);
        QFile filler(path(QStringLiteral("filler")));
        return available >= room && filler.open(QIODevice::WriteOnly)
            && filler.write(QByteArray(available - room, 'f')) == available - room && filler.flush();
    }
};
