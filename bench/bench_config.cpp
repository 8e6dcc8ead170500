// Times the configuration exchange of the real program against zorgel-sim on a pseudo-terminal:
// from sending "#6000" to "Прочитано успешно" and from "#6001" to "Записано успешно", beside the
// floor that the 50 ms receive poll and the 16-poll silence impose. Not a test: prints figures.
#include "BenchSupport.h"
#include "SimProcess.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "config/ConfigExchange.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {
constexpr int kPollMs = 50;
constexpr int kSilentPolls = 16;
constexpr int kBlocks = 37;
constexpr int kRuns = 3;

bool fail(const char *label, TarviksApp &app)
{
    std::fprintf(stderr, "%s: failed: %s / %s / %s\n", label, qPrintable(app.status().connection()),
                 qPrintable(app.link().RPF_02VektorPriemaIsPorta), qPrintable(app.link().portStateText()));
    return false;
}

// One scenario: returns false when the unit could not be found or an exchange failed.
bool runScenario(const char *label, const QStringList &simArgs, double lineSeconds)
{
    QTemporaryDir folder;
    writeSettings(folder.path(), 115200);
    SimProcess sim;
    if (!sim.start(folder.path(), simArgs)) {
        std::fprintf(stderr, "%s: %s\n", label, qPrintable(sim.errorText()));
        return false;
    }
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    TarviksApp app(AppSetup{folder.path(), nullptr, &messages, &dialogs, &clock});
    app.startUp();
    if (!waitForTag(app.link(), {Tag::NameRead}, 20000)) {
        return fail(label, app);
    }
    // The supervision would otherwise keep posting and saving settings between runs.
    app.supervisor().timer().stop();
    app.supervisor().tick();

    double readMs[kRuns] = {}, writeMs[kRuns] = {};
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        app.configExchange().ConfiguraciaReadProcess();
        if (!waitForTag(app.link(), {Tag::ReadOk, Tag::ReadError}, 60000) || app.link().RPF_02VektorPriemaIsPorta != Tag::ReadOk)
            return fail(label, app);
        readMs[run] = timer.nsecsElapsed() / 1e6;
        timer.restart();
        app.configExchange().ConfiguraciaWriteProcess();
        if (!waitForTag(app.link(), {Tag::Written, Tag::WriteError}, 60000) || app.link().RPF_02VektorPriemaIsPorta != Tag::Written)
            return fail(label, app);
        writeMs[run] = timer.nsecsElapsed() / 1e6;
    }
    auto best = [](const double *v) { return *std::min_element(v, v + kRuns); };
    // Read: the stream itself, then 16 silent polls. Write: the request, the blocks and one "OK" per
    // block and for the request on the wire (each block leaves as its "OK" arrives), then 16 silent polls.
    const double readFloor = lineSeconds * 2375 * 1000 + kSilentPolls * kPollMs;
    const double writeFloor = lineSeconds * (5 + kBlocks * 64 + 2 * (kBlocks + 1)) * 1000 + kSilentPolls * kPollMs;
    std::printf("| %s | %.0f | %.0f | %.0f | %.0f |\n", label, best(readMs), readFloor, best(writeMs), writeFloor);
    return messages.texts.isEmpty();
}
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::printf("| unit line | #6000 → Прочитано успешно, ms | floor, ms | #6001 → Записано успешно, ms | floor, ms |\n");
    std::printf("|---|---|---|---|---|\n");
    bool ok = runScenario("unpaced", {QStringLiteral("--baud"), QStringLiteral("0")}, 0.0);
    ok = runScenario("115200 baud", {QStringLiteral("--baud"), QStringLiteral("115200")}, 10.0 / 115200) && ok;
    ok = runScenario("9600 baud", {QStringLiteral("--baud"), QStringLiteral("9600")}, 10.0 / 9600) && ok;
    return ok ? 0 : 1;
}
