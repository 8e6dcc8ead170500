#pragma once
#include "cli/CliOptions.h"
#include "monitor/MonitorDecoder.h"
#include "monitor/MonitorJournal.h"
#include "monitor/MonitorJournalFile.h"
#include "unit/UnitJob.h"
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

class QDateTime;

// monitor: an identified unit's live state, one line (or CSV row) per frame on standard output,
// polled every --period until --count frames, Ctrl+C or a signal that ends the run; --journal
// writes the window's spreadsheet CSV of every frame as the frames come.
class MonitorCommand : public UnitJob {
    Q_OBJECT
public:
    using Writer = std::function<void(const QString &text)>;
    // Monitoring ends after this many polls in a row without a frame.
    static constexpr int kMaxFailedPolls = 5;
    // A unit that answered its name but leaves a monitoring request unanswered: said at once.
    inline static const QString kSilent =
        QStringLiteral("Устройство не ответило на запрос мониторинга за %1 с. Проверьте кабель, скорость порта "
                       "(--speed) и питание устройства.");

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
    // The journal file's last rows, when asked for; the reason it could not be written, or empty.
    QString finishJournal();
    QString journalProblem() const;
    // The last request went unanswered: not a byte back.
    bool silent() const;
    static QString silentText();
    void end(int code, const QString &text);

    const CliOptions &m_options;
    Writer m_out;
    QTimer m_next;
    QElapsedTimer m_pollBegan;
    MonitorJournal m_rows;      // --csv: the row being made
    MonitorJournal m_journal;   // --journal: the frames not yet in the file
    std::unique_ptr<MonitorJournalFile> m_journalFile;
    bool m_headerShown = false;
    int m_frames = 0;
    int m_failures = 0;
};
