#pragma once
#include "cli/CliOptions.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class UnitJob;
class UnitMessages;
class UnitSession;

// Every command of tarviks-cli, once: its name, its options, its usage line and help, what it
// needs of a file, and the job it runs on each unit. A new command is one row here and one job.
struct CommandEntry {
    // What the runner hands a job factory for one unit.
    struct JobInput {
        UnitSession &unit;
        UnitMessages &messages;
        QString file;                       // this unit's file (with --all, its own in the folder)
        const QList<QByteArray> &blocks;    // the file to send, checked once before any unit
        const QByteArray &fileModel;        // a .cf file's two model bytes; empty when it has none
        const CliOptions &options;
        const std::function<void(const QString &text)> &out;   // standard output
    };
    using JobFactory = std::function<std::unique_ptr<UnitJob>(const JobInput &input)>;
    enum class FileKind { None, Config, Firmware };

    QString name;
    CliOptions::Command command = CliOptions::Command::None;
    bool takesFile = false;
    QStringList options;       // beyond --port, --speed, --quiet, --help, --version
    QString usage;             // "read-config FILE.cf [--port N] [--all]"
    QString summary;           // one line on what it does
    QString details;           // more lines of its own help; may be empty
    QList<int> exitCodes;      // the statuses it can end with
    FileKind fileKind = FileKind::None;
    bool sendsFile = false;    // the file goes to the unit: checked whole before any unit is searched
    bool changesUnit = false;  // never guesses between two units that answer
    JobFactory job;            // null: a command that needs no unit job (show, diff, set, ports)
};

namespace CommandTable {
const QList<CommandEntry> &all();
const CommandEntry *find(const QString &name);
const CommandEntry &of(CliOptions::Command command);
// The general help's list of commands and what follows it.
QString usage();
// One command's help: usage, what it does, its options (as the parser describes them) and its exit codes.
QString help(const CommandEntry &entry, const QStringList &optionLines);
// "0 успешно", "3 устройство не обнаружено" ...
QString exitCodeText(int code);
}
