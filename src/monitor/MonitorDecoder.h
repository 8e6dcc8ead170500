#pragma once
#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

// What the monitoring page shows, as texts, with the numbers behind them for the trend and the
// journal. Arrays are indexed by row (1..13), input (1..12) or sensor (1..6); index 0 is unused.
struct MonitorReadings {
    static constexpr int kRows = 13;      // 12 inputs and the control row "УПР"
    static constexpr int kInputs = 12;
    static constexpr int kSensors = 6;
    inline static const QString kDesignText = QStringLiteral("X");

    MonitorReadings();

    std::array<QString, kRows + 1> volt;        // Label8(i): "0.00" and a blank
    std::array<QString, kRows + 1> percent;     // Label11(i): whole percent and a blank
    std::array<QString, kInputs + 1> range;     // Label12(j): "L - U"
    std::array<QString, kInputs + 1> state;     // Label15(j): "H", "L", "n", "err" or ""
    QString battery, supply, cpu;               // Label8(14), (15), (17)
    std::array<QString, kSensors + 1> sensors;  // Label8(21..26)

    std::array<std::optional<double>, kRows + 1> voltValue;
    std::array<std::optional<double>, kRows + 1> percentValue;
    std::optional<double> batteryValue, supplyValue, cpuValue;
    // Counts of the last measurement frame, words 1..17 (index 0 unused); the values above follow
    // from them.
    static constexpr int kCounts = 17;
    std::array<quint16, kCounts + 1> counts{};
};

// The unit's 64-byte monitoring replies: the frame kind, the measurement frame (big-endian ADC
// counts scaled by the measured 1.2 V reference), the sensor text frame ("Tn=value;" items), the
// state letters against the inputs' normal ranges, and the row layout of the 4-, 8- and 12-input
// models. Plain logic: bytes in, texts and numbers out.
class MonitorDecoder {
public:
    static constexpr int kFrameSize = 64;
    static constexpr int kWords = 32;
    static constexpr int kFullScale = 1023;
    static constexpr double kVrefVolt = 1.2095;   // VREF_Volt
    // Shown where a value cannot be computed (a reference or battery count of 0, a count above
    // full scale).
    inline static const QString kPlaceholder = QStringLiteral("—");

    enum class Kind { Measurement, Sensors, Invalid };

    // The upper or lower threshold text of input 1..12, as the inputs page shows it.
    using Thresholds = std::function<QString(int input, bool upper)>;
    using Words = std::array<quint16, kWords + 1>;   // SlovaKadra(1..32)

    // Frame kind by the last byte; a reply that is not 64 bytes is Invalid. A count above full
    // scale does not spoil the frame, only the values computed from it.
    static Kind kindOf(const QByteArray &reply);
    static Words words(const QByteArray &reply);

    // The values a measurement frame's counts give (words 1..17 in counts): volts of the rows, their
    // levels, battery, supply and processor; nothing where a count is above full scale, the
    // reference is 0 or, for levels, the battery is 0.
    static void measure(MonitorReadings &values);

    // Decodes a reply into the shown readings: a measurement frame replaces the input table and the
    // voltages, a sensor frame the six sensor readings; an invalid frame changes nothing.
    static Kind decode(const QByteArray &reply, const Thresholds &thresholds, const QLocale &locale,
                       MonitorReadings &shown);

    // "H" at or above the upper bound, "L" at or below the lower one, "n" between; "" without a
    // level or without numeric bounds.
    static QString stateLetter(std::optional<double> percent, const QString &upper, const QString &lower);
    // The number a threshold text starts with ("." as decimal separator); empty when none.
    static std::optional<double> leadingNumber(const QString &text);
    // Rounded half to even to 2 decimals, "0.00" with the locale's decimal separator.
    static QString voltText(std::optional<double> volts, const QLocale &locale);
    // Rounded half to even to a whole number.
    static QString percentText(std::optional<double> percent);
    // The reading of sensor 1..6 in a sensor text frame: the text after "Tn=" up to ";", less the
    // unit character before the ";". "" when the marker or the ";" is missing.
    static QString sensorReading(const QByteArray &frame, int sensor);

    struct Row {
        QString caption;
        bool visible = true;
    };
    using Layout = std::array<Row, MonitorReadings::kInputs + 1>;
    // Captions and visibility of rows 1..12 for 4, 8 or 12 inputs; nothing for any other count.
    static std::optional<Layout> rowLayout(int inputs);
    static Layout designLayout();
    // Row caption as designed: "1 " … "12 ", "УПР " for row 13.
    static QString designCaption(int row);

    // The six model names in picture order; pictureIndex gives -1 for any other text.
    static const QStringList &modelNames();
    static int pictureIndex(const QString &modelName);
};
