#include "FuzzSupport.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace Fuzz {

void init()
{
    // Files are committed with a sync to disk; in memory that costs nothing and fuzzing stays fast.
    static const bool inMemory = [] {
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable() && qEnvironmentVariableIsEmpty("TARVIKS_FUZZ_KEEP_TMPDIR"))
            qputenv("TMPDIR", "/dev/shm");
        return true;
    }();
    (void)inMemory;
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

namespace {
// Kept on the heap: the exit handler runs after function statics are gone.
const QString *scratch = nullptr;
}

QString scratchFolder()
{
    if (!scratch) {
        init();
        QTemporaryDir dir;
        dir.setAutoRemove(false);
        if (!dir.isValid())
            fail(__FILE__, __LINE__, "dir.isValid()", dir.errorString());
        scratch = new QString(dir.path());
        std::atexit([] { QDir(*scratch).removeRecursively(); });
    }
    return *scratch;
}

void fail(const char *file, int line, const char *condition, const QString &detail)
{
    std::fprintf(stderr, "\n*** invariant broken at %s:%d: %s\n    %s\n", file, line, condition,
                 detail.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

QByteArrayView viewOf(const uint8_t *data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size));
}

QString dump(const QByteArray &bytes, int max)
{
    QString out = QString::fromLatin1(bytes.left(max).toHex(' ').toUpper());
    if (bytes.size() > max)
        out += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
    return out;
}

QList<Poll> decodePolls(QByteArrayView script, bool allowPull)
{
    QList<Poll> polls;
    qsizetype i = 0;
    while (i < script.size()) {
        const auto code = static_cast<uchar>(script.at(i++));
        Poll poll;
        if (code == 0x7F) {
            if (!allowPull)
                continue;
            poll.pulled = true;
        } else if (code != 0) {
            qsizetype length = code;
            if (code & 0x80) {
                const int low = i < script.size() ? static_cast<uchar>(script.at(i++)) : 0;
                length = ((code & 0x7F) << 8) | low;
            }
            length = qMin(length, script.size() - i);
            poll.bytes = QByteArray::fromRawData(script.data() + i, length);
            i += length;
        }
        polls.append(std::move(poll));
    }
    return polls;
}

QByteArray concatenated(const QList<Poll> &polls)
{
    QByteArray out;
    for (const Poll &poll : polls)
        out += poll.bytes;
    return out;
}

} // namespace Fuzz
