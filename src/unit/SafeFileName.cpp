#include "unit/SafeFileName.h"

QString SafeFileName::of(const QString &name)
{
    QString safe = name.trimmed();
    static const QString kForbidden = QStringLiteral("<>:\"/\\|?*");
    for (QChar &c : safe) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || kForbidden.contains(c))
            c = QLatin1Char('_');
    }
    // Windows drops trailing dots, so "A." and "A" would be one file.
    while (safe.endsWith(QLatin1Char('.')))
        safe.chop(1);
    if (safe.isEmpty())
        safe = QStringLiteral("_");
    return safe;
}
