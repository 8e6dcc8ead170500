#pragma once
#include "link/DiskCalls.h"
#include <QByteArrayView>
#include <QSaveFile>
#include <QString>
#include <functional>
#include <memory>

// The one way the program writes a file of the user's or its own (.cf, .fw, TX.cfg, journal CSV):
// written beside the target and swapped in only once every byte is written and on the disk. Any
// failure (full disk, quota, I/O error) keeps the earlier file byte for byte and leaves no
// temporary file behind; reason() then says why in Russian. A whole file goes through writeWhole();
// a stream through open(), write() piece by piece and commit(). Dropping an unfinished writer
// discards it.
class FileWriter {
public:
    // The two system calls whose failures a writer must survive; each returns 0 or the system's
    // error number. Tests give their own to fail where a real disk seldom does (at the sync).
    using SystemCalls = DiskCalls;
    static SystemCalls systemCalls();

    explicit FileWriter(const QString &path, SystemCalls calls = systemCalls());
    ~FileWriter();
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    bool open();
    // All of bytes or false; after a failure nothing more is written and commit() fails.
    bool write(QByteArrayView bytes);
    // Flushes to the disk, then replaces the target; false leaves the target as it was.
    bool commit();
    // open(), write() and commit() in one.
    bool writeWhole(QByteArrayView bytes);
    // Gives the new file up; the target stays as it was.
    void discard();

    bool isOpen() const { return m_file != nullptr; }
    bool failed() const { return m_errno != 0; }
    // The failure came when creating the new file, before anything was written.
    bool openFailed() const { return m_openFailed; }
    QString path() const { return m_path; }
    // The system's error number of the failure, 0 before one.
    int errorNumber() const { return m_errno; }
    // The failure in a few Russian words: "нет места на диске".
    QString reason() const { return reasonFor(m_errno); }
    // The error numbers users of the program have always been shown for file trouble.
    int classicNumber() const { return classicNumberFor(m_errno); }
    // The reason and what the target is left with: "Нет места на диске. Прежний файл не изменён."
    QString explanation() const;

    static QString reasonFor(int systemError);
    static int classicNumberFor(int systemError);

private:
    bool fail(int systemError);

    QString m_path;
    SystemCalls m_calls;
    std::unique_ptr<QSaveFile> m_file;
    bool m_targetExisted = false;
    bool m_openFailed = false;
    int m_errno = 0;
};
