#pragma once
#include <QByteArrayView>
#include <QString>
#include <functional>

// The two system calls whose failures every file writer of the program must survive (a full disk,
// a quota, an I/O error), each returning 0 or the system's error number, and those failures in a
// few Russian words. Tests give their own calls to fail where a real disk seldom does.
struct DiskCalls {
    std::function<int(int fd, QByteArrayView bytes)> write;   // all of the bytes, or the error
    std::function<int(int fd)> sync;                          // to the disk itself

    static DiskCalls system();
    // "нет места на диске"; empty for 0.
    static QString reasonFor(int systemError);
};
