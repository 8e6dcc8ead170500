#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

class FileWriter;

// The file of a serial trace, shared by every port it follows: lines are buffered and written in
// large pieces so the trace does not slow a transfer; past the size limit one line says the trace
// was cut and nothing more is written. The file takes its name only when finished, complete.
class TraceFile {
public:
    static constexpr qint64 kDefaultLimit = qint64(64) * 1024 * 1024;
    inline static const QString kCutLine = QStringLiteral("трасса обрезана: достигнут предел %1 байт");

    explicit TraceFile(const QString &path, qint64 limit = kDefaultLimit);
    ~TraceFile();
    TraceFile(const TraceFile &) = delete;
    TraceFile &operator=(const TraceFile &) = delete;

    // Creates the file; false with errorText() when it cannot be.
    bool begin();
    // Writes what is buffered and gives the file its name; false with errorText() on any failure.
    bool finish();
    QString path() const { return m_path; }
    // The file error, naming the file and the reason; empty while all is well.
    QString errorText() const { return m_error; }
    void setElapsed(std::function<qint64()> elapsedMs) { m_elapsed = std::move(elapsedMs); }
    qint64 elapsed() const { return m_elapsed(); }
    // Whether lines are still taken (begun, not failed, not cut).
    bool taking() const { return m_file && !m_cut; }
    // One whole line, its end included.
    void append(const QByteArray &line);

private:
    void flushPending();
    void fail(const QString &reason);

    QString m_path;
    qint64 m_limit;
    QByteArray m_cutTail;   // the cut line after its time
    std::unique_ptr<FileWriter> m_file;
    QByteArray m_pending;
    qint64 m_size = 0;      // bytes of trace so far, written or pending
    bool m_cut = false;
    QString m_error;
    QElapsedTimer m_timer;
    std::function<qint64()> m_elapsed;
};
