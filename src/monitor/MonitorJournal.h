#pragma once
#include "monitor/MonitorDecoder.h"
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

class FileDialogs;
class MessageSink;

// The readings polled so far, kept compactly for the "Сохранить журнал" button, which writes them
// as CSV (UTF-8, a header row, one row per decoded reply) through a save dialog, atomically.
class MonitorJournal {
public:
    // About seven hours at the shortest period; the oldest rows go first beyond that.
    static constexpr int kMaxRows = 50000;
    inline static const QString kEmpty = QStringLiteral("Журнал пуст: показаний ещё нет.");
    inline static const QString kSaveFailed = QStringLiteral("Не удалось сохранить журнал: ");

    // Records what the page shows after a decoded reply.
    void append(const QDateTime &time, const MonitorReadings &readings);
    void clear() { m_rows.clear(); }
    int size() const { return int(m_rows.size()); }

    // The CSV text; columns follow the page: the visible input rows under their captions.
    QByteArray csv(const MonitorDecoder::Layout &layout) const;
    QStringList header(const MonitorDecoder::Layout &layout) const;

    // Asks for a file name and writes the CSV; false when cancelled, empty or not written
    // (the reason is shown).
    bool save(FileDialogs &dialogs, MessageSink &messages, const MonitorDecoder::Layout &layout,
              const QString &folder, const QDateTime &now) const;

private:
    struct Row {
        QDateTime time;
        std::array<double, MonitorReadings::kRows + 1> volt;      // NaN: not shown
        std::array<double, MonitorReadings::kRows + 1> percent;
        std::array<QString, MonitorReadings::kInputs + 1> state;
        double battery, supply, cpu;
        std::array<QString, MonitorReadings::kSensors + 1> sensors;
    };
    QList<Row> m_rows;
};
