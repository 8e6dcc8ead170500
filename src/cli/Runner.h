#pragma once
#include "cli/CliOptions.h"
#include "cli/CommandTable.h"
#include "cli/Output.h"
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class ConfigImage;
class PortFactory;
class ProgramSettings;

// Runs a command's job on its units, all on one event loop. With --all every port is searched at
// once and every unit found runs the job, a failing unit never stopping the others, and a table
// closes the run. A single command is a batch of one: the ports are tried in turn up to the first
// unit that answers, and its job runs as in a batch, with the same texts, exit codes and progress,
// without the table. Ctrl+C stops every job, which says what its unit and file are left with.
// Nothing here writes TX.cfg.
class Runner : public QObject {
    Q_OBJECT
public:
    Runner(ProgramSettings &settings, PortFactory &ports, const CliOptions &options, Output &output,
           QObject *parent = nullptr);
    ~Runner() override;

    // The command's run: the file checked, the units searched, each one's job; the exit status.
    int run(const CommandEntry &entry);
    // show and diff: a unit's configuration, read into image; an exit status.
    int readUnitImage(ConfigImage &image);

    // The ports searched with --all: every --port given, else the ports TX.cfg lists, each once.
    static QList<int> portsToSearch(const CliOptions &options, const ProgramSettings &settings);
    // A single command's ports: the one given, or the last successful port, then the listed ones.
    static QList<int> candidatePorts(const CliOptions &options, const ProgramSettings &settings);
    // The speeds --speed accepts: the program's own list and the speeds TX.cfg adds.
    static QStringList offeredSpeeds(const ProgramSettings &settings);
    // "COM3 ZORGEL-GSM8.cf": the port and the unit's name, what a file name cannot hold as "_".
    static QString unitFileName(int port, const QString &name, const QString &suffix);
    // 0 when every unit succeeded, otherwise the highest status of any unit. A port without a unit
    // counts when it was named with --port, or when no unit answered anywhere.
    static int exitStatus(const QList<Output::Row> &rows);

signals:
    // A unit's work is over (found or not, its job done).
    void unitEnded();

private:
    struct Unit;

    // The file named is checked once, before any unit is searched; Success or why not.
    int checkFile(const CommandEntry &entry);
    std::unique_ptr<Unit> makeUnit(int port);
    // Runs every unit's identification and then (startJobs) its job, up to the end of all.
    void drive(const std::vector<Unit *> &units, const CommandEntry *entry);
    void identified(Unit &unit, const CommandEntry *entry);
    void ended(Unit &unit);
    // find without --all: the units' problems as a single command tells them; its exit status.
    int findEnded(const QList<Output::Row> &rows);
    void tick(const std::vector<Unit *> &units, bool batch);
    // A single command: the first unit that answers; with changesUnit and no --port, the only one.
    void noteDrain(Unit &unit);
    int searchOne(const CommandEntry *entry, std::unique_ptr<Unit> &found);
    int runOne(const CommandEntry &entry);
    int runBatch(const CommandEntry &entry, const QList<int> &ports, bool single);
    QString fileFor(const CommandEntry &entry, const Unit &unit) const;
    Output::UnitState state(const Unit &unit) const;
    Output::Row row(const Unit &unit) const;
    // Shows the single command's progress and messages for this unit.
    void follow(Unit &unit);

    ProgramSettings &m_settings;
    PortFactory &m_ports;
    const CliOptions &m_options;
    Output &m_output;
    QList<QByteArray> m_blocks;   // the file to send, as checked once
    QByteArray m_fileModel;       // its model bytes, when a .cf file names them
    bool m_interrupted = false;
    bool m_batch = false;
    bool m_follow = false;   // the single unit's progress and texts are shown as they come
};
