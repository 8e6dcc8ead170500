#pragma once
#include <QStringList>

class QCoreApplication;

// Qt's own texts (file dialogs, standard buttons, the command-line parser, system errors) in Russian,
// like the rest of the program, whatever the system's language.
namespace QtTranslations {
// The catalogues installed, looked up in Qt's translations folder and then in a "translations"
// folder beside the executable (a portable install). Returns the names of those loaded.
QStringList install(QCoreApplication &application);
}
