#pragma once
#include "link/PortNumbering.h"
#include <QJsonArray>
#include <QList>
#include <QString>
#include <functional>

// tarviks-cli ports: every numbered port with the link's target, the device behind it, the
// adapter's description and serial number, and whether the device is there.
class PortsCommand {
public:
    using Writer = std::function<void(const QString &text)>;

    static QJsonArray json(const QList<NumberedPort> &ports);
    // One line a port, the link and its target: "COM2: …/Service/ports/COM2 -> /dev/serial/by-id/…
    // (/dev/ttyUSB0), описание, серийный номер …" or "COM3: …/Service/ports/COM3 -> /dev/pts/9 — нет
    // устройства".
    static QString text(const QList<NumberedPort> &ports);

    // Numbers the adapters first, as the window does, so a newly plugged one is listed too.
    static int run(PortNumbering &numbering, const QList<SerialDevice> &devices, bool asJson, const Writer &out);
};
