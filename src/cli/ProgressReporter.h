#pragma once
#include <QString>
#include <functional>
#include <optional>
#include <utility>

// Progress of a transfer on standard error: a bar redrawn in place on a terminal, otherwise a
// plain line at each further tenth, so logs of scripted runs stay short. On a terminal a transfer
// that goes on for a while also shows its elapsed time and, once enough is done, the time left.
class ProgressReporter {
public:
    using Writer = std::function<void(const QString &text)>;
    // Milliseconds on a steady clock; tests give their own.
    using Ticks = std::function<qint64()>;
    static constexpr int kBarWidth = 40;
    // The time is shown from this long after the transfer began ...
    static constexpr qint64 kTimeShownAfterMs = 2000;
    // ... and the time left once this share (in percent) of the transfer is done.
    static constexpr int kEstimateAfterPercent = 5;

    ProgressReporter(bool terminal, bool quiet, Writer writer)
        : m_terminal(terminal), m_quiet(quiet), m_writer(std::move(writer))
    {
    }

    // The terminal's width; the bar narrows (or goes) so the line never wraps. 0: not known.
    void setColumns(int columns) { m_columns = columns; }
    void setTicks(Ticks ticks) { m_ticks = std::move(ticks); }
    // Whether a bar is drawn at all: on a terminal, without --quiet.
    bool drawn() const { return m_terminal && !m_quiet; }
    void begin(const QString &caption);
    void update(qint64 count, qint64 total);
    // A note in place of the bar (a wait before a transfer): redrawn in place on a terminal,
    // otherwise written once until the next begin.
    void note(const QString &text);
    // Ends the bar's line; nothing in plain mode.
    void end();

    // "[#####.....]" with count clamped to 0..total.
    static QString bar(qint64 count, qint64 total, int width = kBarWidth);
    // "0:07", "12:40", "1:02:03".
    static QString duration(qint64 ms);
    // "0:12 / осталось 1:48" after elapsedMs with count of total done; "0:12" while too little is
    // done to say (or all of it); empty while the transfer is young.
    static QString timeText(qint64 elapsedMs, qint64 count, qint64 total);

private:
    bool m_terminal;
    bool m_quiet;
    Writer m_writer;
    QString m_caption;
    QString m_lastDrawn;
    int m_lastTenth = -1;
    bool m_open = false;
    bool m_noted = false;
    int m_columns = 0;
    Ticks m_ticks;
    qint64 m_began = 0;
};
