#pragma once
#include "SimFaults.h"
#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <functional>

// The unit's side of the serial protocol: bytes in, bytes out. It does no I/O and keeps no clock;
// every call is told the current time in milliseconds (never decreasing; fractions count, as a
// byte at 115200 baud takes 0.09 ms), so tests can drive it in-process and the pty server can drive
// it from a monotonic clock.
class SimCore {
public:
    enum class Frames { Alternate, Measurement, Sensors };
    static constexpr qint64 kSessionTimeoutMs = 2000;   // a write session idle this long is dropped

    SimCore(const QByteArray &image, const QByteArray &firmware, const SimFaults &faults = {});

    void setDeviceName(const QByteArray &name);   // padded or cut to 16 bytes
    void setFrames(Frames frames) { m_frames = frames; }

    // Bytes the program sent.
    void receive(const QByteArray &bytes, double nowMs);
    // Bytes due on the line by nowMs (split replies and pacing hold the rest back).
    QByteArray takeOutput(double nowMs);
    // Lets time pass without traffic: drops a write session that has gone quiet.
    void advance(double nowMs);
    // When the next piece of output or a session timeout is due; -1 when nothing is pending.
    double nextEventMs() const;
    bool hasPendingOutput() const { return !m_pending.isEmpty(); }

    // The line-closing fault has fired: nothing more is received or sent.
    bool lineClosed() const { return m_lineClosed; }
    bool inWriteSession() const { return m_session != Session::None; }

    QByteArray image() const { return m_image; }        // memory + 2 model bytes
    QByteArray firmware() const { return m_firmware; }
    QByteArray deviceName() const { return m_name; }

    // Pace output at this rate when no fixed rate was asked for (the rate the program set on the
    // line); 0: as fast as possible.
    void setLineBaud(int baud) { m_lineBaud = baud; }
    // Block bytes that arrived before the "OK" releasing them had gone out, since the start.
    int protocolViolations() const { return m_violations; }
    // Told of each such violation (what and where).
    std::function<void(const QString &what)> protocolViolation;

    // Called with the new content when a write session completes.
    std::function<void(const QByteArray &image)> imageCommitted;
    std::function<void(const QByteArray &firmware)> firmwareCommitted;

    QByteArray measurementFrame();
    QByteArray sensorFrame();

private:
    enum class Session { None, Config, Firmware };
    struct Chunk {
        double dueMs;
        QByteArray bytes;
        bool endsAck = false;   // the last piece of a write "OK": once out, the next block may come
        qint64 noise = 0;       // noise bytes still to come after bytes, made as they go out
    };

    void handleRequest(const QByteArray &request, double nowMs);
    void sessionData(const QByteArray &bytes, double nowMs);
    void reply(const QByteArray &request, QByteArray bytes, double nowMs, bool ack = false);
    // The next write "OK" of the session, with the status text and the delay the faults ask for it.
    void acknowledge(double nowMs);
    void closeLine();
    int baud() const { return m_faults.baud > 0 ? m_faults.baud : m_lineBaud; }
    QByteArray randomBytes(int count);
    QByteArray noiseBytes(int count);
    // Refills a noise chunk whose bytes have gone out; false when it has nothing more.
    bool refill(Chunk &chunk);
    double byteTimeMs() const { return 10000.0 / baud(); }

    QByteArray m_image;
    QByteArray m_firmware;
    QByteArray m_name;
    SimFaults m_faults;
    Frames m_frames = Frames::Alternate;
    QRandomGenerator m_random;

    QByteArray m_input;            // request bytes not yet understood
    Session m_session = Session::None;
    QByteArray m_sessionRequest;
    QByteArray m_sessionData;      // received blocks, and a partial block at the end
    int m_blocksAcked = 0;
    int m_acksOut = 0;             // write "OK"s of this session that have left, the request's included
    int m_acksMade = 0;            // write "OK"s of this session made so far, the request's included
    int m_violations = 0;
    int m_violationBlock = -1;     // reported once per block
    int m_lineBaud = 0;
    double m_lastActivityMs = 0;

    QList<Chunk> m_pending;
    double m_lineFreeMs = 0;       // with pacing: when the previous byte has left
    double m_inputFreeMs = 0;      // with pacing: when the last received byte has fully arrived
    qint64 m_bytesSent = 0;
    bool m_lineClosed = false;
    quint32 m_frameCount = 0;
};
