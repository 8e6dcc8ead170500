#pragma once
#include <QString>
#include <optional>

// What a page asks of the common open/save dialog.
struct FileDialogRequest {
    QString initialFolder;   // may not exist; the dialog then starts where the platform puts it
    QString filter;          // e.g. "Файл конфигурации (*.cf)|*.cf" (pipe-separated description|pattern)
    QString defaultSuffix;   // without the dot
    QString defaultName;     // save dialogs only
};

// Open/save file dialogs; std::nullopt means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<QString> saveFileName(const FileDialogRequest &request) = 0;
    virtual std::optional<QString> openFileName(const FileDialogRequest &request) = 0;
};
