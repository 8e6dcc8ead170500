#include "link/UnitSettings.h"

QString UnitSettings::speedText() const
{
    return isValidSpeedIndex(m_speedIndex) ? m_speedItems.at(m_speedIndex) : QString();
}

void UnitSettings::announce()
{
    if (m_updates > 0)
        m_pending = true;
    else
        emit changed();
}

void UnitSettings::endUpdate()
{
    if (m_updates > 0 && --m_updates == 0 && m_pending) {
        m_pending = false;
        emit changed();
    }
}

void UnitSettings::setPortItems(const QStringList &items)
{
    if (m_portItems == items)
        return;
    m_portItems = items;
    announce();
}

void UnitSettings::setPortText(const QString &text)
{
    if (m_portText == text)
        return;
    m_portText = text;
    announce();
}

void UnitSettings::setSpeedItems(const QStringList &items)
{
    if (m_speedItems == items)
        return;
    m_speedItems = items;
    if (!isValidSpeedIndex(m_speedIndex))
        m_speedIndex = -1;
    announce();
}

void UnitSettings::setSpeedIndex(int index)
{
    if (!isValidSpeedIndex(index) || index == m_speedIndex)
        return;
    m_speedIndex = index;
    announce();
}

void UnitSettings::setHandshakeIndex(int index)
{
    if (!isValidHandshakeIndex(index) || index == m_handshakeIndex)
        return;
    m_handshakeIndex = index;
    announce();
}
