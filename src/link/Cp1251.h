#pragma once
#include <QByteArray>
#include <QString>

// Windows-1251 conversions for the unit's texts, TX.cfg and file names.
namespace Cp1251 {
QString decode(const QByteArray &bytes);
QByteArray encode(const QString &text);
// True when every character of text has a Windows-1251 byte.
bool canEncode(const QString &text);
}
