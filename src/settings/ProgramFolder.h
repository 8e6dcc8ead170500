#pragma once
#include <QString>

// Where the program keeps its files: beside the executable when a "Service" folder stands there
// (portable), otherwise in the per-user data folder, which is set up on first start.
class ProgramFolder {
public:
    // executableDir and userDataDir are injectable for tests; empty means the application's
    // own folder and QStandardPaths::AppDataLocation (the application name must be "tarviks").
    explicit ProgramFolder(QString executableDir = QString(), QString userDataDir = QString());

    bool isPortable() const { return m_portable; }
    QString path() const { return m_path; }
    QString settingsFile() const { return m_path + QStringLiteral("/Service/TX.cfg"); }
    QString portsFolder() const { return m_path + QStringLiteral("/Service/ports"); }
    // Default folders of the file dialogs, each ending in "/".
    QString configurationsFolder() const { return m_path + QStringLiteral("/Конфигурации/"); }
    QString firmwareFolder() const { return m_path + QStringLiteral("/Прошивки/"); }

    // First start outside a portable layout: creates the folder, its "Service", "Конфигурации" and
    // "Прошивки" folders and a TX.cfg with defaults. Never replaces an existing file. False on failure.
    bool prepare() const;

private:
    QString m_path;
    bool m_portable = false;
};
