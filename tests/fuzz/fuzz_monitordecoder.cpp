// Monitoring replies: the kind follows the length and the last byte; a count above full scale
// spoils only the values computed from it; a reply of another kind leaves everything shown as it was; a measurement frame shows the voltages and levels
// the ADC counts give, rounded as shown, and touches no sensor; a sensor frame shows each sensor's
// text and touches nothing else; the decimal separator is the only thing a locale changes.
#include "FuzzSupport.h"
#include "monitor/MonitorDecoder.h"
#include <QRegularExpression>
#include <cmath>

namespace {

constexpr double kVref = 1.2095;

bool sameInputs(const MonitorReadings &a, const MonitorReadings &b)
{
    return a.volt == b.volt && a.percent == b.percent && a.range == b.range && a.state == b.state
        && a.battery == b.battery && a.supply == b.supply && a.cpu == b.cpu && a.voltValue == b.voltValue
        && a.percentValue == b.percentValue && a.batteryValue == b.batteryValue && a.supplyValue == b.supplyValue
        && a.cpuValue == b.cpuValue;
}

bool near(std::optional<double> got, std::optional<double> expected)
{
    if (!got || !expected)
        return !got && !expected;
    return std::fabs(*got - *expected) <= 1e-9 * std::max(1.0, std::fabs(*expected));
}

// "12.34" within half a hundredth of the value, or the placeholder for no value.
void checkVolt(const QString &text, std::optional<double> value, const char *what)
{
    if (!value) {
        FUZZ_CHECK(text == MonitorDecoder::kPlaceholder, QStringLiteral("%1: %2").arg(QLatin1String(what), text));
        return;
    }
    static const QRegularExpression format(QStringLiteral("^[0-9]+\\.[0-9][0-9]$"));
    FUZZ_CHECK(format.match(text).hasMatch() && std::fabs(text.toDouble() - *value) <= 0.005 + 1e-9,
               QStringLiteral("%1: \"%2\" for %3").arg(QLatin1String(what), text).arg(*value, 0, 'g', 17));
}

std::optional<double> leading(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[ \\t]*([+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+))"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toDouble();
}

QString letter(std::optional<double> p, const QString &upper, const QString &lower)
{
    const std::optional<double> u = leading(upper), l = leading(lower);
    if (!p || !u || !l)
        return QString();
    if (*p >= *u)
        return QStringLiteral("H");
    if (*p <= *l)
        return QStringLiteral("L");
    if (*l <= *p && *p <= *u)
        return QStringLiteral("n");
    return QStringLiteral("err");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    const QByteArray input = Fuzz::bytesOf(data, size);
    // The first 64 bytes (or fewer) are the reply; what follows supplies the threshold texts.
    const QByteArray reply = input.left(MonitorDecoder::kFrameSize);
    const QList<QByteArray> texts = input.mid(MonitorDecoder::kFrameSize).split('|');
    const auto thresholds = [&texts](int j, bool upper) {
        return QString::fromLatin1(texts.value((2 * j + (upper ? 0 : 1)) % std::max<qsizetype>(1, texts.size())));
    };

    // The kind.
    MonitorDecoder::Kind expectedKind = MonitorDecoder::Kind::Invalid;
    const MonitorDecoder::Words w = MonitorDecoder::words(reply);
    if (reply.size() == MonitorDecoder::kFrameSize) {
        const auto last = static_cast<uchar>(reply.back());
        if (last == 0)
            expectedKind = MonitorDecoder::Kind::Measurement;
        else if (last == 1)
            expectedKind = MonitorDecoder::Kind::Sensors;
    }
    for (int k = 1; 2 * k <= reply.size(); ++k)
        FUZZ_CHECK(w[k] == (static_cast<uchar>(reply.at(2 * k - 2)) << 8 | static_cast<uchar>(reply.at(2 * k - 1))),
                   QString::number(k));

    MonitorReadings before;
    before.sensors[3] = QStringLiteral("earlier");
    before.volt[2] = QStringLiteral("earlier");
    MonitorReadings shown = before;
    const MonitorDecoder::Kind kind = MonitorDecoder::decode(reply, thresholds, QLocale::c(), shown);
    FUZZ_CHECK(kind == expectedKind, QStringLiteral("kind %1, expected %2 for %3").arg(int(kind)).arg(int(expectedKind)).arg(Fuzz::dump(reply, 64)));

    if (kind == MonitorDecoder::Kind::Invalid) {
        FUZZ_CHECK(sameInputs(shown, before) && shown.sensors == before.sensors, QStringLiteral("invalid frame changed the page"));
        return 0;
    }
    if (kind == MonitorDecoder::Kind::Sensors) {
        FUZZ_CHECK(sameInputs(shown, before), QStringLiteral("sensor frame changed the inputs"));
        for (int n = 1; n <= MonitorReadings::kSensors; ++n) {
            const QByteArray marker = "T" + QByteArray::number(n) + "=";
            const qsizetype at = reply.indexOf(marker);
            QString expected;
            if (at >= 0) {
                const qsizetype end = reply.indexOf(';', at + 3);
                if (end >= at + 5)
                    expected = QString::fromLatin1(reply.mid(at + 3, end - at - 4));
            }
            // Windows-1251 and Latin-1 agree on everything but the letters; compare lengths there.
            FUZZ_CHECK(shown.sensors[n].size() == expected.size(),
                       QStringLiteral("T%1: \"%2\" vs \"%3\"").arg(n).arg(shown.sensors[n], expected));
        }
        return 0;
    }

    // A measurement frame.
    FUZZ_CHECK(shown.sensors == before.sensors, QStringLiteral("measurement frame changed the sensors"));
    const double r = w[17];
    const auto volts = [r](double count, double divider) -> std::optional<double> {
        if (r <= 0 || r > 1023 || count > 1023)
            return std::nullopt;
        return count * kVref / r * divider;
    };
    const std::optional<double> battery = volts(w[14], 133.6 / 30);
    FUZZ_CHECK(near(shown.batteryValue, battery) && near(shown.supplyValue, volts(w[15], 110.0 / 10))
                   && near(shown.cpuValue, volts(1023, 1)),
               QStringLiteral("battery, supply or processor"));
    checkVolt(shown.battery, shown.batteryValue, "battery");
    checkVolt(shown.supply, shown.supplyValue, "supply");
    checkVolt(shown.cpu, shown.cpuValue, "cpu");
    for (int i = 1; i <= MonitorReadings::kRows; ++i) {
        const std::optional<double> v = volts(w[i], 131.0 / 30);
        const std::optional<double> p = v && battery && *battery > 0 ? std::optional<double>(*v * 100 / *battery) : std::nullopt;
        FUZZ_CHECK(near(shown.voltValue[i], v) && near(shown.percentValue[i], p), QStringLiteral("row %1").arg(i));
        FUZZ_CHECK(shown.volt[i].endsWith(QLatin1Char(' ')) && shown.percent[i].endsWith(QLatin1Char(' ')),
                   shown.volt[i] + QLatin1Char('|') + shown.percent[i]);
        checkVolt(shown.volt[i].chopped(1), v, "row");
        if (p) {
            bool ok = false;
            const qint64 whole = shown.percent[i].chopped(1).toLongLong(&ok);
            FUZZ_CHECK(ok && std::fabs(double(whole) - *p) <= 0.5 + 1e-9, shown.percent[i]);
        } else {
            FUZZ_CHECK(shown.percent[i].chopped(1) == MonitorDecoder::kPlaceholder, shown.percent[i]);
        }
        if (i > MonitorReadings::kInputs)
            continue;
        const QString upper = thresholds(i, true), lower = thresholds(i, false);
        FUZZ_CHECK(shown.range[i] == lower + QStringLiteral(" - ") + upper, shown.range[i]);
        const QString expected = letter(p, upper, lower);
        FUZZ_CHECK(shown.state[i] == expected, QStringLiteral("input %1: \"%2\" for %3 between \"%4\" and \"%5\"")
                                                   .arg(i).arg(shown.state[i]).arg(p ? *p : -1).arg(lower, upper));
    }

    // Under a locale with a decimal comma only the separator differs.
    MonitorReadings russian = before;
    MonitorDecoder::decode(reply, thresholds, QLocale(QLocale::Russian, QLocale::Russia), russian);
    for (int i = 1; i <= MonitorReadings::kRows; ++i)
        FUZZ_CHECK(QString(russian.volt[i]).replace(QLatin1Char(','), QLatin1Char('.')) == shown.volt[i], russian.volt[i]);
    FUZZ_CHECK(QString(russian.battery).replace(QLatin1Char(','), QLatin1Char('.')) == shown.battery, russian.battery);
    return 0;
}
