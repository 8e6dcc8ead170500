// The configuration write stream, from the image and straight from a file: whatever the unit
// answers, in whatever pieces, the program sends the blocks in order, one per "OK", never anything
// else, and reports success only when the unit acknowledged every block and fell silent.
#include "../config/ConfigTestRig.h"
#include "FuzzSupport.h"
#include "link/LockStepWrite.h"
#include "link/OperationTags.h"
#include <QFile>
#include <algorithm>

namespace {

// The write rules, poll by poll: each "OK" (also one split over reads) answers what went out last
// and releases the next block; line ends, blanks and NULs around it are nothing; other text that can
// no longer become an "OK" breaks the write; an answer not come 15 polls (and the line's 3 at the
// rig's speed) after the last "OK" that answered something ends it, whatever came meanwhile: as a
// stall on a silent poll, as a line sending something else on a poll with bytes; so do more than
// 1024 bytes since that "OK". Once every block is acknowledged, 16 silent polls end it successfully.
struct Reference {
    QByteArray memory;
    QString inProgress;
    QString tag;
    QByteArray sent;
    QStringList messages;
    QByteArray pending;
    int blocksSent = 0;
    int acknowledged = 0;
    int idle = 0;
    int polls = 0;
    bool requestAnswered = false;
    int lastGoAhead = 0;
    qsizetype sinceGoAhead = 0;

    Reference(const QByteArray &memory, const QString &inProgress)
        : memory(memory), inProgress(inProgress), tag(inProgress) {}

    static bool isFiller(char byte) { return byte == '\r' || byte == '\n' || byte == ' ' || byte == '\0'; }

    void poll(const QByteArray &bytes)
    {
        idle = bytes.isEmpty() ? idle + 1 : 0;
        ++polls;
        if (tag != inProgress)
            return;
        // At the rig's 9600 baud a block on the line and an early timer add 3 polls to the wait for it.
        const bool overdue = polls - lastGoAhead > LockStepWrite::kIdleLimit + 3;
        const bool ending =
            bytes.isEmpty() && (acknowledged == ConfigImage::kBlockCount ? idle > LockStepWrite::kIdleLimit : overdue);
        if (bytes.isEmpty()) {
            if (ending) {
                if (acknowledged == ConfigImage::kBlockCount) {
                    tag = Tag::Written;
                } else {
                    tag = Tag::WriteError;
                    messages << (blocksSent == ConfigImage::kBlockCount ? LockStepWrite::kNotAcknowledged
                                                                        : ConfigExchange::kCountMismatch);
                }
            }
            return;
        }
        pending += bytes;
        sinceGoAhead += bytes.size();
        if (pending.contains("OK")) {
            pending.clear();
            if (!requestAnswered || acknowledged < blocksSent || blocksSent < ConfigImage::kBlockCount) {
                lastGoAhead = polls;
                sinceGoAhead = 0;
            }
            requestAnswered = true;
            acknowledged = blocksSent;
            if (blocksSent < ConfigImage::kBlockCount) {
                sent += memory.mid(blocksSent * ConfigImage::kBlockSize, ConfigImage::kBlockSize);
                ++blocksSent;
                return;
            }
        }
        const bool fillers = std::all_of(pending.cbegin(), pending.cend(), isFiller);
        if (!fillers && !pending.endsWith('O')) {
            tag = Tag::WriteError;
            messages << ConfigExchange::kSequenceBroken;
        } else if (sinceGoAhead > 1024 || polls - lastGoAhead > LockStepWrite::kIdleLimit + 3) {
            tag = Tag::WriteError;
            messages << LockStepWrite::kNoGoAhead + QLatin1Char('\n') + ConfigExchange::kMayBeIncomplete;
        } else if (fillers) {
            pending.clear();
        }
    }
};

void run(ConfigTestRig &rig, const QList<Fuzz::Poll> &polls, Reference &reference)
{
    FUZZ_CHECK(rig.port.takeWritten() == ConfigExchange::kWriteRequest && rig.tag() == reference.inProgress, rig.tag());
    QList<Fuzz::Poll> all = polls;
    for (int i = 0; i <= ConfigExchange::kIdleLimit + 3; ++i)
        all.append(Fuzz::Poll{});
    bool pulled = false;
    for (const Fuzz::Poll &poll : std::as_const(all)) {
        if (rig.tag() != reference.inProgress)
            break;
        if (poll.pulled) {
            pulled = true;
            rig.port.failReadsWith = SerialPort::ReadError;
            rig.poll();
            break;
        }
        rig.port.feed(poll.bytes);
        rig.poll();
        reference.poll(poll.bytes);
    }
    const QByteArray sent = rig.port.written();
    // Only a failure is described.
    const auto about = [&] {
        return QStringLiteral("tag \"%1\" expected \"%2\"; sent %3 bytes, expected %4%5")
            .arg(rig.tag(), reference.tag)
            .arg(sent.size())
            .arg(reference.sent.size())
            .arg(pulled ? QStringLiteral(", pulled") : QString());
    };
    if (pulled) {
        // Said at once, with the final tag.
        FUZZ_CHECK(rig.tag() == Tag::WriteError && !rig.link.isOpen(), about());
        FUZZ_CHECK(sent == reference.sent && rig.messages.texts.size() == 1
                       && rig.messages.texts.first().startsWith(QStringLiteral("Связь с устройством потеряна")),
                   about());
        return;
    }
    FUZZ_CHECK(rig.tag() == reference.tag, about());
    FUZZ_CHECK(sent == reference.sent, about());
    FUZZ_CHECK(rig.messages.texts == reference.messages,
               rig.messages.texts.join(QLatin1Char('|')) + QStringLiteral(" vs ") + reference.messages.join(QLatin1Char('|')));
}

// The unit's configuration as an image and as a file: the same for every input, made once.
const ConfigImage &unitImage()
{
    static const ConfigImage image = [] {
        ConfigImage made;
        fillImage(made, unitConfiguration());
        return made;
    }();
    return image;
}

const QByteArray &unitFile()
{
    static const QByteArray file = ConfigFiles::formatImage(unitImage());
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    const QList<Fuzz::Poll> polls = Fuzz::decodePolls(Fuzz::viewOf(data, size));
    static const QByteArray unit = unitConfiguration();

    {
        ConfigTestRig rig(Fuzz::scratchFolder());
        rig.image = unitImage();
        rig.exchange.ConfiguraciaWriteProcess();
        Reference reference(unit.left(ConfigImage::kMemorySize), Tag::ConfigWrite);
        run(rig, polls, reference);
        if (rig.tag() == Tag::Written || rig.tag() == Tag::WriteError)
            FUZZ_CHECK(rig.queue.LinkFree(), rig.tag());
    }
    {
        ConfigTestRig rig(Fuzz::scratchFolder());
        // Written anew for each input: what the load reads is never what an earlier input left.
        const QString path = rig.path(QStringLiteral("unit.cf"));
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(unitFile()) == unitFile().size(), path);
        file.close();
        rig.dialogs.answers = {path};
        rig.transfer.LoadFromFile();
        Reference reference(unit.left(ConfigImage::kMemorySize), Tag::ConfigFileLoad);
        run(rig, polls, reference);
    }
    return 0;
}
