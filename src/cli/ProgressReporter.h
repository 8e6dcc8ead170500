#pragma once
#include <QString>
#include <functional>
#include <optional>
#include <utility>

// Progress of a transfer on standard error: a bar redrawn in place on a terminal, otherwise a
// plain line at each further tenth, so logs of scripted runs stay short.
class ProgressReporter {
public:
    using Writer = std::function<void(const QString &text)>;
    static constexpr int kBarWidth = 40;

    ProgressReporter(bool terminal, bool quiet, Writer writer)
        : m_terminal(terminal), m_quiet(quiet), m_writer(std::move(writer))
    {
    }

    // The terminal's width; the bar narrows (or goes) so the line never wraps. 0: not known.
    void setColumns(int columns) { m_columns = columns; }
    void begin(const QString &caption);
    void update(qint64 count, qint64 total);
    // Ends the bar's line; nothing in plain mode.
    void end();

    // The status strip's counter "640 / 2370 байт" as numbers.
    static std::optional<std::pair<qint64, qint64>> parseCounter(const QString &counter);
    // "[#####.....]" with count clamped to 0..total.
    static QString bar(qint64 count, qint64 total, int width = kBarWidth);

private:
    bool m_terminal;
    bool m_quiet;
    Writer m_writer;
    QString m_caption;
    QString m_lastDrawn;
    int m_lastTenth = -1;
    bool m_open = false;
    int m_columns = 0;
};
