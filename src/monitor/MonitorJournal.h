#pragma once
#include "monitor/MonitorDecoder.h"
#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class FileDialogs;
class MessageSink;

// The readings polled so far, kept as numbers (counts, state letters, sensor readings: under 100
// bytes a row) for the "Сохранить журнал" button, which writes them as CSV (a header row, one row
// per measurement frame) through a save dialog, atomically. Volts and levels are worked out from
// the counts when the file is written, by the same rules as the page.
class MonitorJournal {
public:
    // About fourteen hours at the shortest period; the oldest rows go first beyond that.
    static constexpr int kMaxRows = 50000;
    inline static const QString kEmpty = QStringLiteral("Журнал пуст: показаний ещё нет.");
    inline static const QString kSaveFailed = QStringLiteral("Не удалось сохранить журнал: ");

    struct Format {
        QChar separator;
        QChar decimal;
        bool byteOrderMark;
    };
    // "," between fields, "." in numbers, no byte-order mark: for scripts (the command line).
    static Format plainFormat() { return {QLatin1Char(','), QLatin1Char('.'), false}; }
    // What a spreadsheet opens in the user's locale: UTF-8 with a byte-order mark, the locale's
    // decimal separator, and ";" between fields where that separator is ",".
    static Format spreadsheetFormat(const QLocale &locale);

    // A decoded reply: a measurement frame makes a row; a sensor frame's readings fill the sensor
    // columns of the next row (or of a row of their own at the end of the file).
    void appendFrame(const QDateTime &time, const MonitorReadings &readings, MonitorDecoder::Kind kind);
    // A row with everything the readings hold as they stand.
    void append(const QDateTime &time, const MonitorReadings &readings);
    void clear();
    // Rows the file would have.
    int size() const { return int(m_rows.size()) + (m_pending ? 1 : 0); }
    // Bytes one row takes in memory.
    static constexpr int rowBytes();

    // The CSV text; columns follow the page: the visible input rows under their captions.
    QByteArray csv(const MonitorDecoder::Layout &layout, const Format &format = plainFormat()) const;
    QStringList header(const MonitorDecoder::Layout &layout) const;

    // Asks for a file name and writes the CSV; false when cancelled, empty or not written
    // (the reason is shown).
    bool save(FileDialogs &dialogs, MessageSink &messages, const MonitorDecoder::Layout &layout,
              const Format &format, const QString &folder, const QDateTime &now) const;

private:
    struct Row {
        qint64 time = 0;                                                // ms since the epoch
        std::array<quint16, MonitorReadings::kCounts> counts{};          // words 1..17
        std::array<char, MonitorReadings::kInputs> state{};              // 'H', 'L', 'n', 'e' (err), 0
        std::array<float, MonitorReadings::kSensors> sensor{};           // NaN: no reading
        std::array<qint8, MonitorReadings::kSensors> sensorDecimals{};
        bool measured = false;
    };
    static void setSensors(Row &row, const MonitorReadings &readings);
    static void setMeasurement(Row &row, const MonitorReadings &readings);
    QString line(const Row &row, const MonitorDecoder::Layout &layout, const Format &format) const;
    void push(const Row &row);

    QList<Row> m_rows;
    std::optional<Row> m_pending;   // sensor readings waiting for the next measurement row
};

constexpr int MonitorJournal::rowBytes()
{
    return int(sizeof(Row));
}
