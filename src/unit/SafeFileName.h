#pragma once
#include <QString>

// A unit's name as a part of a file or folder name, and back. What no file system takes in a name,
// nor the shells that pass it on, becomes "%" and two hex digits ("A:1" is "A%3A1", "%" itself
// "%25"), so two different names never share a file; so do a leading blank, trailing dots (Windows
// drops them) and the first letter of a name Windows reserves (CON, NUL, COM1, LPT1 …). The blanks
// that pad a unit's 16 characters are not part of its name. Shared by the batch's files and the
// backups folders.
class SafeFileName {
public:
    static QString of(const QString &name);
    // The name a part made by of() stands for; a part of another making (an older "_" for what a
    // file name cannot hold) reads as itself.
    static QString nameOf(const QString &part);
};
