#include "cli/BackupsCommand.h"
#include "unit/ExitCode.h"
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString kShownTime = QStringLiteral("yyyy-MM-dd HH:mm:ss");
}

QJsonArray BackupsCommand::json(const QList<ConfigBackups::Unit> &units, const QString &root)
{
    QJsonArray out;
    for (const ConfigBackups::Unit &unit : units) {
        QJsonArray copies;
        for (const ConfigBackups::Copy &copy : unit.copies)
            copies.append(QJsonObject{{QStringLiteral("date"), copy.when.toString(Qt::ISODate)},
                                      {QStringLiteral("kind"), ConfigBackups::kindWord(copy.kind)},
                                      {QStringLiteral("size"), copy.size},
                                      {QStringLiteral("path"), QDir::toNativeSeparators(copy.path)}});
        out.append(QJsonObject{{QStringLiteral("unit"), unit.folderName},
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
        text += unit.folderName + QStringLiteral(": ")
                + QDir::toNativeSeparators(QDir(root).filePath(unit.folderName)) + QLatin1Char('\n');
        for (const ConfigBackups::Copy &copy : unit.copies)
            text += QStringLiteral("  %1  %2  %3 байт  %4\n")
                        .arg(copy.when.toString(kShownTime), ConfigBackups::kindWord(copy.kind).leftJustified(9))
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
    return ExitCode::Success;
}
