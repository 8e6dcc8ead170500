// tarviks-cli: the program's service work from a command line, on the same core as the window.
#include "cli/BackupsCommand.h"
#include "cli/BenchCommand.h"
#include "cli/CliOptions.h"
#include "cli/CommandTable.h"
#include "cli/FieldCommands.h"
#include "cli/FixedFileDialogs.h"
#include "cli/InterruptWatch.h"
#include "cli/Output.h"
#include "cli/ReportCommand.h"
#include "cli/PortsCommand.h"
#include "cli/Runner.h"
#include "link/SerialDevices.h"
#include "link/ShownText.h"
#include "link/TraceFile.h"
#include "settings/ProgramFolder.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "settings/QtTranslations.h"
#include "shell/Clock.h"
#include "unit/ConfigBackups.h"
#include "unit/ExitCode.h"
#include "unit/PortFactory.h"
#include "unit/UnitMessages.h"
#include "unit/UnitSession.h"
#include <QCoreApplication>
#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO _fileno(stderr)
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {
// What the program writes itself, its own terminal controls included (Output escapes the rest).
Output::Writer rawWriterTo(FILE *stream)
{
    return [stream](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
        std::fflush(stream);
    };
}

// Texts that may hold a unit's or a file's (names, input texts): their control characters escaped.
Output::Writer writerTo(FILE *stream)
{
    return [raw = rawWriterTo(stream)](const QString &text) { raw(ShownText::escapedLines(text)); };
}
}

int main(int argc, char **argv)
{
    // A report needs fonts: a GUI application, on the offscreen platform unless one is chosen.
    const std::unique_ptr<QCoreApplication> app = ReportCommand::application(argc, argv);
    QCoreApplication &application = *app;
    // The window's name, so both use the same per-user program folder.
    QCoreApplication::setApplicationName(QStringLiteral("tarviks"));
    // Before parsing, so the parser's headings and errors are Russian too.
    QtTranslations::install(application);

    CliOptions options;
    QString text;
    switch (CliOptions::parse(QCoreApplication::arguments(), options, &text)) {
    case CliOptions::Outcome::Help:
    case CliOptions::Outcome::Version:
        writerTo(stdout)(text + QLatin1Char('\n'));
        return ExitCode::Success;
    case CliOptions::Outcome::Error:
        writerTo(stderr)(text + QLatin1Char('\n'));
        return ExitCode::Usage;
    case CliOptions::Outcome::Run:
        break;
    }

    InterruptWatch interrupts;
    ProgramFolder folder;
    folder.prepare();
    Output output(isatty(STDERR_FILENO) != 0, options.quiet, rawWriterTo(stdout), rawWriterTo(stderr));
#ifdef TIOCGWINSZ
    if (winsize size{}; ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0)
        output.setColumns(size.ws_col);
#endif
    if (options.command == CliOptions::Command::Backups) {
        const SystemClock clock;
        return BackupsCommand::run(ConfigBackups(folder.path(), clock), options.unitName, options.json,
                                   writerTo(stdout));
    }
    // A report that could never be saved is refused before any port is opened.
    if (options.command == CliOptions::Command::Report) {
        if (const QString refusal = ReportCommand::refusal(options); !refusal.isEmpty()) {
            output.fail(refusal);
            return ExitCode::BadFile;
        }
    }
    // Adapters get their numbers as in the window; --port may name a device instead of a number.
    PortFactory ports(folder.path());
    const QList<SerialDevice> devices = QtSerialDeviceList().devices();
    if (options.command == CliOptions::Command::Ports)
        return PortsCommand::run(ports.numbering(), devices, options.json, writerTo(stdout));
    ports.numbering().assign(devices);
    for (const QString &device : std::as_const(options.portDevices)) {
        const int number = ports.numbering().numberFor(device);
        options.port = number;
        if (number > 0 && !options.ports.contains(number))
            options.ports << number;
    }
    UnitMessages messages([&output](const QString &line) { output.fail(line); });
    // TX.cfg is read once, before any unit exists, and never written here.
    ProgramOptions programOptions;
    ProgramSettings settings(folder.path() + QStringLiteral("/Service/TX.cfg"), programOptions, messages);
    settings.TXconfigLoadParam();
    // Plugged-in adapters are searched after the listed ports, as the window searches those it
    // numbers (in memory only: the command line never writes TX.cfg).
    for (const NumberedPort &numbered : ports.numbering().ports(devices)) {
        if (numbered.present && !numbered.adapter.path.isEmpty())
            settings.addPortNumber(numbered.number);
    }
    // Only a speed the program offers: its own list and the speeds TX.cfg adds.
    const QStringList offered = Runner::offeredSpeeds(settings);
    if (options.speed && !offered.contains(QString::number(*options.speed))) {
        output.fail(QStringLiteral("--speed: скорость %1 не предлагается; допустимы: %2.\nСправка: tarviks-cli --help")
                        .arg(*options.speed)
                        .arg(offered.join(QStringLiteral(", "))));
        return ExitCode::Usage;
    }
    // The trace file is made before any port opens, so one that cannot be written sends nothing.
    std::shared_ptr<TraceFile> trace;
    if (!options.trace.isEmpty()) {
        trace = std::make_shared<TraceFile>(options.trace);
        if (!trace->begin()) {
            output.fail(trace->errorText());
            return ExitCode::BadFile;
        }
        ports.setTrace(trace);
    }
    const int code = [&] {
        Runner runner(settings, ports, options, output);
        const CommandEntry &entry = CommandTable::of(options.command);
        if (options.command == CliOptions::Command::Bench)
            return BenchCommand(settings, ports, options, output).run();
        const bool fromFile = options.command == CliOptions::Command::Report && !options.operands.isEmpty();
        if (entry.job && !fromFile)
            return runner.run(entry);
        // show, diff, set: files through the window's own routines, and the unit through the runner.
        FixedFileDialogs dialogs(options.file);
        SystemClock clock;
        UnitSession files(ports, UnitSession::Borrowed{settings, messages, dialogs, clock});
        if (fromFile)
            return ReportCommand::fromFile(files, options, output);
        return FieldCommands(
                   files.configFiles(), options, [&runner](ConfigImage &image) { return runner.readUnitImage(image); },
                   writerTo(stdout), writerTo(stderr))
            .run();
    }();
    // Every end comes here, Ctrl+C included: the ports are closed and the trace gets its name.
    if (trace && !trace->finish()) {
        output.fail(trace->errorText());
        // The unit's work stands; only the trace beside it is missing, which a script must tell
        // from a file refused before anything was sent.
        return code == ExitCode::Success ? int(ExitCode::SideFileFailed) : code;
    }
    return code;
}
