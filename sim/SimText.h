#pragma once
#include <QByteArray>
#include <QString>

// Windows-1251 encoding for the simulated unit's own texts (its name, default message texts).
// The simulator links Qt Core only, so it uses Qt's named converter instead of the program's codec.
namespace SimText {
// Encodes text; *ok (when given) is false if the converter is missing or a character has no byte.
QByteArray toCp1251(const QString &text, bool *ok = nullptr);
// Exactly width bytes: truncated, or padded with blanks.
QByteArray padded(const QByteArray &bytes, int width);
}
