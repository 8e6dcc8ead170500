#pragma once
#include "unit/ConfigBackups.h"
#include <QJsonArray>
#include <QList>
#include <QString>
#include <functional>

// tarviks-cli backups: the units with kept configuration copies and each one's copies (date,
// kind, size, file), newest first, as text or JSON; the way to find a copy to restore.
class BackupsCommand {
public:
    using Writer = std::function<void(const QString &text)>;

    static QJsonArray json(const QList<ConfigBackups::Unit> &units, const QString &root);
    // A unit's line with its folder, then one indented line a copy; or that there are none.
    static QString text(const QList<ConfigBackups::Unit> &units, const QString &root, const QString &unitName);

    static int run(const ConfigBackups &store, const QString &unitName, bool asJson, const Writer &out);
};
