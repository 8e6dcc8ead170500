// tarviks-cli: the program's service work from a command line, on the same core as the window.
#include "cli/BatchRun.h"
#include "cli/CliCommands.h"
#include "cli/FieldCommands.h"
#include "cli/CliOptions.h"
#include "cli/CliUnit.h"
#include "cli/ExitCode.h"
#include "cli/FixedFileDialogs.h"
#include "cli/InterruptWatch.h"
#include "cli/PortsCommand.h"
#include "cli/ProgressReporter.h"
#include "cli/StderrMessageSink.h"
#include "config/ConfigExchange.h"
#include "link/PortNumbering.h"
#include "link/QtSerialPort.h"
#include "link/SerialDevices.h"
#include "settings/ProgramFolder.h"
#include "settings/QtTranslations.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "shell/Clock.h"
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
CliCommands::Writer writerTo(FILE *stream)
{
    return [stream](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
        std::fflush(stream);
    };
}
}

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
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
    StderrMessageSink messages;
    // The commands say which count was wrong: received of expected bytes, blocks acknowledged.
    messages.setWithheld({ConfigExchange::kCountMismatch});
    FixedFileDialogs dialogs(options.file);
    ProgressReporter progress(isatty(STDERR_FILENO) != 0, options.quiet, writerTo(stderr));
#ifdef TIOCGWINSZ
    if (winsize size{}; ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0)
        progress.setColumns(size.ws_col);
#endif
    // Adapters get their numbers as in the window; --port may name a device instead of a number.
    PortNumbering numbering(folder.path());
    const QList<SerialDevice> devices = QtSerialDeviceList().devices();
    if (options.command == CliOptions::Command::Ports)
        return PortsCommand::run(numbering, devices, options.json, writerTo(stdout));
    numbering.assign(devices);
    if (!options.portDevice.isEmpty())
        options.port = numbering.numberFor(options.portDevice);
    SystemClock clock;
    // TX.cfg is read once, before any unit exists, and never written here.
    ProgramOptions programOptions;
    ProgramSettings settings(folder.path() + QStringLiteral("/Service/TX.cfg"), programOptions, messages);
    settings.TXconfigLoadParam();
    // Plugged-in adapters are searched after the listed ports, as the window searches those it
    // numbers (in memory only: the command line never writes TX.cfg).
    for (const NumberedPort &numbered : numbering.ports(devices)) {
        if (numbered.present && !numbered.adapter.path.isEmpty())
            settings.addPortNumber(numbered.number);
    }
    // Only a speed the program offers: its own list and the speeds TX.cfg adds.
    const QStringList offered = CliCommands::offeredSpeeds(settings);
    if (options.speed && !offered.contains(QString::number(*options.speed))) {
        writerTo(stderr)(QStringLiteral("--speed: скорость %1 не предлагается; допустимы: %2.\nСправка: tarviks-cli --help\n")
                             .arg(*options.speed)
                             .arg(offered.join(QStringLiteral(", "))));
        return ExitCode::Usage;
    }
    if (options.all && options.command != CliOptions::Command::Monitor && !FieldCommands::handles(options.command)) {
        for (const QString &device : std::as_const(options.portDevices))
            if (const int number = numbering.numberFor(device); number > 0 && !options.ports.contains(number))
                options.ports << number;
        BatchRun batch(settings, options, folder.path(), isatty(STDERR_FILENO) != 0, writerTo(stdout),
                       writerTo(stderr));
        batch.setPortFactory([&](int) { return std::make_unique<QtSerialPort>(folder.path(), &numbering); });
        return batch.run();
    }
    QtSerialPort port(folder.path(), &numbering);
    UnitSession unit(folder.path(), &port, UnitSession::Borrowed{settings, messages, dialogs, clock});
    if (options.speed)
        unit.overrideSpeed(*options.speed);
    CliUnit session(unit, &progress);
    CliCommands commands(session, options, progress, writerTo(stdout), writerTo(stderr));
    commands.setMessageLog(&messages);
    commands.setOfferedSpeeds(offered);
    return commands.run();
}
