#pragma once
#include "cli/CliOptions.h"
#include "link/PortProblem.h"
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class ProgramSettings;
class PortNumbering;
class SerialPort;
class BatchUnit;

// tarviks-cli --all: every listed port is searched at once and every unit found is served by a
// UnitSession of its own, all driven by one event loop. A unit that fails never stops the others;
// Ctrl+C stops them all and says per unit what it is left with. Nothing here writes TX.cfg.
class BatchRun : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<void(const QString &text)>;
    // The port a unit is reached through; the default makes the real serial port.
    using PortFactory = std::function<std::unique_ptr<SerialPort>(int number)>;

    // One line of the closing table.
    struct Row {
        int port = 0;
        QString unit;       // the name the unit gave, trimmed; empty when none answered
        int code = 0;       // the unit's exit status
        QString result;
        double seconds = 0;
        QString detail;     // why it failed, or what Ctrl+C left it with
        QString advice;     // no unit: what to do about the port's trouble
        PortProblem::Kind fault = PortProblem::Kind::None;
    };

    BatchRun(ProgramSettings &settings, const CliOptions &options, QString programFolder, bool terminal,
             Writer out, Writer err, QObject *parent = nullptr);
    ~BatchRun() override;

    void setPortFactory(PortFactory factory) { m_portFactory = std::move(factory); }
    // Runs every unit to its end; returns the exit status: 0 when every unit succeeded, otherwise
    // the highest status of any unit (a port where no unit answered counts only when none did).
    int run();
    const QList<Row> &rows() const { return m_rows; }

    // The ports searched: every --port given, else the ports TX.cfg lists, each once.
    static QList<int> portsToSearch(const CliOptions &options, const ProgramSettings &settings);
    // "COM3 ZORGEL-GSM8.cf": the port and the unit's name, what a file name cannot hold as "_".
    static QString unitFileName(int port, const QString &name, const QString &suffix);
    static int exitStatus(const QList<Row> &rows);
    // The table's word for a unit's exit status.
    static QString resultText(int code);
    static QString table(const QList<Row> &rows);
    // After the table: why each unit failed; for a port without a unit, its problem (unless quiet);
    // with no unit anywhere, the report of a unit not found as a single command gives it.
    static QString details(const QList<Row> &rows, bool quiet);

private:
    int checkFile();
    void tick();
    void draw(bool final);
    void unitEnded(BatchUnit *unit);

    ProgramSettings &m_settings;
    const CliOptions &m_options;
    QString m_folder;
    bool m_terminal;
    Writer m_out;
    Writer m_err;
    PortFactory m_portFactory;
    std::vector<std::unique_ptr<BatchUnit>> m_units;
    QList<Row> m_rows;
    QList<QByteArray> m_blocks;   // the file written, as checked once before anything is sent
    int m_drawnLines = 0;
    QHash<const BatchUnit *, QString> m_shown;   // plain mode: what was last written per unit
    bool m_interrupted = false;
};
