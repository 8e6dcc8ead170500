#pragma once
#include "link/SerialPort.h"
#include <QList>
#include <memory>

class SimCore;

// A serial port whose other end is the simulated unit's protocol core, in-process. Time is virtual:
// the owner advances it (one receive poll = 50 ms) so nothing waits on the wall clock.
class SimLoopbackPort : public SerialPort {
public:
    // The unit answers on unitPort only.
    SimLoopbackPort(SimCore &core, int unitPort = 1);
    // Every port number opens, but these (no adapter there).
    void setAbsentPorts(const QList<int> &ports) { m_absent = ports; }

    bool open(int portNumber, int speed, int handshaking) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    int lastError() const override { return m_lastError; }
    QString lastErrorText() const override { return QString(); }
    QString settingsText() const override { return m_settings; }
    QString deviceFor(int portNumber) const override;

    void advance(qint64 ms) { m_nowMs += ms; }
    qint64 now() const { return m_nowMs; }

private:
    SimCore &m_core;
    int m_unitPort;
    QList<int> m_absent;
    int m_portNumber = 0;
    bool m_open = false;
    int m_lastError = 0;
    qint64 m_nowMs = 0;
    QString m_settings = QStringLiteral("9600,N,8,1");
};
