#include "cli/PortsCommand.h"
#include "unit/ExitCode.h"
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonValue usbId(int id)
{
    return id < 0 ? QJsonValue() : QJsonValue(QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')));
}
}

QJsonArray PortsCommand::json(const QList<NumberedPort> &ports)
{
    QJsonArray list;
    for (const NumberedPort &port : ports) {
        QJsonObject entry;
        entry.insert(QStringLiteral("port"), port.number);
        entry.insert(QStringLiteral("link"), textOrNull(port.link));   // null: a number for this run only
        entry.insert(QStringLiteral("target"), port.target);
        entry.insert(QStringLiteral("device"), textOrNull(port.device));
        entry.insert(QStringLiteral("present"), port.present);
        entry.insert(QStringLiteral("description"), textOrNull(port.adapter.description));
        entry.insert(QStringLiteral("manufacturer"), textOrNull(port.adapter.manufacturer));
        entry.insert(QStringLiteral("serialNumber"), textOrNull(port.adapter.serialNumber));
        entry.insert(QStringLiteral("vendorId"), usbId(port.adapter.vendorId));
        entry.insert(QStringLiteral("productId"), usbId(port.adapter.productId));
        list.append(entry);
    }
    return list;
}

QString PortsCommand::text(const QList<NumberedPort> &ports)
{
    QString text;
    for (const NumberedPort &port : ports) {
        // The link is what the user may change or remove; its target is what it stands for.
        QString line = QStringLiteral("COM%1: ").arg(port.number)
            + (port.link.isEmpty() ? port.target + QStringLiteral(" (номер только на этот запуск)")
                                   : port.link + QStringLiteral(" -> ") + port.target);
        if (!port.present)
            line += QStringLiteral(" — ") + PortNumbering::missingText();
        else if (port.device != port.target)
            line += QStringLiteral(" (") + port.device + QLatin1Char(')');
        if (!port.adapter.description.isEmpty())
            line += QStringLiteral(", ") + port.adapter.description;
        if (!port.adapter.serialNumber.isEmpty())
            line += QStringLiteral(", серийный номер ") + port.adapter.serialNumber;
        text += line + QLatin1Char('\n');
    }
    return text;
}

int PortsCommand::run(PortNumbering &numbering, const QList<SerialDevice> &devices, bool asJson, const Writer &out)
{
    numbering.assign(devices);
    const QList<NumberedPort> ports = numbering.ports(devices);
    if (asJson)
        out(QString::fromUtf8(QJsonDocument(json(ports)).toJson(QJsonDocument::Indented)));
    else
        out(text(ports));
    return ExitCode::Success;
}
