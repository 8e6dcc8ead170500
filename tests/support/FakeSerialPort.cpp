#include "FakeSerialPort.h"

bool FakeSerialPort::open(int number, int baud, int hs)
{
    m_lastError = 0;
    m_lastErrorText.clear();
    m_settings = QString::number(baud) + QStringLiteral(",N,8,1");
    if (m_open) {
        m_lastError = PortAlreadyOpen;
        return false;
    }
    if (missingPorts.contains(number)) {
        m_lastError = NoSuchPort;
        m_lastErrorText = QStringLiteral("No such file or directory");
        return false;
    }
    if (busyPorts.contains(number)) {
        m_lastError = PortNotAvailable;
        m_lastErrorText = QStringLiteral("Permission denied");
        return false;
    }
    portNumber = number;
    speed = baud;
    handshaking = hs;
    m_open = true;
    ++openCount;
    return true;
}

void FakeSerialPort::close()
{
    m_lastError = 0;
    if (m_open)
        ++closeCount;
    m_open = false;
}

bool FakeSerialPort::write(QByteArrayView bytes)
{
    m_lastError = 0;
    if (!m_open) {
        m_lastError = NeedsOpenPort;
        return false;
    }
    if (failWritesWith) {
        m_lastError = failWritesWith;
        return false;
    }
    m_written += bytes;
    if (recordWrites || onWrite) {
        const QByteArray copy = bytes.toByteArray();
        if (recordWrites)
            writes.append(copy);
        if (onWrite)
            onWrite(copy);
    }
    return true;
}

QByteArray FakeSerialPort::readAll()
{
    m_lastError = 0;
    if (!m_open) {
        m_lastError = NeedsOpenPort;
        return {};
    }
    if (failReadsWith) {
        m_lastError = failReadsWith;
        return {};
    }
    QByteArray out = m_incoming;
    m_incoming.clear();
    return out;
}
