#pragma once
#include "link/SerialPort.h"
#include "link/TraceFile.h"
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// A serial port that writes every byte sent and received to a trace file for a bug report, and
// otherwise behaves exactly as the port it wraps. Each line: milliseconds since the trace began,
// the port and the direction (TX sent, RX received, -- opened, closed or a failed write), the bytes
// in hex and as text. The file is its own, or one shared by every port of a run; either way every
// line names its port, so lines of several ports and runs never mix up.
class TracingSerialPort : public SerialPort {
public:
    static constexpr qint64 kDefaultLimit = TraceFile::kDefaultLimit;
    static constexpr int kBytesPerLine = 64;

    TracingSerialPort(std::unique_ptr<SerialPort> inner, const QString &path, qint64 limit = kDefaultLimit);
    // Into a trace shared with other ports; its owner begins and finishes it.
    TracingSerialPort(std::unique_ptr<SerialPort> inner, std::shared_ptr<TraceFile> shared);
    ~TracingSerialPort() override;
    TracingSerialPort(const TracingSerialPort &) = delete;
    TracingSerialPort &operator=(const TracingSerialPort &) = delete;

    // Creates the trace file; false with errorText() when it cannot be.
    bool begin() { return m_trace->begin(); }
    // Writes what is buffered and gives the file its name; false with errorText() on any failure.
    bool finish() { return m_trace->finish(); }
    // The file error, naming the file and the reason; empty while all is well.
    QString errorText() const { return m_trace->errorText(); }
    // Milliseconds since the trace began; tests give their own.
    void setElapsed(std::function<qint64()> elapsedMs) { m_trace->setElapsed(std::move(elapsedMs)); }

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
    void name(int portNumber);

    std::unique_ptr<SerialPort> m_inner;
    std::shared_ptr<TraceFile> m_trace;
    bool m_own;
    QByteArray m_tx = "TX";
    QByteArray m_rx = "RX";
    QByteArray m_notes = "--";
};
