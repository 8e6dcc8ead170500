#pragma once
// The monitoring exchange over a fake port behind the real receive pump, with an identified unit
// and the other pages stood in for by plain values.
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "monitor/MonitorExchange.h"

struct MonitorTestRig {
    FakeSerialPort port;
    RecordingMessageSink messages;
    FixedClock clock;
    CommandQueue queue{messages};
    StatusModel status;
    SerialLink link{port, queue, status};
    MonitorExchange exchange{link, queue, status, messages, clock};

    // What the other pages would say.
    bool visible = true;
    std::optional<int> inputs = 8;
    QString model = QStringLiteral("ЗОРГЕЛ-GSM8T");
    QString upper = QStringLiteral("80");
    QString lower = QStringLiteral("20");
    int inputRefreshes = 0;
    int deviceRefreshes = 0;

    MonitorTestRig()
    {
        link.OpenUsbComPort(QStringLiteral("1"));
        status.setConnection(StatusModel::kActive);
        queue.setLinkFree(true);
        queue.setStarter(Cmd::MonitoringProcess, [this](QString &) { exchange.MonitoringProcess(); });
        MonitorExchange::Hooks hooks;
        hooks.pageVisible = [this] { return visible; };
        hooks.refreshInputs = [this] { ++inputRefreshes; };
        hooks.refreshDeviceInfo = [this] { ++deviceRefreshes; };
        hooks.inputCount = [this] { return inputs; };
        hooks.modelName = [this] { return model; };
        hooks.thresholds = [this](int, bool isUpper) { return isUpper ? upper : lower; };
        exchange.setHooks(std::move(hooks));
        exchange.setLocale(QLocale::c());
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
};

// A measurement frame: every input row at `input`, battery 877, supply 389, reference 375.
inline QByteArray measurementReply(int input = 447)
{
    QList<int> words(13, input);
    words << 877 << 389 << 310 << 375;
    QByteArray bytes(64, '\0');
    for (int k = 0; k < words.size(); ++k) {
        bytes[2 * k] = char(words.at(k) >> 8);
        bytes[2 * k + 1] = char(words.at(k) & 0xFF);
    }
    return bytes;
}
