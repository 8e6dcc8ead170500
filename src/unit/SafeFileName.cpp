#include "unit/SafeFileName.h"
#include <QStringList>

namespace {
const QChar kEscape = QLatin1Char('%');
// What "of" makes of a name without characters: "%" alone, which no escape spells.
const QString kEmpty = QStringLiteral("%");

QString escaped(QChar c)
{
    return kEscape + QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
}

bool needsEscape(QChar c)
{
    static const QString kForbidden = QStringLiteral("<>:\"/\\|?*%");
    return c.unicode() < 0x20 || c.unicode() == 0x7F || kForbidden.contains(c);
}

// Windows takes these as devices, whatever follows a dot: "CON", "nul.cf", "Com1 .x".
bool reserved(const QString &part)
{
    const QString base = part.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList kDevices{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (kDevices.contains(base))
        return true;
    return base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT")))
           && base.at(3).isDigit();
}
}

QString SafeFileName::of(const QString &name)
{
    QString trimmed = name;
    while (trimmed.endsWith(QLatin1Char(' ')))
        trimmed.chop(1);
    if (trimmed.isEmpty())
        return kEmpty;
    // Trailing dots, and a leading blank, which the systems drop or shells lose.
    qsizetype dots = 0;
    while (dots < trimmed.size() && trimmed.at(trimmed.size() - 1 - dots) == QLatin1Char('.'))
        ++dots;
    QString safe;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        const bool edge = (i == 0 && c == QLatin1Char(' ')) || i >= trimmed.size() - dots;
        safe += needsEscape(c) || edge ? escaped(c) : QString(c);
    }
    if (reserved(safe))
        safe.replace(0, 1, escaped(safe.at(0)));
    return safe;
}

QString SafeFileName::nameOf(const QString &part)
{
    if (part == kEmpty)
        return QString();
    QString name;
    for (qsizetype i = 0; i < part.size(); ++i) {
        const QString digits = part.mid(i + 1, 2);
        const auto hex = [](QChar c) { return c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('F')); };
        if (part.at(i) == kEscape && digits.size() == 2 && hex(digits.at(0)) && hex(digits.at(1))) {
            name += QChar(digits.toUShort(nullptr, 16));
            i += 2;
        } else {
            name += part.at(i);
        }
    }
    return name;
}
