#pragma once
// The serial link over a fake port, with the queue and status it needs.
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/UnitSettings.h"

struct LinkRig {
    FakeSerialPort port;
    RecordingMessageSink messages;
    CommandQueue queue{messages};
    StatusModel status;
    UnitSettings choices;
    SerialLink link{port, queue, status, choices};
};
