#include "monitor/MonitorDecoder.h"
#include "link/Cp1251.h"
#include <cmath>

namespace {
constexpr int kReferenceWord = 17;
constexpr int kBatteryWord = 14;
constexpr int kSupplyWord = 15;
// Channel dividers.
constexpr double kBatteryDivider = 133.6 / 30;
constexpr double kSupplyDivider = 110.0 / 10;
constexpr double kInputDivider = 131.0 / 30;
}

MonitorReadings::MonitorReadings()
{
    volt.fill(kDesignText);
    percent.fill(kDesignText);
    range.fill(kDesignText);
    state.fill(kDesignText);
    sensors.fill(kDesignText);
    battery = supply = cpu = kDesignText;
}

MonitorDecoder::Words MonitorDecoder::words(const QByteArray &reply)
{
    Words w{};
    for (int k = 1; k <= kWords && 2 * k <= reply.size(); ++k)
        w[k] = quint16(quint8(reply.at(2 * k - 2)) << 8 | quint8(reply.at(2 * k - 1)));
    return w;
}

MonitorDecoder::Kind MonitorDecoder::kindOf(const QByteArray &reply)
{
    if (reply.size() != kFrameSize)
        return Kind::Invalid;
    switch (quint8(reply.at(kFrameSize - 1))) {
    case 0:
        return Kind::Measurement;
    case 1:
        return Kind::Sensors;
    default:
        return Kind::Invalid;
    }
}

std::optional<double> MonitorDecoder::leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    const auto isDigit = [&text](qsizetype at) {
        return at < text.size() && text.at(at) >= QLatin1Char('0') && text.at(at) <= QLatin1Char('9');
    };
    int digits = 0;
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString MonitorDecoder::stateLetter(std::optional<double> percent, const QString &upper, const QString &lower)
{
    const std::optional<double> u = leadingNumber(upper);
    const std::optional<double> l = leadingNumber(lower);
    // Without a level or a numeric range there is nothing to judge: no letter rather than a false "H".
    if (!percent || !u || !l)
        return QString();
    const double p = *percent;
    if (p >= *u)
        return QStringLiteral("H");
    if (p <= *l)
        return QStringLiteral("L");
    if (*l <= p && p <= *u)
        return QStringLiteral("n");
    return QStringLiteral("err");
}

QString MonitorDecoder::voltText(std::optional<double> volts, const QLocale &locale)
{
    if (!volts || !std::isfinite(*volts))
        return kPlaceholder;
    // std::nearbyint in the default rounding mode rounds halves to even.
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(std::nearbyint(*volts * 100.0) / 100.0, 'f', 2);
}

QString MonitorDecoder::percentText(std::optional<double> percent)
{
    if (!percent || !std::isfinite(*percent))
        return kPlaceholder;
    return QString::number(qint64(std::nearbyint(*percent)));
}

QString MonitorDecoder::sensorReading(const QByteArray &frame, int sensor)
{
    const QByteArray marker = "T" + QByteArray::number(sensor) + "=";
    const qsizetype at = frame.indexOf(marker);
    if (at < 0)
        return QString();
    const qsizetype from = at + marker.size();
    const qsizetype end = frame.indexOf(';', from);
    // The character before ";" is the unit ("C"); with nothing else between the marker and ";"
    // the reading is empty.
    if (end < 0 || end - from < 2)
        return QString();
    return Cp1251::decode(frame.mid(from, end - from - 1));
}

void MonitorDecoder::measure(MonitorReadings &v)
{
    const auto &w = v.counts;
    // A count above full scale is no reading: it spoils what is computed from it and nothing else.
    const auto valid = [&w](int word) { return w[word] <= kFullScale; };
    const double reference = w[kReferenceWord];
    const bool referenceUsable = valid(kReferenceWord) && reference > 0;
    // A reference count of 0 leaves every voltage undefined; a battery of 0 every level.
    const auto volts = [&](int word, double divider) -> std::optional<double> {
        if (!referenceUsable || !valid(word))
            return std::nullopt;
        return w[word] * kVrefVolt / reference * divider;
    };
    v.cpuValue = referenceUsable ? std::optional<double>(kFullScale * kVrefVolt / reference) : std::nullopt;
    v.batteryValue = volts(kBatteryWord, kBatteryDivider);
    v.supplyValue = volts(kSupplyWord, kSupplyDivider);
    for (int i = 1; i <= MonitorReadings::kRows; ++i) {
        v.voltValue[i] = volts(i, kInputDivider);
        if (v.voltValue[i] && v.batteryValue && *v.batteryValue > 0)
            v.percentValue[i] = *v.voltValue[i] * 100.0 / *v.batteryValue;
        else
            v.percentValue[i] = std::nullopt;
    }
}

MonitorDecoder::Kind MonitorDecoder::decode(const QByteArray &reply, const Thresholds &thresholds,
                                            const QLocale &locale, MonitorReadings &shown)
{
    const Kind kind = kindOf(reply);
    if (kind == Kind::Sensors) {
        for (int n = 1; n <= MonitorReadings::kSensors; ++n)
            shown.sensors[n] = sensorReading(reply, n);
        return kind;
    }
    if (kind != Kind::Measurement)
        return kind;

    const Words w = words(reply);
    for (int k = 1; k <= MonitorReadings::kCounts; ++k)
        shown.counts[k] = w[k];
    measure(shown);
    for (int i = 1; i <= MonitorReadings::kRows; ++i) {
        shown.volt[i] = voltText(shown.voltValue[i], locale) + QLatin1Char(' ');
        shown.percent[i] = percentText(shown.percentValue[i]) + QLatin1Char(' ');
    }
    shown.battery = voltText(shown.batteryValue, locale);
    shown.supply = voltText(shown.supplyValue, locale);
    shown.cpu = voltText(shown.cpuValue, locale);

    for (int j = 1; j <= MonitorReadings::kInputs; ++j) {
        const QString upper = thresholds ? thresholds(j, true) : QString();
        const QString lower = thresholds ? thresholds(j, false) : QString();
        shown.range[j] = lower + QStringLiteral(" - ") + upper;
        shown.state[j] = stateLetter(shown.percentValue[j], upper, lower);
    }
    return kind;
}

QString MonitorDecoder::designCaption(int row)
{
    return row == MonitorReadings::kRows ? QStringLiteral("УПР ") : QString::number(row) + QLatin1Char(' ');
}

MonitorDecoder::Layout MonitorDecoder::designLayout()
{
    Layout layout;
    for (int r = 1; r <= MonitorReadings::kInputs; ++r)
        layout[r] = {designCaption(r), true};
    return layout;
}

std::optional<MonitorDecoder::Layout> MonitorDecoder::rowLayout(int inputs)
{
    // Rows keep their frame-word numbers; a smaller model uses every third or a subset of rows.
    std::array<int, MonitorReadings::kInputs + 1> input{};   // 0: row not used
    switch (inputs) {
    case 4:
        input = {0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0};
        break;
    case 8:
        input = {0, 1, 2, 3, 4, 0, 0, 5, 6, 7, 8, 0, 0};
        break;
    case 12:
        input = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        break;
    default:
        return std::nullopt;
    }
    Layout layout;
    for (int r = 1; r <= MonitorReadings::kInputs; ++r) {
        if (input[r] > 0)
            layout[r] = {QString::number(input[r]) + QLatin1Char(' '), true};
        else
            layout[r] = {QStringLiteral(" "), false};
    }
    return layout;
}

const QStringList &MonitorDecoder::modelNames()
{
    static const QStringList names{QStringLiteral("ЗОРГЕЛ-GSM4"),  QStringLiteral("ЗОРГЕЛ-GSM4T"),
                                   QStringLiteral("ЗОРГЕЛ-GSM8"),  QStringLiteral("ЗОРГЕЛ-GSM8T"),
                                   QStringLiteral("ЗОРГЕЛ-GSM12"), QStringLiteral("ЗОРГЕЛ-GSM12T")};
    return names;
}

int MonitorDecoder::pictureIndex(const QString &modelName)
{
    return int(modelNames().indexOf(modelName));
}
