#pragma once
#include "link/RecordFile.h"
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>

// The file of a serial trace, shared by every port it follows: a record written as it comes (a run
// killed or hung up leaves every line up to then, on the disk within a second); past the size
// limit one line says the trace was cut and nothing more is written.
class TraceFile {
public:
    static constexpr qint64 kDefaultLimit = qint64(64) * 1024 * 1024;
    inline static const QString kCutLine = QStringLiteral("трасса обрезана: достигнут предел %1 байт");

    explicit TraceFile(const QString &path, qint64 limit = kDefaultLimit, DiskCalls calls = DiskCalls::system());
    ~TraceFile();
    TraceFile(const TraceFile &) = delete;
    TraceFile &operator=(const TraceFile &) = delete;

    // Creates the file; false with errorText() when it cannot be or its disk is short of room.
    bool begin();
    // Syncs it to the disk and closes it; false with errorText() when anything failed.
    bool finish();
    QString path() const { return m_path; }
    // The file error, naming the file and the reason; empty while all is well.
    QString errorText() const { return m_file.errorText(); }
    void setElapsed(std::function<qint64()> elapsedMs) { m_elapsed = std::move(elapsedMs); }
    qint64 elapsed() const { return m_elapsed(); }
    // Whether lines are still taken (begun, not failed, not cut).
    bool taking() const { return m_file.isOpen() && !m_cut; }
    // One whole line, its end included.
    void append(const QByteArray &line);

    // The record itself (tests tick it and count its syncs).
    RecordFile &file() { return m_file; }

private:
    QString m_path;
    qint64 m_limit;
    QByteArray m_cutTail;   // the cut line after its time
    RecordFile m_file;
    bool m_cut = false;
    QElapsedTimer m_timer;
    std::function<qint64()> m_elapsed;
};
