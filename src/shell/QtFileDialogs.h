#pragma once
#include "shell/FileDialogs.h"
#include <QHash>

class QWidget;

// FileDialogs over QFileDialog; remembers the last chosen name as the common dialog did, one for
// each kind of file, so a firmware dialog never starts with a journal's name.
class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    std::optional<QString> saveFileName(const FileDialogRequest &request) override;
    std::optional<QString> openFileName(const FileDialogRequest &request) override;

private:
    std::optional<QString> run(const FileDialogRequest &request, bool save);
    QWidget *m_parent;
    QHash<QString, QString> m_lastNames;   // by default suffix
};
