// Hex text conversions: every byte survives the trip through hex text, and the tolerant reader
// agrees with a literal rendering of its rules on any text at all.
#include "FuzzSupport.h"
#include "TestSeams.h"
#include "link/Converters.h"

namespace {

QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

int digit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// The reading rules word for word: trim blanks from both ends, stop at a lone digit, otherwise take
// two characters and read their valid leading digits (0 when none).
QByteArray referenceRead(QString text, bool *ok)
{
    QByteArray out;
    *ok = true;
    while (!text.isEmpty()) {
        text = trimBlanks(text);
        if (text.isEmpty())
            break;
        if (text.size() < 2) {
            *ok = false;
            break;
        }
        int value = 0;
        const int hi = digit(text.at(0));
        const int lo = digit(text.at(1));
        if (hi >= 0)
            value = lo >= 0 ? hi * 16 + lo : hi;
        out += char(value);
        text.remove(0, 2);
    }
    return out;
}

void checkReader(const QString &text)
{
    bool expectedOk = true;
    const QByteArray expected = referenceRead(text, &expectedOk);
    RecordingMessageSink messages;
    bool ok = true;
    QString argument = text;
    const QByteArray got = Converters::HexTextToBytes(argument, &messages, &ok);
    FUZZ_CHECK(argument.isEmpty(), QStringLiteral("argument not consumed"));
    FUZZ_CHECK(ok == expectedOk, QStringLiteral("ok %1 for \"%2\"").arg(ok).arg(text.left(80)));
    FUZZ_CHECK(got == expected,
               QStringLiteral("\"%1\" read as %2, expected %3").arg(text.left(80), Fuzz::dump(got), Fuzz::dump(expected)));
    const QStringList expectedMessages = ok ? QStringList() : QStringList{Converters::kFormatError};
    FUZZ_CHECK(messages.texts == expectedMessages, messages.texts.join(QLatin1Char('|')));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    const QByteArray bytes = Fuzz::bytesOf(data, size);

    // Bytes -> hex text: three characters per byte, upper case, a blank after each pair.
    QByteArray argument = bytes;
    const QString hex = Converters::BytesToHexText(argument);
    FUZZ_CHECK(argument.isEmpty(), QStringLiteral("argument not consumed"));
    FUZZ_CHECK(hex.size() == bytes.size() * 3, QStringLiteral("length %1 for %2 bytes").arg(hex.size()).arg(bytes.size()));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const QString pair = hex.mid(i * 3, 2);
        FUZZ_CHECK(pair == Converters::NumberToHex2(static_cast<uchar>(bytes.at(i))), pair);
        FUZZ_CHECK(pair == pair.toUpper() && hex.at(i * 3 + 2) == QLatin1Char(' '), hex.mid(i * 3, 3));
    }

    // ... and back, also without blanks, in lower case and with extra blanks.
    const QString compactLower = QString(hex).remove(QLatin1Char(' ')).toLower();
    const QString spread = QStringLiteral("  ") + QString(hex).replace(QLatin1Char(' '), QStringLiteral("   "));
    for (const QString &form : {hex, compactLower, spread}) {
        bool ok = false;
        FUZZ_CHECK(Converters::fromHexText(form, nullptr, &ok) == bytes && ok, form.left(80));
    }

    // Pairs of digits get their blank back.
    QString digits = compactLower;
    FUZZ_CHECK(Converters::SpacePairs(digits) == hex.toLower() && digits.isEmpty(), compactLower.left(80));

    // Any text at all, as single bytes and as UTF-8.
    checkReader(QString::fromLatin1(bytes));
    checkReader(QString::fromUtf8(bytes));
    return 0;
}
