// Times tarviks-cli's write-config --all into several units at once against writing into one:
// each unit a zorgel-sim on its own pseudo-terminal, each served by its own UnitSession in the one
// event loop of the batch. Also the resident memory the extra units add; and the bench, one unit
// against write-config --verify (the same reads and write) and four against one. Not a test: prints
// figures.
#include "SimDefaults.h"
#include "SimProcess.h"
#include "cli/BenchCommand.h"
#include "cli/CommandTable.h"
#include "cli/Output.h"
#include "cli/Runner.h"
#include "unit/ExitCode.h"
#include "unit/PortFactory.h"
#include "config/ConfigFiles.h"
#include "link/Cp1251.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "shell/MessageSink.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
constexpr int kRuns = 3;
constexpr int kMostUnits = 4;

class QuietSink : public MessageSink {
public:
    void show(const QString &text) override { std::fprintf(stderr, "  message: %s\n", qPrintable(text)); }
};

// Resident memory of this process, KiB (Linux).
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct Figures {
    double bestMs = 0;
    long residentKiB = 0;
};

// write-config --all into the first `units` simulated units, best of kRuns; -1 on failure.
Figures writeAll(const QString &folder, const QString &file, ProgramSettings &settings, int units, bool verify = false)
{
    CliOptions options;
    options.command = CliOptions::Command::WriteConfig;
    options.file = file;
    options.verify = verify;
    options.all = true;
    options.quiet = true;
    for (int n = 1; n <= units; ++n)
        options.ports << n;
    Figures figures{1e12, 0};
    for (int run = 0; run < kRuns; ++run) {
        QString out;
        Output output(false, true, [&out](const QString &t) { out += t; }, [&out](const QString &t) { out += t; });
        PortFactory ports(folder);
        Runner runner(settings, ports, options, output);
        QElapsedTimer timer;
        timer.start();
        const int status = runner.run(CommandTable::of(CliOptions::Command::WriteConfig));
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        figures.residentKiB = std::max(figures.residentKiB, residentKiB());
        if (status != ExitCode::Success || out.count(QStringLiteral("записано")) != units) {
            std::fprintf(stderr, "%d units: status %d\n%s", units, status, qPrintable(out));
            return Figures{-1, 0};
        }
        figures.bestMs = std::min(figures.bestMs, ms);
    }
    return figures;
}

// bench with the template into the first `units` simulated units, --count units, best of kRuns.
Figures benchUnits(const QString &folder, const QString &file, ProgramSettings &settings, int units)
{
    CliOptions options;
    options.command = CliOptions::Command::Bench;
    options.file = file;
    options.count = units;
    options.quiet = true;
    options.log = QDir(folder).filePath(QStringLiteral("BENCH.csv"));
    for (int n = 1; n <= units; ++n)
        options.ports << n;
    Figures figures{1e12, 0};
    for (int run = 0; run < kRuns; ++run) {
        QString out;
        Output output(false, true, [&out](const QString &t) { out += t; }, [&out](const QString &t) { out += t; });
        PortFactory ports(folder);
        BenchCommand bench(settings, ports, options, output);
        QElapsedTimer timer;
        timer.start();
        const int status = bench.run();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (status != ExitCode::Success || out.count(QStringLiteral("отключите устройство")) != units) {
            std::fprintf(stderr, "bench, %d units: status %d\n%s", units, status, qPrintable(out));
            return Figures{-1, 0};
        }
        figures.bestMs = std::min(figures.bestMs, ms);
    }
    return figures;
}

bool scenario(int baud)
{
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("Service"));
    QStringList lines;
    for (int n = 1; n <= kMostUnits; ++n)
        lines << QStringLiteral("Доступный номер порта:%1").arg(n);
    lines << QStringLiteral("Доступная скорость порта:%1").arg(baud) << QStringLiteral("Акт индекс скорости:1");
    QFile tx(folder.filePath(QStringLiteral("Service/TX.cfg")));
    if (!tx.open(QIODevice::WriteOnly))
        return false;
    tx.write(Cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    tx.close();

    // Each unit its own IMEI: the bench serves a unit once.
    for (int n = 1; n <= kMostUnits; ++n) {
        QByteArray image = SimDefaults::image();
        image.replace(2352, 15, QByteArray::number(356938035643800LL + n));
        QFile memory(folder.filePath(QStringLiteral("memory%1.bin").arg(n)));
        if (!memory.open(QIODevice::WriteOnly) || memory.write(image) != image.size())
            return false;
    }
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int n = 1; n <= kMostUnits; ++n) {
        auto sim = std::make_unique<SimProcess>();
        if (!sim->start(folder.path(), {QStringLiteral("--port"), QString::number(n), QStringLiteral("--name"),
                                        QStringLiteral("BENCH %1").arg(n), QStringLiteral("--config"),
                                        folder.filePath(QStringLiteral("memory%1.bin").arg(n)), QStringLiteral("--firmware"),
                                        folder.filePath(QStringLiteral("firmware%1.bin").arg(n))})) {
            std::fprintf(stderr, "%s\n", qPrintable(sim->errorText()));
            return false;
        }
        sims.push_back(std::move(sim));
    }
    QFile memory(folder.filePath(QStringLiteral("memory1.bin")));
    if (!memory.open(QIODevice::ReadOnly))
        return false;
    const QByteArray image = memory.readAll();
    QByteArray cf;
    for (int at = 0; at < image.size(); at += 64)
        cf += ConfigFiles::formatLine(image.mid(at, 64));
    const QString file = folder.filePath(QStringLiteral("unit.cf"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(cf) != cf.size())
        return false;
    out.close();

    QuietSink messages;
    ProgramOptions options;
    ProgramSettings settings(tx.fileName(), options, messages);
    settings.TXconfigLoadParam();
    const long before = residentKiB();
    const Figures one = writeAll(folder.path(), file, settings, 1);
    const Figures four = writeAll(folder.path(), file, settings, kMostUnits);
    if (one.bestMs < 0 || four.bestMs < 0)
        return false;
    std::printf("%6d baud   1 unit %7.0f ms   %d units %7.0f ms   ratio %.2f   memory %+.1f MiB a further unit "
                "(resident %.1f MiB before)\n",
                baud, one.bestMs, kMostUnits, four.bestMs, four.bestMs / one.bestMs,
                double(four.residentKiB - one.residentKiB) / 1024.0 / (kMostUnits - 1), double(before) / 1024.0);
    // A bench unit: identification, read, write and read-back, as write-config --verify with its read first.
    const Figures verified = writeAll(folder.path(), file, settings, 1, true);
    const Figures benchOne = benchUnits(folder.path(), file, settings, 1);
    const Figures benchFour = benchUnits(folder.path(), file, settings, kMostUnits);
    if (verified.bestMs < 0 || benchOne.bestMs < 0 || benchFour.bestMs < 0)
        return false;
    std::printf("%6d baud   bench 1 unit %7.0f ms (write-config --verify %7.0f ms, ratio %.2f)   %d units %7.0f ms   "
                "ratio %.2f\n",
                baud, benchOne.bestMs, verified.bestMs, benchOne.bestMs / verified.bestMs, kMostUnits,
                benchFour.bestMs, benchFour.bestMs / benchOne.bestMs);
    return true;
}
}

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    bool ok = true;
    for (int baud : {115200, 9600})
        ok = scenario(baud) && ok;
    return ok ? 0 : 1;
}
