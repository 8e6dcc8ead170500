#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The command line of tarviks-cli: one command, its file, and the options that apply to it.
class CliOptions {
public:
    enum class Command { None, Find, ReadConfig, WriteConfig, ReadFirmware, WriteFirmware, Monitor, Show, Diff, Set, Ports, Backups, Report, Bench };
    enum class Outcome { Run, Help, Version, Error };

    static constexpr int kMaxPort = 32767;
    static constexpr double kMinPeriod = 0.5;   // the monitoring page's range, in seconds
    static constexpr double kMaxPeriod = 5.0;

    Command command = Command::None;
    QString file;                  // FILE.cf / FILE.fw
    std::optional<int> port;       // --port: overrides TX.cfg, which is never changed
    QString portDevice;            // --port given as a device path, e.g. /dev/ttyACM0
    bool all = false;              // --all: every unit at once
    QList<int> ports;              // every --port given as a number, in order (--all takes several)
    QStringList portDevices;       // every --port given as a device path
    std::optional<int> speed;      // --speed
    bool verify = false;
    bool json = false;
    bool quiet = false;
    bool csv = false;
    double period = 1.0;           // --period, seconds between monitoring requests
    std::optional<int> count;      // --count, frames to show (bench: units to serve); none: until Ctrl+C
    QStringList operands;          // show, diff, set: files ("--unit" for the unit) and NAME=VALUE;
                                   // report: the .cf file it is made from
    QString output;                // set --output
    QString journal;               // monitor --journal: the spreadsheet CSV written at the end
    bool names = false;            // show --names: the field names, no file
    bool noBackup = false;         // write-config --no-backup: no copy of the unit's configuration first
    bool force = false;            // write-config, read-config --force: whatever the model check says
    bool backup = false;           // write-firmware --backup: the unit's firmware read into the backups first
    QString trace;                 // --trace FILE: every byte sent and received
    QString unitName;              // backups [UNIT]
    QString fields;                // bench --fields UNITS.csv: each unit's own values, by IMEI
    QString log;                   // bench --log BENCH.csv: a row per unit as it ends

    static QString commandName(Command command);
    static QString version();

    // arguments include the program name. On Help, Version or Error, *text holds what to print
    // (an Error's text ends with a hint to --help).
    static Outcome parse(const QStringList &arguments, CliOptions &options, QString *text);
};
