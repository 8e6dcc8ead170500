#pragma once
#include "shell/FileDialogs.h"

// The file "dialog" of the command line: the file named on the command line is always the answer,
// so the window's file routines (checks, format, atomic replacement) run unchanged.
class FixedFileDialogs : public FileDialogs {
public:
    explicit FixedFileDialogs(QString fileName) : m_fileName(std::move(fileName)) {}
    std::optional<QString> saveFileName(const FileDialogRequest &) override { return m_fileName; }
    std::optional<QString> openFileName(const FileDialogRequest &) override { return m_fileName; }
    // A unit of a batch gets its file once its name is known.
    void setFileName(const QString &fileName) { m_fileName = fileName; }

private:
    QString m_fileName;
};
