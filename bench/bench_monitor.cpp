// Times monitoring in the real program against zorgel-sim on a pseudo-terminal, at 115200 and at
// 9600 baud, with the page "Мониторинг" at its shortest period, 0.5 s: from "Старт" to the first
// decoded reply; the intervals between requests while polling; the processor time the program
// uses while it polls beside the time it uses connected and idle, each over the same span (60 s
// unless given in seconds as the first argument). Not a test: prints figures.
#include "BenchSupport.h"
#include "SimProcess.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "link/CommandQueue.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "monitor/MonitorExchange.h"
#include "monitor/MonitorPage.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr int kStarts = 5;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// Runs the event loop, sleeping between events, for this long.
void runFor(qint64 ms)
{
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(ms), &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() or the limit; false on the limit.
template <typename F>
bool waitFor(F done, qint64 limitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        runFor(10);
    }
    return true;
}

struct Figures {
    QList<double> startMs;      // sorted
    QList<double> intervalMs;   // sorted
    int requests = 0;
    int replies = 0;
    double idleCpu = 0, pollingCpu = 0;
};

bool measure(int baud, int seconds, Figures &f)
{
    QTemporaryDir folder;
    writeSettings(folder.path(), baud,
                  {QStringLiteral("RPF_19.Check1:0"), QStringLiteral("RPF_19.Check2:1"), QStringLiteral("RPF_19.Check5:1")});
    SimProcess sim;
    if (!sim.start(folder.path())) {
        std::fprintf(stderr, "%s\n", qPrintable(sim.errorText()));
        return false;
    }
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    SystemClock clock;
    TarviksApp app(AppSetup{folder.path(), nullptr, &messages, &dialogs, &clock});
    app.window().show();
    app.startUp();
    if (!waitFor([&] { return app.status().operation() == QStringLiteral("Прочитано успешно!"); }, 30000)) {
        std::fprintf(stderr, "unit not found or not read: %s / %s\n", qPrintable(app.status().connection()),
                     qPrintable(app.status().operation()));
        return false;
    }
    app.window().showPage(QStringLiteral("m03"));
    auto *page = qobject_cast<MonitorPage *>(app.page(MonitorPage::kFormName));
    MonitorExchange &exchange = app.monitorExchange();
    page->scrollBar()->setValue(MonitorExchange::kMinPosition);

    const auto stop = [&] {
        if (page->stopButton()->isEnabled())
            page->stopButton()->click();
        return waitFor([&] { return app.queue().LinkFree(); }, 10000);
    };

    // "Старт" to the first decoded reply, a few times over, each after more than a period.
    for (int run = 0; run < kStarts; ++run) {
        if (!stop())
            return false;
        runFor(700);
        QElapsedTimer timer;
        double firstMs = -1;
        const QMetaObject::Connection c = QObject::connect(&exchange, &MonitorExchange::readingsChanged, [&] {
            if (firstMs < 0)
                firstMs = timer.nsecsElapsed() / 1e6;
        });
        timer.start();
        page->startButton()->click();
        const bool ok = waitFor([&] { return firstMs >= 0; }, 20000);
        QObject::disconnect(c);
        if (!ok) {
            std::fprintf(stderr, "no reply decoded after Старт\n");
            return false;
        }
        f.startMs << firstMs;
    }
    std::sort(f.startMs.begin(), f.startMs.end());

    // Processor time: connected and idle, then polling at 0.5 s, over the same span.
    if (!stop())
        return false;
    double before = cpuSeconds();
    runFor(seconds * 1000LL);
    f.idleCpu = cpuSeconds() - before;

    QElapsedTimer clockOfRequests;
    clockOfRequests.start();
    QList<double> sent;
    const QMetaObject::Connection r = QObject::connect(
        &exchange, &MonitorExchange::requestSent, [&] { sent << clockOfRequests.nsecsElapsed() / 1e6; });
    const QMetaObject::Connection c =
        QObject::connect(&exchange, &MonitorExchange::readingsChanged, [&f] { ++f.replies; });
    page->startButton()->click();
    before = cpuSeconds();
    runFor(seconds * 1000LL);
    f.pollingCpu = cpuSeconds() - before;
    QObject::disconnect(c);
    QObject::disconnect(r);
    stop();
    f.requests = int(sent.size());
    for (int i = 1; i < sent.size(); ++i)
        f.intervalMs << sent.at(i) - sent.at(i - 1);
    std::sort(f.intervalMs.begin(), f.intervalMs.end());
    if (!messages.texts.isEmpty()) {
        std::fprintf(stderr, "messages: %s\n", qPrintable(messages.texts.join(QLatin1Char('|'))));
        return false;
    }
    return true;
}
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::max(5, QString::fromLocal8Bit(argv[1]).toInt()) : 60;

    std::printf("| measure | 115200 baud | 9600 baud |\n|---|---|---|\n");
    Figures at[2];
    const int bauds[2] = {115200, 9600};
    for (int i = 0; i < 2; ++i)
        if (!measure(bauds[i], seconds, at[i]))
            return 1;
    const auto row = [&](const char *what, const auto &cell) {
        std::printf("| %s | %s | %s |\n", what, qPrintable(cell(at[0])), qPrintable(cell(at[1])));
    };
    row("Старт → first decoded reply, median of 5 (min … max)", [](const Figures &f) {
        return QStringLiteral("%1 ms (%2 … %3)").arg(f.startMs.at(kStarts / 2), 0, 'f', 0)
            .arg(f.startMs.first(), 0, 'f', 0).arg(f.startMs.last(), 0, 'f', 0);
    });
    row("interval between requests at 0.5 s, median (min … max)", [](const Figures &f) {
        if (f.intervalMs.isEmpty())
            return QStringLiteral("—");
        return QStringLiteral("%1 ms (%2 … %3)").arg(f.intervalMs.at(f.intervalMs.size() / 2), 0, 'f', 0)
            .arg(f.intervalMs.first(), 0, 'f', 0).arg(f.intervalMs.last(), 0, 'f', 0);
    });
    row("requests / replies decoded while polling", [seconds](const Figures &f) {
        return QStringLiteral("%1 / %2 in %3 s").arg(f.requests).arg(f.replies).arg(seconds);
    });
    row("processor time, connected and idle", [seconds](const Figures &f) {
        return QStringLiteral("%1 s (%2 % of one core)").arg(f.idleCpu, 0, 'f', 2).arg(100.0 * f.idleCpu / seconds, 0, 'f', 2);
    });
    row("processor time, polling at 0.5 s", [seconds](const Figures &f) {
        return QStringLiteral("%1 s (%2 % of one core)").arg(f.pollingCpu, 0, 'f', 2)
            .arg(100.0 * f.pollingCpu / seconds, 0, 'f', 2);
    });
    return 0;
}
