// The simulated unit's request parser: the same bytes give the same answers and the same memory
// however the line cuts them, a write commits exactly bytes that followed its request, and
// nothing is answered without a request.
#include "FuzzSupport.h"
#include "SimCore.h"
#include "SimDefaults.h"
#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 kSilenceMs = 1000;   // a silent record lets this much time pass

struct Run {
    // The answers as they were taken: a firmware read is 62720 bytes, so they are kept, not joined.
    QList<QByteArray> output;
    QList<QByteArray> images, firmwares;
    QByteArray image, firmware;
    bool inSession = false;
};

void take(Run &run, const QByteArray &output)
{
    if (!output.isEmpty())
        run.output.append(output);
}

// Whether two lists of pieces hold the same bytes, however they are cut.
bool sameBytes(const QList<QByteArray> &a, const QList<QByteArray> &b)
{
    qsizetype i = 0, j = 0, inA = 0, inB = 0;
    for (;;) {
        if (i < a.size() && inA == a.at(i).size()) {
            ++i;
            inA = 0;
            continue;
        }
        if (j < b.size() && inB == b.at(j).size()) {
            ++j;
            inB = 0;
            continue;
        }
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        const qsizetype n = std::min(a.at(i).size() - inA, b.at(j).size() - inB);
        if (std::memcmp(a.at(i).constData() + inA, b.at(j).constData() + inB, size_t(n)) != 0)
            return false;
        inA += n;
        inB += n;
    }
}

QString dump(const QList<QByteArray> &pieces)
{
    QByteArray joined;
    for (const QByteArray &piece : pieces)
        joined += piece;
    return Fuzz::dump(joined);
}

Run feed(const QList<Fuzz::Poll> &records, bool bytewise)
{
    SimCore core{QByteArray(), QByteArray()};
    Run run;
    core.imageCommitted = [&run](const QByteArray &image) { run.images << image; };
    core.firmwareCommitted = [&run](const QByteArray &firmware) { run.firmwares << firmware; };
    qint64 now = 0;
    for (const Fuzz::Poll &record : records) {
        if (record.bytes.isEmpty()) {
            now += kSilenceMs;
            core.advance(now);
        } else if (bytewise) {
            // Each byte as a view of the input: no allocation per byte.
            for (qsizetype i = 0; i < record.bytes.size(); ++i)
                core.receive(QByteArray::fromRawData(record.bytes.constData() + i, 1), now);
        } else {
            core.receive(record.bytes, now);
        }
        take(run, core.takeOutput(now));
    }
    take(run, core.takeOutput(now + 24 * 3600 * 1000));
    run.image = core.image();
    run.firmware = core.firmware();
    run.inSession = core.inWriteSession();
    return run;
}

// Some place in the input where these bytes follow a write request.
bool followsRequest(const QByteArray &input, const QByteArray &data, const QByteArray &request)
{
    for (qsizetype at = input.indexOf(data); at >= 0; at = input.indexOf(data, at + 1)) {
        const qsizetype requestAt = input.indexOf(request);
        if (requestAt >= 0 && requestAt + request.size() <= at)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    const QList<Fuzz::Poll> records = Fuzz::decodePolls(Fuzz::viewOf(data, size), false);
    const QByteArray input = Fuzz::concatenated(records);

    const Run whole = feed(records, false);
    const Run bytes = feed(records, true);
    FUZZ_CHECK(sameBytes(whole.output, bytes.output), QStringLiteral("%1 vs %2").arg(dump(whole.output), dump(bytes.output)));
    FUZZ_CHECK(whole.images == bytes.images && whole.firmwares == bytes.firmwares && whole.image == bytes.image
                   && whole.firmware == bytes.firmware && whole.inSession == bytes.inSession,
               QStringLiteral("memory differs with the cut"));

    if (!input.contains('#'))
        FUZZ_CHECK(whole.output.isEmpty(), dump(whole.output));

    static const SimCore fresh{QByteArray(), QByteArray()};
    for (const QByteArray &image : whole.images) {
        FUZZ_CHECK(image.size() == SimDefaults::kImageSize, QString::number(image.size()));
        FUZZ_CHECK(image.mid(SimDefaults::kConfigSize) == fresh.image().mid(SimDefaults::kConfigSize),
                   QStringLiteral("model bytes changed"));
        FUZZ_CHECK(followsRequest(input, image.left(SimDefaults::kConfigSize), QByteArrayLiteral("#6001")),
                   QStringLiteral("committed configuration was not sent after #6001"));
    }
    for (const QByteArray &firmware : whole.firmwares)
        FUZZ_CHECK(followsRequest(input, firmware, QByteArrayLiteral("#5001")),
                   QStringLiteral("committed firmware was not sent after #5001"));
    return 0;
}
