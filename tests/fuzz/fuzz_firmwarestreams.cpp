// The firmware streams: read into a ".fw" file and written from one, whatever the unit sends, in
// whatever pieces, with the adapter pulled at any point. A file is replaced only by exactly the
// 62720 bytes that arrived; a write sends the file's blocks in order, one per "OK" at most, tells
// each text the unit sends in place of an "OK", and claims success only with every block sent and
// acknowledged; the link is always freed.
// Input: a byte whose lowest bit picks the write (1) or the read (0), then the poll script.
#include "FakeSerialPort.h"
#include "FuzzSupport.h"
#include "LinkRig.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/OperationTags.h"
#include <QDir>
#include <QFile>

namespace {

struct Rig : LinkRig {
    FirmwareExchange firmware{link, queue, status, messages};

    Rig()
    {
        link.OpenUsbComPort(QStringLiteral("1"));
        // The polls are called by hand: a running timer would only be stopped and armed again on each.
        link.pollTimer().stop();
        port.recordWrites = false;
        status.setConnection(StatusModel::kActive);
        queue.setLinkFree(true);
    }
    QString tag() const { return link.RPF_02VektorPriemaIsPorta; }
};

struct Outcome {
    QByteArray received;   // what arrived while the exchange ran
    bool pulled = false;
};

// The polls while the exchange's tag holds, then silence until it ends.
Outcome run(Rig &rig, const QList<Fuzz::Poll> &polls, const QString &tag)
{
    Outcome outcome;
    static const Fuzz::Poll silence;
    // 3 polls more for a block still on the 9600 baud line.
    const qsizetype count = polls.size() + LockStepWrite::kIdleLimit + 1 + 3;
    for (qsizetype i = 0; i < count; ++i) {
        const Fuzz::Poll &poll = i < polls.size() ? polls.at(i) : silence;
        if (rig.tag() != tag)
            break;
        if (poll.pulled) {
            outcome.pulled = true;
            rig.port.failReadsWith = SerialPort::ReadError;
            rig.link.receiveTick();
            break;
        }
        outcome.received += poll.bytes;
        rig.port.feed(poll.bytes);
        rig.link.receiveTick();
    }
    return outcome;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The firmware every write sends, and its file: made once, the same for every input.
const QByteArray &firmwareImage()
{
    static const QByteArray bytes = [] {
        QByteArray b(FirmwareFile::kFirmwareSize, '\0');
        for (int i = 0; i < b.size(); ++i)
            b[i] = char((i * 131 + i / 64) & 0xFF);
        return b;
    }();
    return bytes;
}

// The folder a read writes its file in; each read leaves there only that file.
const QString &readFolder()
{
    static const QString folder = [] {
        const QString path = Fuzz::scratchFolder() + QStringLiteral("/read");
        FUZZ_CHECK(QDir().mkpath(path), path);
        return path;
    }();
    return folder;
}

// The file every write loads, read and checked once: its parsing has a target of its own.
const FirmwareFile::Content &firmwareSource()
{
    static const FirmwareFile::Content content = [] {
        const QString path = Fuzz::scratchFolder() + QStringLiteral("/new.fw");
        QFile file(path);
        const QByteArray bytes = FirmwareFile::format(firmwareImage());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), path);
        file.close();
        const FirmwareFile::Content read = FirmwareFile::read(path);
        FUZZ_CHECK(read.ok(), read.reason);
        return read;
    }();
    return content;
}

void checkRead(const QList<Fuzz::Poll> &polls)
{
    Rig rig;
    const QString target = readFolder() + QStringLiteral("/unit.fw");
    const QByteArray good = QByteArrayLiteral("a firmware file kept from before\r\n");
    {
        QFile file(target);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(good) == good.size(), target);
    }
    FUZZ_CHECK(rig.firmware.saveToFile(target), rig.messages.texts.join(QLatin1Char('|')));
    rig.queue.pump();
    FUZZ_CHECK(rig.port.takeWritten() == FirmwareExchange::kReadRequest && rig.tag() == Tag::FirmwareRead, rig.tag());

    const Outcome outcome = run(rig, polls, Tag::FirmwareRead);
    // Made only for a failure.
    const auto about = [&] {
        return QStringLiteral("%1 bytes%2, tag \"%3\", messages %4")
            .arg(outcome.received.size())
            .arg(outcome.pulled ? QStringLiteral(" pulled") : QString(), rig.tag(),
                 rig.messages.texts.join(QLatin1Char('|')));
    };
    FUZZ_CHECK(!rig.firmware.isBusy() && rig.queue.LinkFree(), about());
    if (rig.tag() == Tag::Saved) {
        FUZZ_CHECK(!outcome.pulled && outcome.received.size() == FirmwareFile::kFirmwareSize, about());
        FUZZ_CHECK(readFile(target) == FirmwareFile::format(outcome.received), about());
        FUZZ_CHECK(rig.messages.texts.isEmpty(), about());
    } else {
        FUZZ_CHECK(outcome.pulled || outcome.received.size() != FirmwareFile::kFirmwareSize, about());
        FUZZ_CHECK(readFile(target) == good, about());
        FUZZ_CHECK(rig.messages.texts.size() == 1 && rig.messages.texts.first().contains(target), about());
    }
    FUZZ_CHECK(QDir(readFolder()).entryList(QDir::Files | QDir::Hidden) == QStringList{QStringLiteral("unit.fw")},
               QDir(readFolder()).entryList(QDir::Files | QDir::Hidden).join(QLatin1Char(' ')));
}

void checkWrite(const QList<Fuzz::Poll> &polls)
{
    Rig rig;
    const QByteArray &image = firmwareImage();
    FUZZ_CHECK(rig.firmware.loadContent(firmwareSource(), QStringLiteral("new.fw")),
               rig.messages.texts.join(QLatin1Char('|')));
    rig.queue.pump();
    FUZZ_CHECK(rig.port.takeWritten() == FirmwareExchange::kWriteRequest && rig.tag() == Tag::FirmwareWrite, rig.tag());

    const Outcome outcome = run(rig, polls, Tag::FirmwareWrite);
    const QByteArray sent = rig.port.written();
    const int blocks = int(sent.size() / FirmwareFile::kBlockSize);
    const qsizetype oks = outcome.received.count("OK");
    // Made only for a failure.
    const auto about = [&] {
        return QStringLiteral("%1 bytes sent for %2 \"OK\" in %3 bytes%4, tag \"%5\", messages %6")
            .arg(sent.size())
            .arg(oks)
            .arg(outcome.received.size())
            .arg(outcome.pulled ? QStringLiteral(" pulled") : QString(), rig.tag(),
                 rig.messages.texts.join(QLatin1Char('|')));
    };
    FUZZ_CHECK(!rig.firmware.isBusy() && rig.queue.LinkFree(), about());
    // The file's blocks in order, whole, each released by an "OK".
    FUZZ_CHECK(sent.size() % FirmwareFile::kBlockSize == 0 && sent == image.left(sent.size()), about());
    FUZZ_CHECK(blocks <= oks, about());
    // Text where an "OK" was due is told on its way, one message each; the end is one more.
    QStringList told = rig.messages.texts;
    const QString end = rig.tag() == Tag::Written ? QString() : told.isEmpty() ? QString() : told.takeLast();
    for (const QString &text : std::as_const(told))
        // Mid-way with the line that the flash goes on; one told as the write ends, alone.
        FUZZ_CHECK(text.startsWith(FirmwareExchange::kSequenceBroken)
                       && (!text.contains(QLatin1Char('\n'))
                           || (text.count(QLatin1Char('\n')) == 1 && text.endsWith(FirmwareExchange::kWriteGoesOn))),
                   about());
    if (rig.tag() == Tag::Written) {
        FUZZ_CHECK(!outcome.pulled && blocks == FirmwareFile::kBlockCount
                       && oks >= FirmwareFile::kBlockCount + 1,
                   about());
    } else {
        FUZZ_CHECK(!end.isEmpty(), about());
        if (blocks > 0)
            FUZZ_CHECK(end.contains(outcome.pulled ? FirmwareExchange::kMayBeUnusableLost
                                                   : FirmwareExchange::kMayBeUnusable),
                       about());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    if (size == 0)
        return 0;
    // The first byte picks the stream: a read and a write want scripts of different shapes, and a
    // script of one shape only runs the other into its first refusal.
    const QList<Fuzz::Poll> polls = Fuzz::decodePolls(Fuzz::viewOf(data + 1, size - 1));
    if (data[0] & 1)
        checkWrite(polls);
    else
        checkRead(polls);
    return 0;
}
