#include "link/RussianCount.h"

namespace RussianCount {

QString form(qint64 n, const QString &one, const QString &few, const QString &many)
{
    const qint64 abs = n < 0 ? -n : n;
    const qint64 lastTwo = abs % 100;
    const qint64 last = abs % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return many;
    if (last == 1)
        return one;
    if (last >= 2 && last <= 4)
        return few;
    return many;
}

QString bytes(qint64 n)
{
    return QString::number(n) + QLatin1Char(' ')
        + form(n, QStringLiteral("байт"), QStringLiteral("байта"), QStringLiteral("байт"));
}

QString lines(qint64 n)
{
    return QString::number(n) + QLatin1Char(' ')
        + form(n, QStringLiteral("строка"), QStringLiteral("строки"), QStringLiteral("строк"));
}

QString blocks(qint64 n)
{
    return QString::number(n) + QLatin1Char(' ')
        + form(n, QStringLiteral("блок"), QStringLiteral("блока"), QStringLiteral("блоков"));
}

}
