#pragma once
#include <QString>

// Why a file cannot be used, in Russian words, checked before a command touches the unit: the
// operating system's reasons (missing, a folder, no permission) and an empty file.
namespace FileProblem {
// Empty when the file can be read and holds something.
QString forReading(const QString &path);
// Empty when the file can be created or replaced.
QString forWriting(const QString &path);
}
