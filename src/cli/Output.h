#pragma once
#include "cli/ProgressReporter.h"
#include "link/PortProblem.h"
#include "link/ShownText.h"
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class DeviceInfo;

// Everything tarviks-cli prints: texts on standard output, messages and the progress line on
// standard error (a bar redrawn in place on a terminal, plain lines otherwise), the closing table
// of a batch, and what find tells of a unit as text or JSON. Whatever a text holds from a unit or
// a file, its control characters reach the terminal as visible escapes ("\x1B"); the only ones
// written are the program's own, to redraw the progress.
class Output {
public:
    using Writer = std::function<void(const QString &text)>;

    // One line of a batch's closing table.
    struct Row {
        int port = 0;
        QString unit;       // the name the unit gave, trimmed; empty when none answered
        int code = 0;       // the unit's exit status
        QString result;
        double seconds = 0;
        QString detail;     // why it failed, or what Ctrl+C left it with
        QString advice;     // no unit: what to do about the port's trouble
        PortProblem::Kind fault = PortProblem::Kind::None;
        bool named = false; // the port was named with --port
        QStringList warnings = {};   // what the unit's job warned of on the way
    };
    // A unit's state for the batch's progress display.
    struct UnitState {
        int port = 0;
        QString name;
        QString stage;      // lower case in the display
        std::optional<std::pair<qint64, qint64>> counted;
        bool done = false;
        QString result;
    };

    // A table's result with warnings after it, which follow the table.
    inline static const QString kWarningsMark = QStringLiteral(", есть предупреждения");

    Output(bool terminal, bool quiet, Writer out, Writer err);

    void setColumns(int columns) { m_progress.setColumns(columns); }
    bool terminal() const { return m_terminal; }
    bool quiet() const { return m_quiet; }
    void out(const QString &text) const { m_out(ShownText::escapedLines(text)); }
    // A whole line on standard error, always shown.
    void fail(const QString &text);
    // Informational, silenced by --quiet.
    void say(const QString &text);
    void err(const QString &text) const { m_err(ShownText::escapedLines(text)); }
    ProgressReporter &progress() { return m_progress; }

    // --- a batch ---
    // "COM3  Склад 1           [####....] 640/2370  запись конфигурации"
    static QString progressLine(const UnitState &unit);
    // The units' lines: redrawn in place on a terminal; otherwise a line when a unit's stage or
    // tenth changes (final: nothing more in plain mode).
    void draw(const QList<UnitState> &units, bool final);
    // A unit ended: its line, in plain mode.
    void ended(const UnitState &unit);
    static QString resultText(int code);
    static QString table(const QList<Row> &rows);
    // After the table: each unit's warnings and why it failed; for a port without a unit, its problem (unless quiet);
    // with no unit anywhere, the report of a unit not found as a single command gives it.
    static QString details(const QList<Row> &rows, bool quiet);

    // --- find ---
    // name: what the unit answered, without its padding; device: what the port number reaches.
    static QJsonObject unitJson(int port, const QString &device, const QString &name, const DeviceInfo &info,
                                bool complete = true);
    static QString unitText(int port, const QString &device, const DeviceInfo &info, bool complete = true);

    // A firmware transfer at 9600 baud: one line on how to move it in about a tenth of the time,
    // when the program offers 115200; empty otherwise.
    static QString speedHint(int speed, const QStringList &offered, bool backup = false);

private:
    bool m_terminal;
    bool m_quiet;
    Writer m_out;
    Writer m_err;
    ProgressReporter m_progress;
    int m_drawnLines = 0;
    QHash<int, QString> m_shown;   // plain mode: what was last written per port
};
