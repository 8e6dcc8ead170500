#include "settings/QtTranslations.h"
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QStringList QtTranslations::install(QCoreApplication &application)
{
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
    QStringList loaded;
    for (const char *catalogue : {"qtbase_ru", "qtserialport_ru"}) {
        auto *translator = new QTranslator(&application);
        bool found = false;
        for (const QString &folder : folders) {
            if (translator->load(QLatin1String(catalogue), folder)) {
                found = true;
                break;
            }
        }
        if (found && QCoreApplication::installTranslator(translator))
            loaded << QLatin1String(catalogue);
        else
            delete translator;
    }
    return loaded;
}
