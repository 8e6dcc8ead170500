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
// the counts when the file is written, by the same rules as the page. Every row is also numbered,
// so a journal file written as the rows come (MonitorJournalFile) takes each one once, and the
// rows beyond the memory limit are counted, never dropped without a word.
class MonitorJournal {
public:
    // About fourteen hours at the shortest period; the oldest rows leave memory first beyond that
    // (the window's journal file keeps them).
    static constexpr int kMaxRows = 50000;
    inline static const QString kEmpty = QStringLiteral("Журнал пуст: показаний ещё нет.");
    inline static const QString kSaveFailed = QStringLiteral("Не удалось сохранить журнал: ");

    struct Format {
        QChar separator;
        QChar decimal;
        bool byteOrderMark;
        // Date, time of day and milliseconds in columns of their own, each a form a spreadsheet
        // takes as a date or a time; otherwise one column "yyyy-MM-dd HH:mm:ss.zzz".
        bool splitTime = false;
    };
    // "," between fields, "." in numbers, no byte-order mark: for scripts (the command line).
    static Format plainFormat() { return {QLatin1Char(','), QLatin1Char('.'), false, false}; }
    // What a spreadsheet opens in the user's locale: UTF-8 with a byte-order mark, the locale's
    // decimal separator, ";" between fields where that separator is ",", and the time split.
    static Format spreadsheetFormat(const QLocale &locale);

    // The unit the rows come from, named in a first column "Устройство" when set. A journal holds
    // one unit's rows: a face starts a new one when another unit answers.
    void setUnit(const QString &unit) { m_unit = unit; }
    QString unit() const { return m_unit; }
    // The input rows the readings were taken under (the unit's model); the file's columns follow it.
    void setLayout(const MonitorDecoder::Layout &layout) { m_layout = layout; }
    const MonitorDecoder::Layout &layout() const { return m_layout; }

    // A decoded reply: a measurement frame makes a row; a sensor frame's readings fill the sensor
    // columns of the next row (or of a row of their own at the end of the file).
    void appendFrame(const QDateTime &time, const MonitorReadings &readings, MonitorDecoder::Kind kind);
    // A row with everything the readings hold as they stand.
    void append(const QDateTime &time, const MonitorReadings &readings);
    void clear();
    // Rows the file would have.
    int size() const { return int(m_rows.size()) + (m_pending ? 1 : 0); }
    // Rows no longer in memory: beyond the limit, or given up once a file holds them.
    qint64 dropped() const { return m_serial - m_rows.size(); }
    // Gives up the rows made so far (a file holds them); the sensor readings waiting for a row stay.
    void dropWritten() { m_rows.clear(); }
    // Rows made since the journal began; the next row's number.
    qint64 serial() const { return m_serial; }
    // The CSV lines of the rows numbered from `first` on that memory still holds, and with
    // `pending` the sensor readings still waiting for a row; each line ends in CR LF.
    QByteArray lines(qint64 first, bool pending, const MonitorDecoder::Layout &layout, const Format &format) const;
    // The header line, ending in CR LF.
    QByteArray headerLine(const MonitorDecoder::Layout &layout, const Format &format) const;
    // Bytes one row takes in memory.
    static constexpr int rowBytes();

    // The CSV text; columns follow the page: the visible input rows under their captions.
    QByteArray csv(const MonitorDecoder::Layout &layout, const Format &format = plainFormat()) const;
    // The same under the journal's own layout: what the window's file and a command line's
    // journal file hold.
    QByteArray csv(const Format &format) const { return csv(m_layout, format); }
    QStringList header(const MonitorDecoder::Layout &layout, const Format &format = plainFormat()) const;

    // Asks for a file name and writes the CSV; false when cancelled, empty or not written
    // (the reason is shown).
    bool save(FileDialogs &dialogs, MessageSink &messages, const MonitorDecoder::Layout &layout,
              const Format &format, const QString &folder, const QDateTime &now) const;
    // What "Сохранить журнал" offers as the file name: the time, and the unit when known.
    QString defaultName(const QDateTime &now) const;

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
    qint64 m_serial = 0;
    std::optional<Row> m_pending;
    QString m_unit;
    MonitorDecoder::Layout m_layout = MonitorDecoder::designLayout();   // sensor readings waiting for the next measurement row
};

constexpr int MonitorJournal::rowBytes()
{
    return int(sizeof(Row));
}
