#include "cli/BackupsCommand.h"
#include "unit/ExitCode.h"
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString kShownTime = QStringLiteral("yyyy-MM-dd HH:mm:ss");
QString portName(int port)
{
    return QStringLiteral("COM%1").arg(port);
}
}

QJsonArray BackupsCommand::json(const QList<ConfigBackups::Unit> &units, const QString &root)
{
    QJsonArray out;
    for (const ConfigBackups::Unit &unit : units) {
        QJsonArray copies;
        for (const ConfigBackups::Copy &copy : unit.copies) {
            const QJsonValue port = copy.port > 0 ? QJsonValue(portName(copy.port)) : QJsonValue();
            copies.append(QJsonObject{{QStringLiteral("date"), copy.when.toString(Qt::ISODate)},
                                      {QStringLiteral("kind"), ConfigBackups::kindWord(copy.kind)},
                                      {QStringLiteral("size"), copy.size},
                                      {QStringLiteral("port"), port},
                                      {QStringLiteral("path"), QDir::toNativeSeparators(copy.path)}});
        }
        out.append(QJsonObject{{QStringLiteral("unit"), unit.name},
                               {QStringLiteral("imei"), unit.imei.isEmpty() ? QJsonValue() : QJsonValue(unit.imei)},
                               {QStringLiteral("folder"), QDir::toNativeSeparators(QDir(root).filePath(unit.folderName))},
                               {QStringLiteral("copies"), copies}});
    }
    return out;
}

QString BackupsCommand::text(const QList<ConfigBackups::Unit> &units, const QString &root, const QString &unitName)
{
    if (units.isEmpty())
        return (unitName.isEmpty() ? QStringLiteral("Резервных копий нет: %1\n").arg(QDir::toNativeSeparators(root))
                                   : QStringLiteral("Резервных копий устройства %1 нет: %2\n")
                                         .arg(unitName, QDir::toNativeSeparators(root)));
    QString text;
    for (const ConfigBackups::Unit &unit : units) {
        const QString imei =
            unit.imei.isEmpty() ? QStringLiteral("IMEI неизвестен") : QStringLiteral("IMEI ") + unit.imei;
        text += unit.name + QStringLiteral(", ") + imei + QStringLiteral(": ")
                + QDir::toNativeSeparators(QDir(root).filePath(unit.folderName)) + QLatin1Char('\n');
        for (const ConfigBackups::Copy &copy : unit.copies)
            text += QStringLiteral("  %1  %2  %3  %4 байт  %5\n")
                        .arg(copy.when.toString(kShownTime), ConfigBackups::kindWord(copy.kind).leftJustified(9),
                             (copy.port > 0 ? portName(copy.port) : QStringLiteral("—")).leftJustified(5))
                        .arg(copy.size, 5)
                        .arg(QDir::toNativeSeparators(copy.path));
    }
    return text;
}

int BackupsCommand::run(const ConfigBackups &store, const QString &unitName, bool asJson, const Writer &out)
{
    const QList<ConfigBackups::Unit> units = store.units(unitName);
    if (asJson)
        out(QString::fromUtf8(QJsonDocument(json(units, store.folder())).toJson(QJsonDocument::Indented)));
    else
        out(text(units, store.folder(), unitName));
    // A unit named but never kept: a script must not take it for one with copies.
    return units.isEmpty() && !unitName.isEmpty() ? ExitCode::NoUnit : ExitCode::Success;
}
