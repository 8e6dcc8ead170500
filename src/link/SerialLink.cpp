// Placeholder so everything links; replaced by the real implementation.
#include "link/SerialLink.h"
#include "link/Cp1251.h"
#include "link/SerialPort.h"

SerialLink::SerialLink(SerialPort &port, CommandQueue &queue, StatusModel &status, QObject *parent)
    : QObject(parent), m_port(port), m_queue(queue), m_status(status)
{
    m_pollTimer.setInterval(50);
}
QString SerialLink::speedText() const { return isValidSpeedIndex(m_speedIndex) ? m_speedItems.at(m_speedIndex) : QString(); }
void SerialLink::setPortItems(const QStringList &items) { m_portItems = items; emit stateChanged(); }
void SerialLink::addPortItem(const QString &item) { m_portItems.append(item); emit stateChanged(); }
void SerialLink::setPortText(const QString &text) { m_portText = text; emit stateChanged(); }
void SerialLink::setSpeedItems(const QStringList &items) { m_speedItems = items; emit stateChanged(); }
void SerialLink::addSpeedItem(const QString &item) { m_speedItems.append(item); emit stateChanged(); }
void SerialLink::setSpeedIndex(int index) { if (isValidSpeedIndex(index)) m_speedIndex = index; emit stateChanged(); }
void SerialLink::setHandshakeIndex(int index) { if (isValidHandshakeIndex(index)) m_handshakeIndex = index; emit stateChanged(); }
QString SerialLink::deviceName() const { return Cp1251::decode(UstroistvoNameClear); }
void SerialLink::OpenUsbComPort(const QString &) {}
void SerialLink::CloseUsbComPort() {}
void SerialLink::OtobrazitSostojaniePorta() {}
void SerialLink::receiveTick() {}
void SerialLink::PoiskUstroistva(QString &) {}
void SerialLink::OpredelenieUstroistva(QByteArray &, int &) {}
void SerialLink::ProverkaImeniUstroistva() {}
void SerialLink::drainInput() { RPF_02PortImport = m_port.readAll(); RPF_02PortImport.clear(); }
bool SerialLink::send(const QByteArray &bytes) { const bool ok = m_port.write(bytes); RPF_02ComError = ok ? 0 : m_port.lastError(); return ok; }
bool SerialLink::isOpen() const { return m_port.isOpen(); }
