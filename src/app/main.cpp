#include "app/TarviksApp.h"
#include "monitor/MonitorExchange.h"
#include "settings/ProgramFolder.h"
#include "settings/QtTranslations.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarviks"));
    QApplication::setApplicationDisplayName(QString());
    QtTranslations::install(application);

    ProgramFolder folder;
    folder.prepare();

    TarviksApp app(AppSetup{folder.path()});
    // The designed size where the screen has room for it (a large scale may leave it less).
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        app.window().fitInto(screen->availableGeometry().size());
    app.window().show();
    app.startUp();
    // Developer switch for unattended runs (scripts/soak.sh): the monitoring page is shown at its
    // shortest period, so polling starts by itself once a unit is found.
    if (qEnvironmentVariableIsSet("TARVIKS_DEV_MONITOR")) {
        app.window().showPage(QStringLiteral("m03"));
        app.monitorExchange().setPosition(MonitorExchange::kMinPosition);
    }
    const int code = application.exec();
    app.shutDown();
    return code;
}
