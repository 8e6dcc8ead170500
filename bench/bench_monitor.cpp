// Times monitoring in the real program against zorgel-sim on a pseudo-terminal: from "Старт" to
// the first decoded reply, and the processor time the program uses while it polls at 0.5 s beside
// the time it uses connected and idle, each over the same span (60 s unless given in seconds as
// the first argument). Not a test: prints figures.
#include "BenchSupport.h"
#include "SimProcess.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "monitor/MonitorExchange.h"
#include "monitor/MonitorPage.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <algorithm>
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

}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::max(5, QString::fromLocal8Bit(argv[1]).toInt()) : 60;

    QTemporaryDir folder;
    writeSettings(folder.path(), 9600,
                  {QStringLiteral("RPF_19.Check1:0"), QStringLiteral("RPF_19.Check2:1"), QStringLiteral("RPF_19.Check5:1")});
    SimProcess sim;
    if (!sim.start(folder.path())) {
        std::fprintf(stderr, "%s\n", qPrintable(sim.errorText()));
        return 1;
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
        return 1;
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

    // "Старт" to the first decoded reply, a few times over.
    QList<double> startMs;
    for (int run = 0; run < kStarts; ++run) {
        if (!stop())
            return 1;
        runFor(300);
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
            return 1;
        }
        startMs << firstMs;
    }
    std::sort(startMs.begin(), startMs.end());

    // Processor time: connected and idle, then polling at 0.5 s, over the same span.
    if (!stop())
        return 1;
    double before = cpuSeconds();
    runFor(seconds * 1000LL);
    const double idle = cpuSeconds() - before;

    int frames = 0;
    const QMetaObject::Connection c =
        QObject::connect(&exchange, &MonitorExchange::readingsChanged, [&frames] { ++frames; });
    page->startButton()->click();
    before = cpuSeconds();
    runFor(seconds * 1000LL);
    const double polling = cpuSeconds() - before;
    QObject::disconnect(c);
    stop();

    std::printf("| measure | value |\n|---|---|\n");
    std::printf("| Старт → first decoded reply, median of %d (min … max) | %.0f ms (%.0f … %.0f) |\n", kStarts,
                startMs.at(kStarts / 2), startMs.first(), startMs.last());
    std::printf("| processor time, connected and idle, %d s | %.2f s (%.2f %% of one core) |\n", seconds, idle,
                100.0 * idle / seconds);
    std::printf("| processor time, polling at 0.5 s, %d s | %.2f s (%.2f %% of one core), %d replies decoded |\n",
                seconds, polling, 100.0 * polling / seconds, frames);
    if (!messages.texts.isEmpty())
        std::fprintf(stderr, "messages: %s\n", qPrintable(messages.texts.join(QLatin1Char('|'))));
    return messages.texts.isEmpty() ? 0 : 1;
}
