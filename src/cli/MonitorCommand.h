#pragma once
#include "cli/CliOptions.h"
#include "monitor/MonitorDecoder.h"
#include "monitor/MonitorJournal.h"
#include "unit/UnitJob.h"
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

class QDateTime;

// monitor: an identified unit's live state, one line (or CSV row) per frame on standard output,
// polled every --period until --count frames or Ctrl+C; --journal writes the window's spreadsheet
// CSV of every frame at the end.
class MonitorCommand : public UnitJob {
    Q_OBJECT
public:
    using Writer = std::function<void(const QString &text)>;
    // Monitoring ends after this many polls in a row without a frame.
    static constexpr int kMaxFailedPolls = 5;

    MonitorCommand(UnitSession &unit, UnitMessages &messages, const CliOptions &options, Writer out,
                   QObject *parent = nullptr);
    void start() override;

    // One decoded frame as a line: the time, then the visible inputs, "УПР" and the three supply
    // voltages of a measurement frame, or the six sensors of a sensor frame.
    static QString frameLine(const MonitorReadings &readings, const MonitorDecoder::Layout &layout, bool measurement,
                             const QDateTime &time);

private:
    void poll();
    void polled();
    void shown(const QDateTime &now);
    // The journal file, when asked for; the reason it could not be written, or empty.
    QString writeJournal();
    void end(int code, const QString &text);

    const CliOptions &m_options;
    Writer m_out;
    QTimer m_next;
    QElapsedTimer m_pollBegan;
    MonitorJournal m_rows;      // --csv: the row being made
    MonitorJournal m_journal;   // --journal: every frame
    bool m_headerShown = false;
    int m_frames = 0;
    int m_failures = 0;
};
