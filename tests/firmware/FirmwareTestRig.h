#pragma once
// A firmware exchange over the real pump and a fake port, with an identified unit and the recorders.
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/LockStepWrite.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include <QFile>
#include <QTemporaryDir>

struct FirmwareTestRig {
    FakeSerialPort port;
    RecordingMessageSink messages;
    QTemporaryDir dir;
    CommandQueue queue{messages};
    StatusModel status;
    SerialLink link{port, queue, status};
    FirmwareExchange exchange{link, queue, status, messages};

    FirmwareTestRig()
    {
        link.OpenUsbComPort(QStringLiteral("1"));
        link.UstroistvoNameClear = QByteArray(16, 'U');
        status.setConnection(StatusModel::kActive);
        queue.setLinkFree(true);
    }

    QString tag() const { return link.RPF_02VektorPriemaIsPorta; }
    void poll(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            link.receiveTick();
    }
    // Long enough for any exchange to end on silence, a write waiting for a block on the 9600 baud
    // line included (3 polls more).
    void silence() { poll(16 + 3); }
    QString path(const QString &name) const { return dir.filePath(name); }
};

// A unit's firmware: 62720 varied bytes, every value present.
inline QByteArray unitFirmware()
{
    QByteArray bytes;
    bytes.reserve(FirmwareFile::kFirmwareSize);
    for (int i = 0; i < FirmwareFile::kFirmwareSize; ++i)
        bytes += char((i * 131 + i / 64 * 7 + 3) & 0xFF);
    return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
