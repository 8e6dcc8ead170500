#include "link/SerialDevices.h"
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <algorithm>

bool SerialDevice::operator==(const SerialDevice &other) const
{
    return path == other.path && stableName == other.stableName && description == other.description
        && manufacturer == other.manufacturer && serialNumber == other.serialNumber && vendorId == other.vendorId
        && productId == other.productId;
}

QtSerialDeviceList::QtSerialDeviceList(QString byIdFolder, QString deviceFolder)
    : m_byIdFolder(std::move(byIdFolder)), m_deviceFolder(std::move(deviceFolder))
{
}

QList<SerialDevice> QtSerialDeviceList::devices() const
{
#ifdef Q_OS_WIN
    return listNow();
#else
    // A folder's time changes when an entry is added or removed. The system fills in a new device's
    // description a little after its node appears, so a change is followed by a few more looks.
    const auto stampOf = [](const QString &folder) {
        const QFileInfo info(folder);
        return info.exists() ? QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('/')
                + QString::number(info.metadataChangeTime().toMSecsSinceEpoch())
                             : QStringLiteral("-");
    };
    const QString stamp = stampOf(m_deviceFolder) + QLatin1Char('|') + stampOf(m_byIdFolder);
    if (stamp != m_cachedStamp) {
        m_cachedStamp = stamp;
        m_looksLeft = kLooksAfterChange;
    }
    if (m_looksLeft > 0) {
        --m_looksLeft;
        m_cached = listNow();
    }
    return m_cached;
#endif
}

QList<SerialDevice> QtSerialDeviceList::listNow() const
{
    // The stable names are links to the devices; map each device to the first name that reaches it.
    QHash<QString, QString> stableNames;
#ifndef Q_OS_WIN
    const QFileInfoList names = QDir(m_byIdFolder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                                                 QDir::Name);
    for (const QFileInfo &name : names) {
        const QString device = name.canonicalFilePath();
        if (!device.isEmpty() && !stableNames.contains(device))
            stableNames.insert(device, name.absoluteFilePath());
    }
#endif
    QList<SerialDevice> list;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        SerialDevice device;
        device.path = info.systemLocation();
        const QString canonical = QFileInfo(device.path).canonicalFilePath();
        device.stableName = stableNames.value(canonical.isEmpty() ? device.path : canonical);
        device.description = info.description();
        device.manufacturer = info.manufacturer();
        device.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            device.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            device.productId = info.productIdentifier();
        list << device;
    }
    // A fixed order, so that an unchanged system gives an equal list.
    std::sort(list.begin(), list.end(),
              [](const SerialDevice &a, const SerialDevice &b) { return a.path < b.path; });
    return list;
}
