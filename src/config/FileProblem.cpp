#include "config/FileProblem.h"
#include <QDir>
#include <QFileInfo>

namespace FileProblem {

QString forReading(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return info.isSymLink() ? QStringLiteral("ссылка ведёт на несуществующий файл") : QStringLiteral("файл не найден");
    if (info.isDir())
        return QStringLiteral("это папка, а не файл");
    if (!info.isReadable())
        return QStringLiteral("нет прав на чтение файла");
    if (info.isFile() && info.size() == 0)
        return QStringLiteral("файл пуст");
    return QString();
}

QString forWriting(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("это папка, а не файл");
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return QStringLiteral("нет папки %1").arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    if (!folder.isDir())
        return QStringLiteral("%1 — не папка").arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    // The file is written beside its old self and swapped in, so the folder must take new files.
    if (!folder.isWritable())
        return QStringLiteral("нет прав на запись в папку %1").arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    if (info.exists() && !info.isWritable())
        return QStringLiteral("нет прав на запись в файл");
    return QString();
}

}
