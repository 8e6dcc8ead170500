#include "config/FileErrorNumber.h"

int FileErrorNumber::of(QFileDevice::FileError error)
{
    switch (error) {
    case QFileDevice::ResourceError:
        return kDiskFull;   // Qt's word for a full disk, among others
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
    case QFileDevice::RemoveError:
    case QFileDevice::RenameError:
    case QFileDevice::CopyError:
        return kPathFileAccessError;
    default:
        // Read, write, fatal, aborted, timed out, unspecified, and "no error" after a failure.
        return kDeviceIoError;
    }
}
