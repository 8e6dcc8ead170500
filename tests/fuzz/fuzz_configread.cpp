// The configuration read stream, into the image and straight into a file: whatever the unit sends,
// in whatever pieces, success means exactly 2370 bytes arrived and were stored as they arrived; a
// stored byte is always the byte received at that place; a file is only ever replaced by a
// complete one.
#include "../config/ConfigTestRig.h"
#include "FuzzSupport.h"
#include "link/OperationTags.h"
#include <QDir>
#include <QFile>
#include <dirent.h>

namespace {

// What arrives before the read ends (the first poll after 15 silent ones).
struct Stream {
    QByteArray bytes;
    bool ended = false;
    bool pulled = false;
};

// Feeds the polls while the exchange's tag holds, then silence until it ends.
Stream run(ConfigTestRig &rig, const QList<Fuzz::Poll> &polls, const QString &tag)
{
    Stream stream;
    int idle = 0;
    QList<Fuzz::Poll> all = polls;
    for (int i = 0; i <= ConfigExchange::kIdleLimit; ++i)
        all.append(Fuzz::Poll{});
    for (const Fuzz::Poll &poll : std::as_const(all)) {
        if (rig.tag() != tag)
            break;
        if (poll.pulled) {
            stream.pulled = true;
            rig.port.failReadsWith = SerialPort::ReadError;
            rig.poll();
            break;
        }
        idle = poll.bytes.isEmpty() ? idle + 1 : 0;
        if (!stream.ended) {
            stream.bytes += poll.bytes;
            stream.ended = idle > ConfigExchange::kIdleLimit;
        }
        rig.port.feed(poll.bytes);
        rig.poll();
    }
    return stream;
}

QString describe(const Stream &stream, const QString &tag)
{
    return QStringLiteral("%1 bytes%2, tag \"%3\"").arg(stream.bytes.size()).arg(stream.pulled ? QStringLiteral(" pulled") : QString(), tag);
}

void checkRead(const QList<Fuzz::Poll> &polls)
{
    ConfigTestRig rig(Fuzz::scratchFolder());
    rig.exchange.ConfiguraciaReadProcess();
    FUZZ_CHECK(rig.port.takeWritten() == ConfigExchange::kReadRequest && rig.tag() == Tag::ConfigRead, rig.tag());
    const Stream stream = run(rig, polls, Tag::ConfigRead);
    const bool complete = stream.ended && !stream.pulled && stream.bytes.size() == ConfigImage::kImageSize;
    // Only a failure is described.
    const auto about = [&] { return describe(stream, rig.tag()); };

    if (complete) {
        FUZZ_CHECK(rig.tag() == Tag::ReadOk && rig.exchange.ConfiguraciaProchitana, about());
        FUZZ_CHECK(imageBytes(rig.image, ConfigImage::kImageSize) == stream.bytes, about());
        FUZZ_CHECK(rig.messages.texts.isEmpty(), rig.messages.texts.join(QLatin1Char('|')));
    } else if (stream.pulled) {
        // Said at once, with the final tag and the bytes that came.
        FUZZ_CHECK(rig.tag() == Tag::ReadError && !rig.link.isOpen() && !rig.exchange.ConfiguraciaProchitana, about());
        const QString lost = ConfigExchange::kLinkLostRead.arg(stream.bytes.size()).arg(ConfigImage::kImageSize);
        FUZZ_CHECK(rig.messages.texts.size() == 1 && rig.messages.texts.first().startsWith(lost),
                   rig.messages.texts.join(QLatin1Char('|')));
    } else {
        FUZZ_CHECK(rig.tag() == Tag::ReadError && !rig.exchange.ConfiguraciaProchitana, about());
        FUZZ_CHECK(rig.messages.texts == QStringList{ConfigExchange::kCountMismatch}, rig.messages.texts.join(QLatin1Char('|')));
    }
    if (!stream.pulled)
        FUZZ_CHECK(rig.queue.LinkFree(), about());
    // Whatever was stored is what arrived at that place.
    for (int position = 1; position <= ConfigImage::kLastPosition; ++position) {
        const int value = rig.image.byteAt(position);
        if (value < 0)
            continue;
        FUZZ_CHECK(position <= stream.bytes.size() && value == static_cast<uchar>(stream.bytes.at(position - 1)),
                   QStringLiteral("position %1 holds %2; %3").arg(position).arg(value).arg(about()));
    }
}

// Counted straight from the system: a QDir listing of /proc/self/fd costs more than the copy it checks.
int openFiles()
{
    DIR *const fds = opendir("/proc/self/fd");
    if (!fds)
        return -1;
    int count = 0;
    while (const dirent *entry = readdir(fds))
        count += entry->d_name[0] != '.' ? 1 : 0;
    closedir(fds);
    // The listing's own descriptor is not one of the program's.
    return count - 1;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? file.readAll() : QByteArray("<missing>");
}

void checkCopy(const QList<Fuzz::Poll> &polls)
{
    const QByteArray good = QByteArrayLiteral("a good file from before\r\n");
    QString target;
    QDir dir;
    Stream stream;
    {
        ConfigTestRig rig(Fuzz::scratchFolder());
        dir = QDir(rig.folder);
        target = rig.path(QStringLiteral("unit.cf"));
        {
            QFile file(target);
            FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(good) == good.size(), target);
        }
        rig.dialogs.answers = {target};
        const int filesBefore = openFiles();
        rig.transfer.CopyToFile();
        FUZZ_CHECK(rig.port.takeWritten() == ConfigExchange::kReadRequest && rig.tag() == Tag::ConfigFileCopy, rig.tag());
        stream = run(rig, polls, Tag::ConfigFileCopy);
        const bool complete = stream.ended && !stream.pulled && stream.bytes.size() == ConfigImage::kImageSize;
        const auto about = [&] { return describe(stream, rig.tag()); };
        if (complete) {
            ConfigImage image;
            fillImage(image, stream.bytes);
            FUZZ_CHECK(rig.tag() == Tag::Saved, about());
            FUZZ_CHECK(readFile(target) == ConfigFiles::formatImage(image), about());
            FUZZ_CHECK(rig.messages.texts.isEmpty(), rig.messages.texts.join(QLatin1Char('|')));
        } else {
            FUZZ_CHECK(rig.tag() == Tag::SaveError, about());
            FUZZ_CHECK(readFile(target) == good, about());
            if (stream.pulled) {
                const QString lost = ConfigExchange::kLinkLostRead.arg(stream.bytes.size()).arg(ConfigImage::kImageSize);
                FUZZ_CHECK(rig.messages.texts.size() == 1 && rig.messages.texts.first().startsWith(lost),
                           rig.messages.texts.join(QLatin1Char('|')));
            } else {
                FUZZ_CHECK(rig.messages.texts == QStringList{ConfigExchange::kCountMismatch},
                           rig.messages.texts.join(QLatin1Char('|')));
            }
        }
        // However the copy ended, nothing of it stays behind, not even an unnamed temporary file.
        FUZZ_CHECK(dir.entryList(QDir::Files | QDir::Hidden) == QStringList{QStringLiteral("unit.cf")},
                   dir.entryList(QDir::Files | QDir::Hidden).join(QLatin1Char(' ')));
        FUZZ_CHECK(openFiles() == filesBefore, QStringLiteral("%1 files open, %2 before; %3").arg(openFiles()).arg(filesBefore).arg(about()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    const QList<Fuzz::Poll> polls = Fuzz::decodePolls(Fuzz::viewOf(data, size));
    checkRead(polls);
    checkCopy(polls);
    return 0;
}
