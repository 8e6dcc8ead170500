#pragma once
#include "shell/FileDialogs.h"

class QWidget;

// FileDialogs over QFileDialog; remembers the last chosen name as the common dialog did.
class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    std::optional<QString> saveFileName(const FileDialogRequest &request) override;
    std::optional<QString> openFileName(const FileDialogRequest &request) override;

private:
    std::optional<QString> run(const FileDialogRequest &request, bool save);
    QWidget *m_parent;
    QString m_lastName;
};
