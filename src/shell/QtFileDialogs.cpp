#include "shell/QtFileDialogs.h"
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

std::optional<QString> QtFileDialogs::saveFileName(const FileDialogRequest &request)
{
    return run(request, true);
}

std::optional<QString> QtFileDialogs::openFileName(const FileDialogRequest &request)
{
    return run(request, false);
}

std::optional<QString> QtFileDialogs::run(const FileDialogRequest &request, bool save)
{
    // "Description|pattern" becomes Qt's "Description (pattern)" form.
    QString filter = request.filter;
    const int bar = filter.indexOf(QLatin1Char('|'));
    if (bar >= 0) {
        const QString description = filter.left(bar);
        const QString pattern = filter.mid(bar + 1);
        filter = description.contains(pattern) ? description : description + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    QFileDialog dialog(m_parent, QString(), QString(), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (QDir(request.initialFolder).exists())
        dialog.setDirectory(request.initialFolder);
    QString &last = m_lastNames[request.defaultSuffix.toLower()];
    const QString name = save ? request.defaultName : QFileInfo(last).fileName();
    if (!name.isEmpty())
        dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    last = files.isEmpty() ? QString() : files.first();
    return last;
}
