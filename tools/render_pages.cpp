// Renders the main window with each page shown to <out>/<form>.png, against the simulated unit
// in-process, after it has been found and its configuration read. Run with QT_QPA_PLATFORM=offscreen.
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "app/TarviksApp.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "monitor/MonitorExchange.h"
#include "shell/Clock.h"
#include "shell/FileDialogs.h"
#include "shell/MainWindow.h"
#include "shell/MessageSink.h"
#include "shell/Page.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {
class PrintedMessages : public MessageSink {
public:
    void show(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
};
class NoDialogs : public FileDialogs {
public:
    std::optional<QString> saveFileName(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> openFileName(const FileDialogRequest &) override { return std::nullopt; }
};
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    // "--empty" (after the folder): the pages as before any read, every bound box showing "нет данных".
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("pages");
    // "--screen WxH" (after the folder): the window as on a screen of that many device pixels, at
    // the scale given by QT_SCALE_FACTOR, as the program fits itself at start.
    bool empty = false;
    QSize screen;
    for (int i = 2; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--empty")
            empty = true;
        else if (QByteArray(argv[i]) == "--screen" && i + 1 < argc) {
            const QList<QByteArray> wh = QByteArray(argv[++i]).split('x');
            if (wh.size() == 2)
                screen = QSize(wh.at(0).toInt(), wh.at(1).toInt());
        }
    }
    QDir().mkpath(out);

    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("Service"));
    QFile cfg(folder.path() + QStringLiteral("/Service/TX.cfg"));
    if (cfg.open(QIODevice::WriteOnly)) {
        const QString text = QStringLiteral("Доступный номер порта:1\r\nДоступный номер порта:2\r\n"
                                            "Доступная скорость порта:9600\r\nДоступная скорость порта:19200\r\n"
                                            "Доступная скорость порта:115200\r\nАкт индекс номера порта:1\r\n"
                                            "Акт индекс скорости:1\r\nАкт индекс контр передачи:1\r\n"
                                            "RPF_19.Check1:1\r\nRPF_19.Check2:1\r\nRPF_19.Check3:0\r\n"
                                            "RPF_19.Check4:0\r\nRPF_19.Check5:1\r\n");
        cfg.write(text.toUtf8());
        cfg.close();
    }

    SimCore core(SimDefaults::image(), SimDefaults::firmware());
    SimLoopbackPort port(core, 1);
    PrintedMessages messages;
    NoDialogs dialogs;
    SystemClock clock;
    TarviksApp app(AppSetup{folder.path(), &port, &messages, &dialogs, &clock});
    if (screen.isValid())
        app.window().fitInto(screen / application.devicePixelRatio());
    app.window().show();
    app.startUp(false);

    // Four receive polls per supervision tick, on virtual time, until the read is done.
    for (int tick = 0; tick < (empty ? 0 : 400); ++tick) {
        app.supervisor().tick();
        for (int poll = 0; poll < 4; ++poll) {
            port.advance(50);
            app.link().receiveTick();
        }
        application.processEvents();
        if (app.status().operation() == QStringLiteral("Прочитано успешно!"))
            break;
    }
    if (!empty)
        app.supervisor().tick();
    application.processEvents();

    int written = 0;
    for (const MainWindow::PageInfo &info : MainWindow::pageTable()) {
        app.window().showPage(info.menu);
        application.processEvents();
        if (info.form == QLatin1String("RPF_03") && !empty) {
            // Two polls, a measurement frame and a sensor frame, so the page shows values.
            for (int frame = 0; frame < 2; ++frame) {
                app.monitorExchange().pollTick();
                for (int tick = 0; tick < 10; ++tick) {
                    app.supervisor().tick();
                    for (int poll = 0; poll < 4; ++poll) {
                        port.advance(50);
                        app.link().receiveTick();
                    }
                }
            }
            application.processEvents();
        }
        const QString file = out + QLatin1Char('/') + info.form + QStringLiteral(".png");
        if (app.window().grab().save(file))
            ++written;
    }
    app.window().showPage(QStringLiteral("m02"));
    application.processEvents();
    app.window().grab().save(out + QStringLiteral("/main-window.png"));
    std::printf("%d pages written to %s; status: %s / %s\n", written, qPrintable(out),
                qPrintable(app.status().connection()), qPrintable(app.status().operation()));
    app.shutDown();
    return written == MainWindow::pageTable().size() ? 0 : 1;
}
