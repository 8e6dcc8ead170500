#include "link/Converters.h"
#include <algorithm>
#include <cstring>
#include <limits>
#include "shell/MessageSink.h"

namespace {
const char kDigits[] = "0123456789ABCDEF";
}

int Converters::hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

QString Converters::BytesToHexText(QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char ch : std::as_const(bytes)) {
        const auto b = static_cast<unsigned char>(ch);
        out += QLatin1Char(kDigits[b >> 4]);
        out += QLatin1Char(kDigits[b & 0x0F]);
        out += QLatin1Char(' ');
    }
    bytes.clear();
    return out;
}

QByteArray Converters::HexTextToBytes(QString &hexText, MessageSink *messages, bool *ok)
{
    QByteArray out;
    out.reserve(hexText.size() / 2);
    if (ok)
        *ok = true;
    qsizetype pos = 0;
    const qsizetype size = hexText.size();
    while (pos < size) {
        while (pos < size && hexText.at(pos) == QLatin1Char(' '))
            ++pos;
        if (pos >= size)
            break;
        qsizetype end = size;
        while (end > pos && hexText.at(end - 1) == QLatin1Char(' '))
            --end;
        if (end - pos < 2) {
            if (messages)
                messages->show(kFormatError);
            if (ok)
                *ok = false;
            break;
        }
        // A pair that is not valid hex counts its valid leading digits only.
        int value = 0;
        const int hi = hexDigitValue(hexText.at(pos));
        if (hi >= 0) {
            value = hi;
            const int lo = hexDigitValue(hexText.at(pos + 1));
            if (lo >= 0)
                value = hi * 16 + lo;
        }
        out += static_cast<char>(value);
        pos += 2;
    }
    hexText.clear();
    return out;
}

QString Converters::SpacePairs(QString &digits)
{
    QString out;
    out.reserve(digits.size() + digits.size() / 2 + 1);
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        out += digits.mid(i, 2);
        out += QLatin1Char(' ');
    }
    digits.clear();
    return out;
}

QString Converters::NumberToHex2(int value)
{
    const auto b = static_cast<unsigned>(value) & 0xFFu;
    return QString(QLatin1Char(kDigits[b >> 4])) + QLatin1Char(kDigits[b & 0x0F]);
}

QList<QByteArray> Converters::SplitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    const char *const end = bytes.constData() + bytes.size();
    // The C library finds the line ends far faster than a loop over every byte; each kind of end is
    // looked for again only once the lines have passed the one found.
    const auto next = [end](const char *from, char c) {
        const void *at = std::memchr(from, c, size_t(end - from));
        return at ? static_cast<const char *>(at) : end;
    };
    const char *start = bytes.constData();
    const char *cr = next(start, '\r');
    const char *lf = next(start, '\n');
    while (start < end) {
        if (cr < start)
            cr = next(start, '\r');
        if (lf < start)
            lf = next(start, '\n');
        const char *const stop = std::min(cr, lf);
        lines.append(QByteArray(start, stop - start));
        if (stop == end)
            break;
        start = stop + (stop == cr && stop + 1 == lf ? 2 : 1);
    }
    return lines;
}

int Converters::leadingNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == QLatin1Char('-') || t.at(i) == QLatin1Char('+')))
        negative = t.at(i++) == QLatin1Char('-');
    qint64 value = 0;
    for (; i < t.size() && t.at(i).isDigit() && t.at(i).unicode() < 128; ++i) {
        value = value * 10 + (t.at(i).unicode() - '0');
        if (value > std::numeric_limits<int>::max())
            return 0;   // no port or speed is that large; treat it as no number at all
    }
    return int(negative ? -value : value);
}
