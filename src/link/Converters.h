#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

class MessageSink;

// Byte text <-> hex text ("41 42 43 "), consuming their argument as the link's routines always did.
namespace Converters {
inline const QString kFormatError = QStringLiteral("Нарушен формат данных!");

// Two upper-case hex digits and a blank per byte; empties bytes.
QString BytesToHexText(QByteArray &bytes);
// Tolerant reader: blanks around pairs optional, lower case accepted, invalid digits read as their
// valid leading part. A lone trailing digit ends the conversion with kFormatError shown (when a sink is
// given) and *ok false; the bytes converted so far are returned. Empties hexText.
QByteArray HexTextToBytes(QString &hexText, MessageSink *messages = nullptr, bool *ok = nullptr);
// "0A1B" -> "0A 1B "; empties digits.
QString SpacePairs(QString &digits);
// 0..255 -> two upper-case digits.
QString NumberToHex2(int value);
// The value of one hex digit, either case; -1 for anything else.
int hexDigitValue(QChar c);

// The lines of a hex text file: they end at CR LF, CR or LF, and a final line end opens no new line.
QList<QByteArray> SplitLines(const QByteArray &bytes);

// The number at the start of a text ("12" -> 12, " 7 x" -> 7, "COM3" -> 0), as lists of ports and
// speeds are read; 0 beyond the range of int.
int leadingNumber(const QString &text);

// Non-consuming conveniences.
inline QString toHexText(QByteArray bytes) { return BytesToHexText(bytes); }
inline QByteArray fromHexText(QString text, MessageSink *messages = nullptr, bool *ok = nullptr)
{
    return HexTextToBytes(text, messages, ok);
}
}
