#pragma once
#include <QString>

// A number with its noun in the form Russian grammar wants after it: 1 байт, 2 байта, 5 байт,
// 11 байт, 21 байт, 63 байта.
namespace RussianCount {
// one: after 1, 21, 31 ...; few: after 2-4, 22-24 ...; many: after 0, 5-20, 25-30 ...
QString form(qint64 n, const QString &one, const QString &few, const QString &many);
QString bytes(qint64 n);    // "63 байта"
QString lines(qint64 n);    // "980 строк"
QString blocks(qint64 n);   // "37 блоков"
}
