#pragma once
#include <QFileDevice>

// The error numbers users of the program have always been shown for file trouble (the status
// strip's "Ошибка передачи N"), from Qt's file errors. The system's own words go in a tooltip.
namespace FileErrorNumber {
constexpr int kDeviceIoError = 57;
constexpr int kDiskFull = 61;
constexpr int kPathFileAccessError = 75;
constexpr int kPathNotFound = 76;

// Never 0 for a failure, whatever Qt reported.
int of(QFileDevice::FileError error);
}
