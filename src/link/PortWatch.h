#pragma once
#include "link/SerialDevices.h"
#include <QList>
#include <QObject>
#include <QTimer>

class PortNumbering;

// Looks at the system's serial devices every 2 s and numbers the adapters that appear. Nothing
// happens while the list is unchanged.
class PortWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 2000;

    PortWatch(SerialDeviceList &list, PortNumbering &numbering, QObject *parent = nullptr);

    // A first look now, then one every 2 s.
    void start();
    void stop() { m_timer.stop(); }
    // One look (the timer's work; tests call it directly).
    void tick();

    const QList<SerialDevice> &devices() const { return m_devices; }

signals:
    // The list differs from the last look; numbers the look gave out, lowest first (maybe none).
    void devicesChanged(const QList<int> &newNumbers);

private:
    SerialDeviceList &m_list;
    PortNumbering &m_numbering;
    QTimer m_timer;
    QList<SerialDevice> m_devices;
    bool m_looked = false;
};
