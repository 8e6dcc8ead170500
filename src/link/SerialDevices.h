#pragma once
#include <QList>
#include <QString>

// One serial device as the system lists it.
struct SerialDevice {
    QString path;          // e.g. /dev/ttyUSB0
    QString stableName;    // its name under /dev/serial/by-id; empty when it has none
    QString description;
    QString manufacturer;
    QString serialNumber;
    int vendorId = -1;     // USB ids; -1 when the device is not on USB
    int productId = -1;

    bool isUsb() const { return vendorId >= 0; }
    // What a port link names: the stable name, which follows the adapter to any socket.
    QString linkTarget() const { return stableName.isEmpty() ? path : stableName; }
    bool operator==(const SerialDevice &other) const;
    bool operator!=(const SerialDevice &other) const { return !(*this == other); }
};

// The serial devices the system has right now. A seam beside the serial port's: tests list fakes.
class SerialDeviceList {
public:
    virtual ~SerialDeviceList() = default;
    virtual QList<SerialDevice> devices() const = 0;
};

// The system's list, through Qt Serial Port's port information. Asking the system for it walks every
// device's attributes, so the list is taken again only when a device node came or went (the device
// folder's or the stable names' folder's time changed); a 2 s watch then costs two stat calls.
class QtSerialDeviceList : public SerialDeviceList {
public:
    // byIdFolder: where the system keeps stable links to its serial devices.
    explicit QtSerialDeviceList(QString byIdFolder = QStringLiteral("/dev/serial/by-id"),
                                QString deviceFolder = QStringLiteral("/dev"));
    QList<SerialDevice> devices() const override;

private:
    static constexpr int kLooksAfterChange = 3;
    QList<SerialDevice> listNow() const;

    QString m_byIdFolder;
    QString m_deviceFolder;
    mutable QList<SerialDevice> m_cached;
    mutable QString m_cachedStamp;
    mutable int m_looksLeft = 0;
};
