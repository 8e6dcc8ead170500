#include "settings/ProgramFolder.h"
#include "settings/ProgramSettings.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

ProgramFolder::ProgramFolder(QString executableDir, QString userDataDir)
{
    if (executableDir.isEmpty())
        executableDir = QCoreApplication::applicationDirPath();
    m_portable = QFileInfo(QDir(executableDir).filePath(QStringLiteral("Service"))).isDir();
    if (m_portable) {
        m_path = QDir::cleanPath(executableDir);
        return;
    }
    if (userDataDir.isEmpty())
        userDataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    m_path = QDir::cleanPath(userDataDir);
}

bool ProgramFolder::prepare() const
{
    // A portable installation is the user's own folder: it is used as it stands.
    if (m_portable)
        return true;
    const QDir root(m_path);
    bool ok = true;
    for (const char *sub : {"Service", "Конфигурации", "Прошивки"})
        ok = root.mkpath(QString::fromUtf8(sub)) && ok;
    if (!ok)
        return false;

    const QString path = settingsFile();
    if (QFileInfo::exists(path))
        return true;
    QFile file(path);
    // NewOnly: a file that appeared meanwhile is left alone as well.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QFileInfo::exists(path);
    const QByteArray contents = ProgramSettings::defaultFileContents();
    if (file.write(contents) != contents.size() || !file.flush()) {
        // A half-written file would be taken for the user's settings on the next start.
        file.remove();
        return false;
    }
    return true;
}
