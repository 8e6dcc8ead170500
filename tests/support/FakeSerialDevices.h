#pragma once
#include "link/SerialDevices.h"

// The system's serial devices as a test sets them; counts the looks.
class FakeSerialDevices : public SerialDeviceList {
public:
    QList<SerialDevice> devices() const override
    {
        ++looks;
        return list;
    }
    QList<SerialDevice> list;
    mutable int looks = 0;
};
