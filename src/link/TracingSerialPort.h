#pragma once
#include "link/SerialPort.h"
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

class FileWriter;

// A serial port that writes every byte sent and received to a trace file for a bug report, and
// otherwise behaves exactly as the port it wraps. Each line: milliseconds since the trace began,
// the direction (TX sent, RX received, -- the port opened or closed), the bytes in hex and as text.
// Lines are buffered so the trace does not slow a transfer; past the size limit one line says the
// trace was cut and nothing more is written. The file takes its name when the trace is finished.
class TracingSerialPort : public SerialPort {
public:
    static constexpr qint64 kDefaultLimit = qint64(64) * 1024 * 1024;
    static constexpr int kBytesPerLine = 64;
    inline static const QString kCutLine = QStringLiteral("трасса обрезана: достигнут предел %1 байт");

    TracingSerialPort(std::unique_ptr<SerialPort> inner, const QString &path, qint64 limit = kDefaultLimit);
    ~TracingSerialPort() override;
    TracingSerialPort(const TracingSerialPort &) = delete;
    TracingSerialPort &operator=(const TracingSerialPort &) = delete;

    // Creates the trace file; false with errorText() when it cannot be.
    bool begin();
    // Writes what is buffered and gives the file its name; false with errorText() on any failure.
    bool finish();
    // The file error, naming the file and the reason; empty while all is well.
    QString errorText() const { return m_error; }
    // Milliseconds since the trace began; tests give their own.
    void setElapsed(std::function<qint64()> elapsedMs) { m_elapsed = std::move(elapsedMs); }

    // One trace line for these bytes (at most kBytesPerLine of them), line end included.
    static QByteArray formatLine(qint64 ms, const char *direction, QByteArrayView bytes);

    bool open(int portNumber, int speed, int handshaking) override;
    void close() override;
    bool isOpen() const override { return m_inner->isOpen(); }
    bool write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    int lastError() const override { return m_inner->lastError(); }
    QString lastErrorText() const override { return m_inner->lastErrorText(); }
    PortProblem::Kind lastFault() const override { return m_inner->lastFault(); }
    QString settingsText() const override { return m_inner->settingsText(); }
    QString deviceFor(int portNumber) const override { return m_inner->deviceFor(portNumber); }
    void setArrivalCallback(std::function<void()> callback) override { m_inner->setArrivalCallback(std::move(callback)); }

private:
    void record(const char *direction, QByteArrayView bytes);
    void note(const QString &text);
    void append(const QByteArray &line);
    void flushPending();
    void fail(const QString &reason);

    std::unique_ptr<SerialPort> m_inner;
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
