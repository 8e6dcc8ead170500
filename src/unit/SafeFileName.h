#pragma once
#include <QString>

// A unit's name as a part of a file or folder name: what no file system takes in a name, nor the
// shells that pass it on, becomes "_". Shared by the batch's files and the backups folder.
class SafeFileName {
public:
    static QString of(const QString &name);
};
