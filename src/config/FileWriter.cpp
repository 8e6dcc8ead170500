#include "config/FileWriter.h"
#include "config/FileErrorNumber.h"
#include <QFileInfo>
#include <cerrno>

// Why QSaveFile alone lost the user's file on a full disk: opened buffered, a file of less than
// Qt's 16 KiB buffer is only handed to the system inside commit(), by the flush in its close().
// That flush fails with ENOSPC, but commit() looks only at the errors of write() calls (its own
// writeError), ignores its sync as well, and renames the empty temporary file over the old one.
// So here the file is opened unbuffered, every byte goes to the system with its result checked,
// and it is synced to the disk, again checked, before commit() may rename it.

FileWriter::SystemCalls FileWriter::systemCalls()
{
    return DiskCalls::system();
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
    return DiskCalls::reasonFor(systemError);
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
