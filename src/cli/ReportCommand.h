#pragma once
#include <QCoreApplication>
#include <QString>
#include <memory>

class CliOptions;
class Output;
class UnitSession;

// report: the commissioning report of a unit (a job of its own) or of a .cf file (here). A report
// needs fonts, so the command line starts a GUI application for it, on the offscreen platform
// unless the user chose one.
class ReportCommand {
public:
    // A QGuiApplication when the arguments ask for a report, otherwise a QCoreApplication.
    static std::unique_ptr<QCoreApplication> application(int &argc, char **argv);
    // Why the report cannot be written to options.file, checked before any port is opened; empty when it can.
    static QString refusal(const CliOptions &options);
    // report OUT.pdf FILE.cf: the file's configuration through the window's routines, no unit.
    static int fromFile(UnitSession &files, const CliOptions &options, Output &output);
};
