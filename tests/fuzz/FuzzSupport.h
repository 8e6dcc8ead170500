#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

// Shared by the fuzz targets: a Qt application object, failure reports that libFuzzer records as
// crashes, and the poll script that stands for what a unit sends over time.
namespace Fuzz {

// Creates the application object once (timers and codecs need one).
void init();

// A temporary folder for the whole run, removed at exit: made once, not per input. Targets that
// reuse it clear what an input leaves there before the next one.
QString scratchFolder();

// Reports a broken invariant with its details and aborts, so the input is kept as a crash.
[[noreturn]] void fail(const char *file, int line, const char *condition, const QString &detail);

QByteArray bytesOf(const uint8_t *data, size_t size);
// The input itself, uncopied: it stays valid for the whole call of the target.
QByteArrayView viewOf(const uint8_t *data, size_t size);
// "41 42 ..." of the first max bytes, for reports.
QString dump(const QByteArray &bytes, int max = 48);

// One 50 ms receive poll of a script.
struct Poll {
    // What has arrived since the previous poll; empty: a silent poll. Shares the script's bytes
    // (no copy per poll: a target runs hundreds of polls an input), so it is valid while they are.
    QByteArray bytes;
    bool pulled = false;   // the adapter is pulled: the read on this poll fails
};

// Script format, byte by byte: 0x00 a silent poll; 0x01..0x7E that many bytes arriving in one poll;
// 0x7F the adapter pulled; 0x80..0xFF with the next byte a 15-bit length of one large arrival.
// A length running past the end takes what is left. The script must outlive the polls: pass the
// target's input (viewOf); a temporary array is refused.
QList<Poll> decodePolls(QByteArrayView script, bool allowPull = true);
QList<Poll> decodePolls(QByteArray &&script, bool allowPull = true) = delete;

// Everything the polls deliver, in order.
QByteArray concatenated(const QList<Poll> &polls);

} // namespace Fuzz

// A script's list of polls grows by moving them, not copying each one.
Q_DECLARE_TYPEINFO(Fuzz::Poll, Q_RELOCATABLE_TYPE);

#define FUZZ_CHECK(condition, detail)                                                                                 \
    do {                                                                                                              \
        if (!(condition))                                                                                             \
            ::Fuzz::fail(__FILE__, __LINE__, #condition, (detail));                                                   \
    } while (false)
