// Times the firmware transfers and the configuration write of the real program against zorgel-sim
// on a pseudo-terminal whose unit paces its line (both ways) at the speed the program chose: from
// the start routine to the final tag, beside the floor of the line itself (bytes on the wire plus
// the 16 silent polls that end a transfer) and beside what one block per 50 ms poll would take.
// Last, a flash at 115200 baud with a serial trace beside one without: the trace must cost no more
// than 5 %. Not a test: prints figures.
#include "BenchSupport.h"
#include "SimProcess.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "config/ConfigExchange.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/QtSerialPort.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "link/TracingSerialPort.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
constexpr int kPollMs = 50;
constexpr int kSilentPolls = 16;

// Milliseconds on the wire for this many bytes at 8N1.
double lineMs(qint64 bytes, int baud)
{
    return double(bytes) * 10.0 * 1000.0 / baud;
}

void row(const char *what, int baud, double ms, double floorMs, double perPollMs)
{
    if (perPollMs < 0)
        std::printf("| %s | %d | %.0f | %.0f | — |\n", what, baud, ms, floorMs);
    else
        std::printf("| %s | %d | %.0f | %.0f | %.0f |\n", what, baud, ms, floorMs, perPollMs);
    std::fflush(stdout);
}

bool runScenario(int baud, int runs)
{
    QTemporaryDir folder;
    writeSettings(folder.path(), baud);
    SimProcess sim;
    if (!sim.start(folder.path())) {
        std::fprintf(stderr, "%d: %s\n", baud, qPrintable(sim.errorText()));
        return false;
    }
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    TarviksApp app(AppSetup{folder.path(), nullptr, &messages, &dialogs, &clock});
    app.startUp();
    if (!waitForTag(app.link(), {Tag::NameRead}, 20000)) {
        std::fprintf(stderr, "%d: unit not found\n", baud);
        return false;
    }
    // From here on the bench starts every exchange itself.
    app.supervisor().timer().stop();
    app.supervisor().tick();
    const auto timed = [&](const std::function<void()> &start, const QString &ok, const QStringList &finals,
                           double *best) {
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            start();
            if (!waitForTag(app.link(), finals, 600000) || app.link().RPF_02VektorPriemaIsPorta != ok) {
                std::fprintf(stderr, "%d: %s failed: %s / %s\n", baud, qPrintable(ok),
                             qPrintable(app.link().RPF_02VektorPriemaIsPorta), qPrintable(messages.texts.join('|')));
                return false;
            }
            *best = std::min(*best, timer.nsecsElapsed() / 1e6);
            app.link().RPF_02VektorPriemaIsPorta.clear();
        }
        return true;
    };

    const QString file = folder.filePath(QStringLiteral("unit.fw"));
    double readMs = 1e12, writeMs = 1e12, configMs = 1e12;
    const bool ok =
        timed([&] { app.firmwareExchange().saveToFile(file); app.queue().pump(); }, Tag::Saved,
              {Tag::Saved, Tag::SaveError, QString()}, &readMs)
        && timed([&] { app.firmwareExchange().loadFromFile(file); app.queue().pump(); }, Tag::Written,
                 {Tag::Written, Tag::WriteError, QString()}, &writeMs)
        && timed([&] { app.configExchange().ConfiguraciaReadProcess(); }, Tag::ReadOk, {Tag::ReadOk, Tag::ReadError},
                 &configMs);
    if (!ok)
        return false;
    configMs = 1e12;
    if (!timed([&] { app.configExchange().ConfiguraciaWriteProcess(); }, Tag::Written,
               {Tag::Written, Tag::WriteError}, &configMs))
        return false;

    const double silence = kSilentPolls * kPollMs;
    constexpr int fwBlocks = FirmwareFile::kBlockCount;
    constexpr int cfgBlocks = 37;
    // Read: request and stream. Write: request, blocks and one "OK" per block and for the request.
    // A read is one stream: the poll never paced it (it only lost blocks when one came per poll).
    row("firmware read (#5000)", baud, readMs, lineMs(5 + FirmwareFile::kFirmwareSize, baud) + silence, -1);
    // Sending on the poll, a block leaves on the first poll after its "OK" has arrived: a whole poll
    // per block on a fast line, more when a block and its "OK" take longer than a poll on the wire.
    const double pollsPerBlock = std::ceil(lineMs(64 + 2, baud) / kPollMs);
    const auto perPoll = [&](int blocks) { return kPollMs + blocks * pollsPerBlock * kPollMs + silence; };
    row("firmware write (#5001)", baud, writeMs,
        lineMs(5 + FirmwareFile::kFirmwareSize + 2 * (fwBlocks + 1), baud) + silence, perPoll(fwBlocks));
    row("configuration write (#6001)", baud, configMs, lineMs(5 + 2368 + 2 * (cfgBlocks + 1), baud) + silence,
        perPoll(cfgBlocks));
    return messages.texts.isEmpty();
}

// The best of `runs` flashes at this speed, with every byte traced or not; < 0 when one failed.
double flashMs(int baud, bool traced, int runs)
{
    QTemporaryDir folder;
    writeSettings(folder.path(), baud);
    SimProcess sim;
    if (!sim.start(folder.path())) {
        std::fprintf(stderr, "%d: %s\n", baud, qPrintable(sim.errorText()));
        return -1;
    }
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    TracingSerialPort trace(std::make_unique<QtSerialPort>(folder.path()), folder.filePath(QStringLiteral("trace.txt")));
    if (traced && !trace.begin()) {
        std::fprintf(stderr, "%s\n", qPrintable(trace.errorText()));
        return -1;
    }
    TarviksApp app(AppSetup{folder.path(), &trace, &messages, &dialogs, &clock});
    app.startUp();
    if (!waitForTag(app.link(), {Tag::NameRead}, 20000)) {
        std::fprintf(stderr, "%d: unit not found\n", baud);
        return -1;
    }
    app.supervisor().timer().stop();
    app.supervisor().tick();
    const QString file = folder.filePath(QStringLiteral("unit.fw"));
    app.firmwareExchange().saveToFile(file);
    app.queue().pump();
    if (!waitForTag(app.link(), {Tag::Saved, Tag::SaveError, QString()}, 600000)
        || app.link().RPF_02VektorPriemaIsPorta != Tag::Saved)
        return -1;
    double best = 1e12;
    for (int run = 0; run < runs; ++run) {
        app.link().RPF_02VektorPriemaIsPorta.clear();
        QElapsedTimer timer;
        timer.start();
        app.firmwareExchange().loadFromFile(file);
        app.queue().pump();
        if (!waitForTag(app.link(), {Tag::Written, Tag::WriteError, QString()}, 600000)
            || app.link().RPF_02VektorPriemaIsPorta != Tag::Written)
            return -1;
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    if (traced && !trace.finish()) {
        std::fprintf(stderr, "%s\n", qPrintable(trace.errorText()));
        return -1;
    }
    return best;
}

// A flash with a trace against one without, at 115200 baud.
bool traceCost(int runs)
{
    const double plain = flashMs(115200, false, runs);
    const double traced = flashMs(115200, true, runs);
    if (plain < 0 || traced < 0)
        return false;
    const double ratio = traced / plain;
    std::printf("\nfirmware write (#5001) at 115200 baud: %.0f ms, with a serial trace %.0f ms: %.3f x (at most 1.05)\n",
                plain, traced, ratio);
    return ratio <= 1.05;
}
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // "bench_firmware trace": only the trace's cost.
    if (argc > 1 && qstrcmp(argv[1], "trace") == 0)
        return traceCost(3) ? 0 : 1;
    std::printf("| transfer | baud | measured, ms | line floor, ms | one block per 50 ms poll, ms |\n");
    std::printf("|---|---|---|---|---|\n");
    bool ok = runScenario(115200, 2);
    ok = runScenario(9600, 1) && ok;
    ok = traceCost(3) && ok;
    return ok ? 0 : 1;
}
