#include "link/PortWatch.h"
#include "link/PortNumbering.h"

PortWatch::PortWatch(SerialDeviceList &list, PortNumbering &numbering, QObject *parent)
    : QObject(parent), m_list(list), m_numbering(numbering)
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PortWatch::tick);
}

void PortWatch::start()
{
    tick();
    m_timer.start();
}

void PortWatch::tick()
{
    QList<SerialDevice> devices = m_list.devices();
    if (m_looked && devices == m_devices)
        return;
    m_looked = true;
    m_devices = std::move(devices);
    emit devicesChanged(m_numbering.assign(m_devices));
}
