#pragma once
#include "link/SerialPort.h"
#include <QByteArray>
#include <QList>
#include <QSet>
#include <functional>

// In-memory serial port: tests queue what the unit "sent" and inspect what the program wrote.
class FakeSerialPort : public SerialPort {
public:
    bool open(int portNumber, int speed, int handshaking) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    int lastError() const override { return m_lastError; }
    QString lastErrorText() const override { return m_lastErrorText; }
    QString settingsText() const override { return m_settings; }
    // Asked on every receive poll: the last name is kept rather than made again.
    QString deviceFor(int portNumber) const override
    {
        if (portNumber != m_devicePort || m_device.isEmpty()) {
            m_devicePort = portNumber;
            m_device = QStringLiteral("/fake/COM") + QString::number(portNumber);
        }
        return m_device;
    }
    void setArrivalCallback(std::function<void()> callback) override { m_arrival = std::move(callback); }

    // --- test controls ---
    // Arrives before the next read. Bytes that wait alone are handed on as given, shared, not copied.
    void feed(const QByteArray &bytes)
    {
        if (m_incoming.isEmpty())
            m_incoming = bytes;
        else
            m_incoming += bytes;
    }
    // Arrives and the port says so at once, as a real port does between polls.
    void arrive(const QByteArray &bytes)
    {
        m_incoming += bytes;
        if (m_arrival)
            m_arrival();
    }
    QByteArray takeWritten() { QByteArray w = m_written; m_written.clear(); return w; }
    const QByteArray &written() const { return m_written; }
    QList<QByteArray> writes;            // every write() call, in order
    bool recordWrites = true;            // false: only written() keeps them (long streams)
    QSet<int> missingPorts;              // open() fails with NoSuchPort
    QSet<int> busyPorts;                 // open() fails with PortNotAvailable
    int failWritesWith = 0;              // non-zero: write() fails with this number
    int failReadsWith = 0;               // non-zero: readAll() fails with this number
    // Called after every successful write; lets a test answer like a unit would.
    std::function<void(const QByteArray &)> onWrite;

    int portNumber = 0;
    int speed = 0;
    int handshaking = -1;
    int openCount = 0;
    int closeCount = 0;

private:
    bool m_open = false;
    int m_lastError = 0;
    QString m_lastErrorText;
    mutable int m_devicePort = 0;
    mutable QString m_device;
    QString m_settings = QStringLiteral("9600,N,8,1");
    QByteArray m_incoming;
    std::function<void()> m_arrival;
    QByteArray m_written;
};
