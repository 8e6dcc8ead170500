#pragma once
#include "link/DiskCalls.h"
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>
#include <functional>

// A record that grows while the program runs (a serial trace, a monitoring journal). It is written
// under its own name from the start and every piece goes to the system as it comes, so a killed or
// hung-up run leaves every row it had; it is synced to the disk at least once a second and at the
// end, so a power cut loses at most the last second. A folder without room for it is told at the
// start, and a failure later stops the record where it was, with the reason.
class RecordFile {
public:
    // Less free room than this is refused at the start.
    static constexpr qint64 kMinimumRoom = qint64(1024) * 1024;
    // What was written is on the disk no later than this after it.
    static constexpr int kSyncMs = 1000;
    inline static const QString kWriteError = QStringLiteral("Ошибка записи в файл: ");
    inline static const QString kShortOfRoom = QStringLiteral("на диске свободно меньше 1 МБ");

    explicit RecordFile(const QString &path, DiskCalls calls = DiskCalls::system());
    ~RecordFile();
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;

    // Creates the file (an earlier one of the name is replaced); false with reason() when it
    // cannot be or its disk is short of room.
    bool begin();
    // Written at once; synced when the last sync is a second old. False once it has failed.
    bool append(QByteArrayView bytes);
    // Takes the last bytes written back, to put a fuller line in their place.
    bool takeBack(qint64 bytes);
    // Syncs what was written and closes; false with reason() when anything failed.
    bool finish();
    // Syncs what was written since the last sync; a timer calls it a second after a write.
    void tick();

    QString path() const { return m_path; }
    bool isOpen() const { return m_file.isOpen(); }
    bool failed() const { return m_errno != 0 || m_short; }
    int errorNumber() const { return m_errno; }
    // The failure in a few Russian words; empty while all is well.
    QString reason() const;
    // "Ошибка записи в файл: <file>: <reason>."
    QString errorText() const;
    qint64 size() const { return m_size; }
    // Syncs so far (tests).
    int syncs() const { return m_syncs; }

    // Milliseconds on a steady clock, and the free bytes of a folder (-1 unknown); tests give theirs.
    void setTicks(std::function<qint64()> ticks) { m_ticks = std::move(ticks); }
    void setRoom(std::function<qint64(const QString &folder)> room) { m_room = std::move(room); }

private:
    bool fail(int systemError);
    void written();
    void sync();
    qint64 now() const { return m_ticks ? m_ticks() : m_clock.elapsed(); }

    QString m_path;
    DiskCalls m_calls;
    QFile m_file;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::function<qint64()> m_ticks;
    std::function<qint64(const QString &)> m_room;
    qint64 m_lastSync = 0;
    bool m_dirty = false;
    bool m_short = false;
    int m_errno = 0;
    int m_syncs = 0;
    qint64 m_size = 0;
};
