#pragma once
// Everything a configuration test needs around the link: a fake port behind the real pump,
// an identified unit, and the recorders of the test seams.
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "link/CommandQueue.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include <QDir>
#include <QTemporaryDir>
#include <memory>

struct ConfigTestRig {
    FakeSerialPort port;
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    // A folder of its own, unless one is given: a fuzz target gives one folder for all its inputs.
    std::unique_ptr<QTemporaryDir> ownDir;
    QString folder;
    CommandQueue queue{messages};
    RecordingOperations operations;   // what a page started
    StatusModel status;
    SerialLink link{port, queue, status};
    ConfigImage image;
    ConfigExchange exchange{link, queue, status, image, messages};
    ConfigFiles files{image, link, status, messages, dialogs, clock, folder};
    ConfigFileTransfer transfer{link, status, messages, files};

    explicit ConfigTestRig(const QString &sharedFolder = QString())
        : ownDir(sharedFolder.isEmpty() ? std::make_unique<QTemporaryDir>() : nullptr),
          folder(ownDir ? ownDir->path() : sharedFolder)
    {
        link.OpenUsbComPort(QStringLiteral("1"));
        status.setConnection(StatusModel::kActive);
        queue.setLinkFree(true);
    }

    QString tag() const { return link.RPF_02VektorPriemaIsPorta; }
    void poll(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            link.receiveTick();
    }
    // The unit's bytes arrive in pieces, one piece per poll.
    void deliver(const QByteArray &bytes, int piece)
    {
        for (qsizetype at = 0; at < bytes.size(); at += piece) {
            port.feed(bytes.mid(at, piece));
            poll();
        }
    }
    // The silence that ends an exchange.
    // Long enough for any exchange to end on silence, a write waiting for a block on the 9600 baud
    // line included (3 polls more).
    void silence() { poll(16 + 3); }
    QString path(const QString &name) const { return QDir(folder).filePath(name); }
};

// A unit's configuration: 2368 varied bytes, then 8 inputs and the "T" variant.
inline QByteArray unitConfiguration()
{
    QByteArray bytes;
    for (int i = 0; i < ConfigImage::kMemorySize; ++i)
        bytes += char((i * 37 + i / 64 * 11 + 5) & 0xFF);
    bytes += char(0x08);
    bytes += char(0x02);
    return bytes;
}

inline void fillImage(ConfigImage &image, const QByteArray &bytes)
{
    for (int i = 0; i < bytes.size(); ++i)
        image.setByte(i + 1, static_cast<unsigned char>(bytes.at(i)));
}

inline QByteArray imageBytes(const ConfigImage &image, int last)
{
    QByteArray out;
    for (int i = 1; i <= last; ++i)
        out += char(image.byteAt(i));
    return out;
}

inline QList<QString> cells(const ConfigImage &image)
{
    QList<QString> out;
    for (int i = 0; i <= ConfigImage::kLastPosition; ++i)
        out.append(image.cell(i));
    return out;
}
