#include "app/TarviksApp.h"
#include "settings/ProgramFolder.h"
#include "shell/MainWindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarviks"));
    QApplication::setApplicationDisplayName(QString());

    ProgramFolder folder;
    folder.prepare();

    TarviksApp app(AppSetup{folder.path()});
    app.window().show();
    app.startUp();
    const int code = application.exec();
    app.shutDown();
    return code;
}
