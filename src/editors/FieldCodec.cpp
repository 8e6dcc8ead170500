#include "editors/FieldCodec.h"
#include "config/ConfigImage.h"
#include "link/Converters.h"
#include "link/Cp1251.h"
#include <QRegularExpression>
#include <limits>

namespace {
constexpr int kTemperatureBound = 99;
constexpr int kFlagCells = 16;

bool allOf(const QString &text, const QString &allowed)
{
    for (const QChar c : text) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digit && !allowed.contains(c))
            return false;
    }
    return true;
}

// Digits "0".."9" plus the extra characters of the class.
bool inClass(const QString &text, int characterClass)
{
    switch (characterClass) {
    case 0:
        return true;
    case 1:
        return allOf(text, QString());
    case 2:
        return allOf(text, QStringLiteral("#*"));
    default:
        return false;
    }
}

// Whole degrees are shown as integers, half degrees as ".5" without a leading zero.
QString halfDegrees(int twice)
{
    if (twice % 2 == 0)
        return QString::number(twice / 2);
    const int whole = (twice < 0 ? -twice : twice) / 2;
    return QString(twice < 0 ? QStringLiteral("-") : QString()) + (whole ? QString::number(whole) : QString())
        + QStringLiteral(".5");
}
}

qint64 FieldCodec::numericValue(const QString &text)
{
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 10 - 10;
    int i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
        value = qMin(kLimit, value * 10 + (text.at(i).unicode() - '0'));
    return negative ? -value : value;
}

QString FieldCodec::collectHex(const ConfigImage &image, int start, int maxCells)
{
    QString hex;
    for (int i = 0; i < maxCells; ++i) {
        const QString cell = image.cell(start + i);
        if (cell == QLatin1String("00"))
            break;
        hex += cell;   // an empty cell adds nothing
    }
    return hex;
}

FieldCodec::Shown FieldCodec::PokazatTekst(const ConfigImage &image, int start, int maxCells)
{
    Shown shown;
    const QString hex = collectHex(image, start, maxCells);
    if (hex.isEmpty())
        return shown;
    shown.hasData = true;
    shown.text = Cp1251::decode(Converters::fromHexText(hex));
    return shown;
}

bool FieldCodec::textValid(const QString &text, int minLength, int maxLength, std::optional<int> minValue,
                           std::optional<int> maxValue, int characterClass)
{
    // A character without a code (or a NUL, which would end the text early) cannot be stored.
    if (text.contains(QChar(0)) || !Cp1251::canEncode(text))
        return false;
    const qsizetype length = Cp1251::encode(text).size();
    if (length < minLength || length > maxLength)
        return false;
    const qint64 value = numericValue(text);
    if (maxValue && value > *maxValue)
        return false;
    if (minValue && value < *minValue)
        return false;
    return inClass(text, characterClass);
}

void FieldCodec::storeText(ConfigImage &image, const QString &text, int start)
{
    const QByteArray bytes = Cp1251::encode(text);
    for (int i = 0; i < bytes.size(); ++i)
        image.setByte(start + i, static_cast<unsigned char>(bytes.at(i)));
    image.setCell(start + int(bytes.size()), QStringLiteral("00"));
}

bool FieldCodec::ZapisatTekst(ConfigImage &image, const QString &text, int start, std::optional<int> minValue,
                              std::optional<int> maxValue, int minLength, int maxLength, int characterClass)
{
    if (!textValid(text, minLength, maxLength, minValue, maxValue, characterClass))
        return false;
    storeText(image, text, start);
    return true;
}

FieldCodec::Shown FieldCodec::PokazatTemperaturu(const ConfigImage &image, int a, int b, QChar kind)
{
    Shown shown;
    const int high = image.byteAt(a);
    const int low = image.byteAt(b);
    if (high < 0 || low < 0)
        return shown;
    const int n = qint16(quint16(high << 8 | low));
    const int twice = kind == QLatin1Char('H') ? n + 4 : n;
    shown.hasData = true;
    shown.text = halfDegrees(twice);
    shown.wellFormed = temperatureValid(shown.text, -kTemperatureBound, kTemperatureBound);
    return shown;
}

bool FieldCodec::temperatureValid(const QString &text, int min, int max)
{
    static const QRegularExpression wholeDegrees(QStringLiteral("^[+-]?[0-9]+$"));
    const QString trimmed = text.trimmed();
    // An empty box means 0 degrees.
    if (trimmed.isEmpty())
        return 0 >= min && 0 <= max;
    if (!wholeDegrees.match(trimmed).hasMatch())
        return false;
    const qint64 value = numericValue(trimmed);
    return value >= min && value <= max;
}

bool FieldCodec::ZapisatTemperaturu(ConfigImage &image, const QString &text, int a, int b, int min, int max,
                                    QChar kind)
{
    if (!temperatureValid(text, min, max))
        return false;
    const int degrees = int(numericValue(text.trimmed()));
    const int n = kind == QLatin1Char('H') ? (degrees - 2) * 2 : degrees * 2;
    const quint16 word = quint16(qint16(n));
    image.setByte(a, static_cast<unsigned char>(word >> 8));
    image.setByte(b, static_cast<unsigned char>(word & 0xFF));
    return true;
}

bool FieldCodec::phoneValid(const QString &text)
{
    if (text.size() < 11 || text.size() > 12 || !text.startsWith(QLatin1Char('+')))
        return false;
    return allOf(text.mid(1), QStringLiteral("*"));
}

bool FieldCodec::ZapisatNomer(ConfigImage &image, const QString &text, int start)
{
    if (!phoneValid(text))
        return false;
    storeText(image, text, start);
    return true;
}

FieldCodec::Shown FieldCodec::PokazatFlag(const ConfigImage &image, int position)
{
    Shown shown;
    const QString hex = collectHex(image, position, kFlagCells);
    if (hex.isEmpty())
        return shown;
    shown.hasData = true;
    shown.checked = hex == QLatin1String("31");
    shown.wellFormed = shown.checked || hex == QLatin1String("30");
    // What the cells hold, for a reader that prints a flag holding neither value as it is.
    shown.text = Cp1251::decode(Converters::fromHexText(hex));
    return shown;
}

void FieldCodec::ZapisatFlag(ConfigImage &image, int position, bool on)
{
    image.setCell(position, on ? QStringLiteral("31") : QStringLiteral("30"));
    image.setCell(position + 1, QStringLiteral("00"));
}

FieldCodec::Shown FieldCodec::PokazatPorog(const ConfigImage &image, int position)
{
    Shown shown;
    const int value = image.byteAt(position);
    if (value < 0)
        return shown;
    shown.hasData = true;
    shown.text = QString::number(value);
    // Above 100 (an erased "FF") is shown as it is, without a mark of its own: only the pair's
    // order marks it. Typing such a value is still refused.
    return shown;
}

bool FieldCodec::thresholdValid(const QString &text)
{
    return textValid(text, 1, 3, 0, kThresholdMax, 1);
}

bool FieldCodec::ZapisatPorog(ConfigImage &image, const QString &text, int position)
{
    if (!thresholdValid(text))
        return false;
    image.setByte(position, static_cast<unsigned char>(numericValue(text)));
    return true;
}

FieldCodec::Shown FieldCodec::show(const ConfigImage &image, const FieldSpec &field)
{
    switch (field.kind) {
    case FieldKind::Text:
    case FieldKind::Phone: {
        Shown shown = PokazatTekst(image, field.position, field.shownCells);
        if (shown.hasData)
            shown.wellFormed = valid(field, shown.text) && terminated(image, field);
        return shown;
    }
    case FieldKind::Temperature:
        return PokazatTemperaturu(image, field.position, field.positionLow, field.temperatureKind);
    case FieldKind::Flag:
        return PokazatFlag(image, field.position);
    case FieldKind::Threshold:
        return PokazatPorog(image, field.position);
    }
    return Shown();
}

bool FieldCodec::valid(const FieldSpec &field, const QString &text)
{
    switch (field.kind) {
    case FieldKind::Text:
        return textValid(text, field.minLength, field.maxLength, field.minValue, field.maxValue,
                         field.characterClass);
    case FieldKind::Phone:
        return phoneValid(text);
    case FieldKind::Temperature:
        return temperatureValid(text, field.minValue.value_or(-kTemperatureBound),
                                field.maxValue.value_or(kTemperatureBound));
    case FieldKind::Flag:
        return text == QLatin1String("1") || text == QLatin1String("0");
    case FieldKind::Threshold:
        return textValid(text, field.minLength, field.maxLength, field.minValue, field.maxValue,
                         field.characterClass);
    }
    return false;
}

bool FieldCodec::store(ConfigImage &image, const FieldSpec &field, const QString &text)
{
    switch (field.kind) {
    case FieldKind::Text:
        return ZapisatTekst(image, text, field.position, field.minValue, field.maxValue, field.minLength,
                            field.maxLength, field.characterClass);
    case FieldKind::Phone:
        return ZapisatNomer(image, text, field.position);
    case FieldKind::Temperature:
        return ZapisatTemperaturu(image, text, field.position, field.positionLow,
                                  field.minValue.value_or(-kTemperatureBound),
                                  field.maxValue.value_or(kTemperatureBound), field.temperatureKind);
    case FieldKind::Flag:
        if (!valid(field, text))
            return false;
        ZapisatFlag(image, field.position, text == QLatin1String("1"));
        return true;
    case FieldKind::Threshold:
        if (!valid(field, text))
            return false;
        image.setByte(field.position, static_cast<unsigned char>(numericValue(text)));
        return true;
    }
    return false;
}

bool FieldCodec::terminated(const ConfigImage &image, const FieldSpec &field)
{
    const auto [first, last] = cellSpan(field);
    for (int p = first; p <= last; ++p)
        if (image.cell(p) == QLatin1String("00"))
            return true;
    return false;
}

QPair<int, int> FieldCodec::cellSpan(const FieldSpec &field)
{
    switch (field.kind) {
    case FieldKind::Text:
        return {field.position, field.position + field.maxLength};
    case FieldKind::Phone:
        return {field.position, field.position + 12};
    case FieldKind::Temperature:
        return {qMin(field.position, field.positionLow), qMax(field.position, field.positionLow)};
    case FieldKind::Flag:
        return {field.position, field.position + 1};
    case FieldKind::Threshold:
        return {field.position, field.position};
    }
    return {0, -1};
}
