#include "unit/UnitIdentity.h"
#include <algorithm>

QByteArray UnitIdentity::imeiCells(const QByteArray &memory)
{
    return memory.size() >= kImeiOffset + kImeiSize ? memory.mid(kImeiOffset, kImeiSize) : QByteArray();
}

QString UnitIdentity::imei(const QByteArray &memory)
{
    const QByteArray cells = imeiCells(memory);
    const bool digits =
        !cells.isEmpty() && std::all_of(cells.cbegin(), cells.cend(), [](char c) { return c >= '0' && c <= '9'; });
    // Fifteen "3" is the unit's mark for a module not registered.
    if (!digits || cells == QByteArray(kImeiSize, '3'))
        return QString();
    return QString::fromLatin1(cells);
}

QString UnitIdentity::shown(const QByteArray &cells)
{
    const bool digits = std::all_of(cells.cbegin(), cells.cend(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? QString::fromLatin1(cells) : QString::fromLatin1(cells.toHex(' ').toUpper());
}
