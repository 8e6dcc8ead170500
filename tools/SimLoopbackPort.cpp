#include "SimLoopbackPort.h"
#include "SimCore.h"

SimLoopbackPort::SimLoopbackPort(SimCore &core, int unitPort) : m_core(core), m_unitPort(unitPort) {}

bool SimLoopbackPort::open(int portNumber, int speed, int)
{
    m_lastError = 0;
    m_settings = QString::number(speed) + QStringLiteral(",N,8,1");
    if (m_open) {
        m_lastError = PortAlreadyOpen;
        return false;
    }
    if (m_absent.contains(portNumber)) {
        m_lastError = NoSuchPort;
        return false;
    }
    m_portNumber = portNumber;
    m_open = true;
    return true;
}

void SimLoopbackPort::close()
{
    m_lastError = 0;
    m_open = false;
}

bool SimLoopbackPort::write(QByteArrayView bytes)
{
    m_lastError = 0;
    if (!m_open) {
        m_lastError = NeedsOpenPort;
        return false;
    }
    if (m_portNumber == m_unitPort)
        m_core.receive(bytes.toByteArray(), m_nowMs);
    return true;
}

QByteArray SimLoopbackPort::readAll()
{
    m_lastError = 0;
    if (!m_open) {
        m_lastError = NeedsOpenPort;
        return {};
    }
    if (m_portNumber != m_unitPort)
        return {};
    m_core.advance(m_nowMs);
    return m_core.takeOutput(m_nowMs);
}

QString SimLoopbackPort::deviceFor(int portNumber) const
{
    return QStringLiteral("sim:COM%1").arg(portNumber);
}
