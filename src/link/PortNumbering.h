#pragma once
#include "link/SerialDevices.h"
#include <QList>
#include <QMap>
#include <QString>

// One numbered port: an entry Service/ports/COM<N> of the program folder, or a number held only in
// memory where the folder takes no links.
struct NumberedPort {
    int number = 0;
    QString link;        // the entry's path; empty for a number held in memory
    QString target;      // what the number names (absolute)
    QString device;      // the device reached through it now, links followed; empty when gone
    bool present = false;
    SerialDevice adapter;   // the listed device behind it; empty path when the list has none
};

// Stable port numbers for serial adapters. Port N names <program folder>/Service/ports/COM<N> when
// that entry exists, otherwise /dev/ttyUSB<N-1>. An adapter seen for the first time gets the lowest
// free number as a link to its stable name (which follows it to any USB socket), so it keeps the
// number when plugged in again. Entries are only ever added: links the user made stay as they are,
// and a link whose device is gone stays too. On Windows the numbers are the system's own.
class PortNumbering {
public:
    // The words for a number whose device is not there.
    static QString missingText() { return QStringLiteral("нет устройства"); }

    // fallbackPrefix: the device of a number without an entry is fallbackPrefix + (N-1).
    explicit PortNumbering(QString programFolder, QString fallbackPrefix = QStringLiteral("/dev/ttyUSB"));

    QString portsFolder() const;
    // The device to open for a number; empty for numbers below 1.
    QString deviceFor(int number) const;
    // Gives every listed adapter that no number reaches yet the lowest free number: a link where the
    // folder takes one, otherwise a number held in memory. Returns the new numbers, lowest first.
    QList<int> assign(const QList<SerialDevice> &devices);
    // The number that reaches a device path; a new one held in memory when none does. 0 on Windows
    // for anything but "COM<N>".
    int numberFor(const QString &devicePath);
    // Every numbered port, lowest first, with the listed device behind it.
    QList<NumberedPort> ports(const QList<SerialDevice> &devices) const;
    // The port box's tooltip for a number: the adapter's description and its device path, or
    // "нет устройства" and the path the number names.
    QString toolTip(int number, const QList<SerialDevice> &devices) const;

private:
    QMap<int, NumberedPort> entries() const;
    bool reaches(const NumberedPort &entry, const SerialDevice &device) const;
    int lowestFree(const QMap<int, NumberedPort> &taken, const SerialDevice &device,
                   const QList<SerialDevice> &devices) const;

    QString m_programFolder;
    QString m_fallbackPrefix;
    QMap<int, QString> m_inMemory;   // number -> target, where no link could be made
};
