#include <QtTest>
#include "FakeSerialPort.h"
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimOptions.h"
#include "SimStore.h"
#include "link/Cp1251.h"

Q_DECLARE_METATYPE(SimFaults)
Q_DECLARE_METATYPE(SimCore::Frames)

namespace {
// Positions as the program numbers them: memory offset + 1.
char at(const QByteArray &image, int position)
{
    return image.at(position - 1);
}

QByteArray exchange(SimCore &core, const QByteArray &request, qint64 nowMs = 0)
{
    core.receive(request, nowMs);
    return core.takeOutput(nowMs);
}

QByteArray pattern(int size, int salt)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + salt) & 0xFF);
    return bytes;
}

int word(const QByteArray &frame, int k)   // k = 1..32, big-endian
{
    return (uchar(frame.at(2 * k - 2)) << 8) | uchar(frame.at(2 * k - 1));
}

SimFaults faultsOnly(const QByteArray &request)
{
    SimFaults f;
    f.onlyFor = {request};
    return f;
}
}

class TestSimCore : public QObject {
    Q_OBJECT
private slots:
    void replies_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray name = Cp1251::encode(QStringLiteral("ЗОРГЕЛ-GSM8T")).leftJustified(16, ' ');
        QTest::newRow("identify") << QByteArray("#4000") << QByteArray("#4000=" + name + "\r\n");
        QTest::newRow("config read") << QByteArray("#6000") << SimDefaults::image();
        QTest::newRow("firmware read") << QByteArray("#5000") << SimDefaults::firmware();
        QTest::newRow("config write go-ahead") << QByteArray("#6001") << QByteArray("OK");
        QTest::newRow("firmware write go-ahead") << QByteArray("#5001") << QByteArray("OK");
        QTest::newRow("unknown request") << QByteArray("#9999") << QByteArray();
        QTest::newRow("lower-case noise") << QByteArray("hello") << QByteArray();
    }
    void replies()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expected);
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        QCOMPARE(exchange(core, request), expected);
    }

    void requestFraming_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<int>("answers");
        QTest::newRow("one piece") << QList<QByteArray>{"#4000"} << 1;
        QTest::newRow("byte by byte") << QList<QByteArray>{"#", "4", "0", "0", "0"} << 1;
        QTest::newRow("noise before") << QList<QByteArray>{QByteArray("\x00\xFFxx#4000", 9)} << 1;
        QTest::newRow("broken request then good one") << QList<QByteArray>{"#40", "#4000"} << 1;
        QTest::newRow("two at once") << QList<QByteArray>{"#4000#4000"} << 2;
        QTest::newRow("unknown then known") << QList<QByteArray>{"#1234#4000"} << 1;
        QTest::newRow("incomplete") << QList<QByteArray>{"#400"} << 0;
    }
    void requestFraming()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(int, answers);
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        QByteArray out;
        for (const QByteArray &piece : pieces) {
            core.receive(piece, 0);
            out += core.takeOutput(0);
        }
        QCOMPARE(out.count("#4000="), answers);
        QCOMPARE(out.size(), 24 * answers);
    }

    void deviceNameIsPaddedOrCut_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("short") << QByteArray("ABC") << QByteArray("ABC             ");
        QTest::newRow("long") << QByteArray("0123456789ABCDEFGH") << QByteArray("0123456789ABCDEF");
    }
    void deviceNameIsPaddedOrCut()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, sent);
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        core.setDeviceName(name);
        QCOMPARE(exchange(core, "#4000").mid(6, 16), sent);
    }

    // The factory image must mean, at the positions the program reads, what a fresh unit holds.
    void defaultImageReadsAsAFreshUnit()
    {
        const QByteArray image = SimDefaults::image();
        QCOMPARE(image.size(), 2370);
        QCOMPARE(int(uchar(at(image, 2369))), 0x08);   // 8 inputs
        QCOMPARE(int(uchar(at(image, 2370))), 0x02);   // "T" variant
        QCOMPARE(image.mid(2352, 15), QByteArray("356938035643809"));
        // Versions: three hex digits "." two, from cells 1411..1413 and 1420..1422.
        auto version = [&](int first) {
            const QString s = QString::fromLatin1(image.mid(first - 1, 3).toHex().toUpper()).left(5);
            return s.left(3) + QLatin1Char('.') + s.right(2);
        };
        QCOMPARE(version(1411), QStringLiteral("001.25"));
        QCOMPARE(version(1420), QStringLiteral("002.07"));
        QCOMPARE(image.mid(120, 8).toHex().toUpper(), QByteArray("01A2B3C4D5000012"));   // master key
        QCOMPARE(image.mid(128, 48), QByteArray(48, char(0xFF)));                        // other keys free
        QCOMPARE(int(uchar(at(image, 193))), 0);                                          // no blocks
        for (int n = 1; n <= 12; ++n) {
            const int upper = uchar(at(image, 1376 + n)), lower = uchar(at(image, 1392 + n));
            QVERIFY2(lower <= upper && upper <= 100, qPrintable(QString::number(n)));
            const QByteArray text = image.mid(256 + 64 * (n - 1), 64);
            const int end = text.indexOf('\0');
            QVERIFY(end > 0 && end <= 60);
            QVERIFY(Cp1251::decode(text.left(end)).endsWith(QString::number(n)));
        }
        QCOMPARE(image.mid(1024, 13), QByteArray("+79161234567\0", 13));   // "00 SMS"
        QCOMPARE(image.mid(1952, 6), QByteArray("*100#\0", 6));             // "Balans"
        // T1 range: upper 30 stored as (30 - 2) * 2 little-endian; T2 lower -20 as -40.
        QCOMPARE(image.mid(1575, 2), QByteArray("\x38\x00", 2));
        QCOMPARE(image.mid(1581, 2), QByteArray("\xD8\xFF", 2));
        QCOMPARE(image.mid(1543, 2), QByteArray("\x00\x2C", 2));   // relay 1 day 22, big-endian
    }

    void monitoringFrameKinds_data()
    {
        QTest::addColumn<SimCore::Frames>("frames");
        QTest::addColumn<QList<int>>("kinds");
        QTest::newRow("alternate") << SimCore::Frames::Alternate << QList<int>{0, 1, 0, 1};
        QTest::newRow("measurement") << SimCore::Frames::Measurement << QList<int>{0, 0, 0};
        QTest::newRow("sensors") << SimCore::Frames::Sensors << QList<int>{1, 1, 1};
    }
    void monitoringFrameKinds()
    {
        QFETCH(SimCore::Frames, frames);
        QFETCH(QList<int>, kinds);
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        core.setFrames(frames);
        for (int kind : kinds) {
            const QByteArray frame = exchange(core, "#6002");
            QCOMPARE(frame.size(), 64);
            QCOMPARE(int(frame.at(63)), kind);
        }
    }

    void measurementFrameDecodesToPlausibleVoltages()
    {
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        core.setFrames(SimCore::Frames::Measurement);
        for (int i = 0; i < 5; ++i) {
            const QByteArray frame = exchange(core, "#6002");
            for (int k = 1; k <= 17; ++k)
                QVERIFY(word(frame, k) > 0 && word(frame, k) <= 1023);
            const double ref = word(frame, 17);
            const double cpu = 1023 * 1.2095 / ref;
            const double battery = word(frame, 14) * 1.2095 / ref * 133.6 / 30;
            const double supply = word(frame, 15) * 1.2095 / ref * 110 / 10;
            QVERIFY2(cpu > 3.0 && cpu < 3.6, qPrintable(QString::number(cpu)));
            QVERIFY2(battery > 11.5 && battery < 14.0, qPrintable(QString::number(battery)));
            QVERIFY2(supply > 12.0 && supply < 15.0, qPrintable(QString::number(supply)));
            for (int k = 1; k <= 12; ++k) {
                const double percent = word(frame, k) * 1.2095 / ref * 131 / 30 * 100 / battery;
                QVERIFY2(percent >= 0 && percent <= 100, qPrintable(QString::number(k)));
            }
        }
    }

    void sensorFrameListsRegisteredSensors()
    {
        QByteArray image = SimDefaults::image();
        image.replace(16, 8, QByteArray::fromHex("28AA00000000007F"));   // register T4
        SimCore core(image, SimDefaults::firmware());
        core.setFrames(SimCore::Frames::Sensors);
        const QByteArray frame = exchange(core, "#6002");
        QVERIFY(frame.contains("T1="));
        QVERIFY(frame.contains("T2="));   // registered in the factory image
        QVERIFY(!frame.contains("T3="));
        QVERIFY(frame.contains("T4="));
        // Each item reads value, unit letter, ";", as the display cuts it.
        const int t4 = frame.indexOf("T4=");
        const QByteArray item = frame.mid(t4 + 3, frame.indexOf(';', t4) - t4 - 3);
        bool ok = false;
        item.chopped(1).toDouble(&ok);
        QVERIFY2(ok && item.endsWith('C'), item.constData());
    }

    void writeSessionCommits_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("flip");   // --flip-on-write; -1: off
        QTest::newRow("config, block by block") << QByteArray("#6001") << 2368 << 64 << -1;
        QTest::newRow("config, odd pieces") << QByteArray("#6001") << 2368 << 37 << -1;
        QTest::newRow("config, one byte at a time") << QByteArray("#6001") << 2368 << 1 << -1;
        QTest::newRow("config, all at once") << QByteArray("#6001") << 2368 << 2368 << -1;
        QTest::newRow("firmware, block by block") << QByteArray("#5001") << 62720 << 64 << -1;
        QTest::newRow("firmware, large pieces") << QByteArray("#5001") << 62720 << 1000 << -1;
        QTest::newRow("config, byte 100 kept inverted") << QByteArray("#6001") << 2368 << 64 << 100;
        QTest::newRow("firmware, last byte kept inverted") << QByteArray("#5001") << 62720 << 1000 << 62719;
        QTest::newRow("config, offset past the write: nothing") << QByteArray("#6001") << 2368 << 64 << 2368;
    }
    void writeSessionCommits()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, size);
        QFETCH(int, chunk);
        QFETCH(int, flip);
        const bool config = request == "#6001";
        SimFaults faults;
        faults.flipOnWrite = flip;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), faults);
        int commits = 0;
        QByteArray committed;
        core.imageCommitted = [&](const QByteArray &b) { ++commits; committed = b; };
        core.firmwareCommitted = [&](const QByteArray &b) { ++commits; committed = b; };

        const QByteArray data = pattern(size, 3);
        QByteArray stored = data;
        if (flip >= 0 && flip < size)
            stored[flip] = char(~stored.at(flip));
        QByteArray acks = exchange(core, request);
        qint64 now = 0;
        for (int i = 0; i < size; i += chunk) {
            now += 10;
            core.receive(data.mid(i, chunk), now);
            acks += core.takeOutput(now);
        }
        QCOMPARE(acks, QByteArray("OK").repeated(1 + size / 64));
        QCOMPARE(commits, 1);
        QVERIFY(!core.inWriteSession());
        if (config) {
            QCOMPARE(committed, stored + QByteArray("\x08\x02"));   // model bytes are the unit's own
            QCOMPARE(exchange(core, "#6000", now), committed);
        } else {
            QCOMPARE(committed, stored);
            QCOMPARE(exchange(core, "#5000", now), stored);
        }
    }

    void bytesAfterTheLastBlockAreRequestsAgain()
    {
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        exchange(core, "#6001");
        core.receive(pattern(2368, 1) + "#4000", 5);
        const QByteArray out = core.takeOutput(5);
        QVERIFY(out.startsWith(QByteArray("OK").repeated(37)));
        QVERIFY(out.endsWith("\r\n"));
        QVERIFY(out.contains("#4000="));
    }

    void requestsInsideASessionAreData()
    {
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        exchange(core, "#6001");
        QCOMPARE(exchange(core, "#4000", 10), QByteArray());   // five bytes of block 0
        QVERIFY(core.inWriteSession());
    }

    void idleSessionIsAbandoned_data()
    {
        QTest::addColumn<qint64>("idleMs");
        QTest::addColumn<bool>("abandoned");
        QTest::newRow("just under the limit") << qint64(SimCore::kSessionTimeoutMs - 1) << false;
        QTest::newRow("at the limit") << qint64(SimCore::kSessionTimeoutMs) << true;
        QTest::newRow("long after") << qint64(60000) << true;
    }
    void idleSessionIsAbandoned()
    {
        QFETCH(qint64, idleMs);
        QFETCH(bool, abandoned);
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        int commits = 0;
        core.imageCommitted = [&](const QByteArray &) { ++commits; };
        exchange(core, "#6001", 0);
        core.receive(pattern(640, 9), 100);
        QCOMPARE(core.takeOutput(100), QByteArray("OK").repeated(10));
        QCOMPARE(core.nextEventMs(), 100 + SimCore::kSessionTimeoutMs);
        core.advance(100 + idleMs);
        QCOMPARE(core.inWriteSession(), !abandoned);
        // Sending the rest now either completes the old session or is ignored as noise.
        core.receive(pattern(2368 - 640, 9), 100 + idleMs);
        QCOMPARE(core.takeOutput(100 + idleMs), abandoned ? QByteArray() : QByteArray("OK").repeated(27));
        QCOMPARE(commits, abandoned ? 0 : 1);
        QCOMPARE(core.image(), abandoned ? SimDefaults::image() : core.image());
        QCOMPARE(exchange(core, "#4000", 100 + idleMs).size(), 24);
    }

    void replyFaults_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("genuine");   // the bytes that do come are the true reply's
        SimFaults f;
        f.silent = true;
        QTest::newRow("silent") << f << QByteArray("#4000") << 0 << true;
        f = faultsOnly("#6000");
        f.silent = true;
        QTest::newRow("silent to another request") << f << QByteArray("#4000") << 24 << true;
        QTest::newRow("silent to this request") << f << QByteArray("#6000") << 0 << true;
        f = SimFaults();
        f.garbage = true;
        QTest::newRow("garbage identification") << f << QByteArray("#4000") << 24 << false;
        QTest::newRow("garbage go-ahead") << f << QByteArray("#6001") << 2 << false;
        f = SimFaults();
        f.lengthDelta = 5;
        QTest::newRow("longer identification") << f << QByteArray("#4000") << 29 << true;
        f.lengthDelta = -3;
        QTest::newRow("shorter identification") << f << QByteArray("#4000") << 21 << true;
        f = faultsOnly("#6002");
        f.lengthDelta = 6;
        QTest::newRow("longer frame") << f << QByteArray("#6002") << 70 << true;
        QTest::newRow("length fault on other request") << f << QByteArray("#6000") << 2370 << true;
        f.lengthDelta = -100;
        QTest::newRow("shorter than nothing") << f << QByteArray("#6002") << 0 << true;
        // A line that streams on after its reply: the true reply first, then the noise.
        f = faultsOnly("#6000");
        f.streamAfter = 1000;
        QTest::newRow("1000 bytes after the configuration") << f << QByteArray("#6000") << 3370 << true;
        QTest::newRow("no noise after another request") << f << QByteArray("#4000") << 24 << true;
        f.streamAfter = 100;
        f.streamByte = 0;
        QTest::newRow("100 NULs after the configuration") << f << QByteArray("#6000") << 2470 << true;
        f = faultsOnly("#6002");
        f.streamAfter = 5;
        f.pieces = 2;
        f.gapMs = 0;
        QTest::newRow("noise after a reply in pieces") << f << QByteArray("#6002") << 69 << true;
    }
    void replyFaults()
    {
        QFETCH(SimFaults, faults);
        QFETCH(QByteArray, request);
        QFETCH(int, size);
        QFETCH(bool, genuine);
        SimCore honest(SimDefaults::image(), SimDefaults::firmware());
        const QByteArray truth = exchange(honest, request);
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), faults);
        const QByteArray out = exchange(core, request);
        QCOMPARE(out.size(), size);
        const int common = int(std::min(out.size(), truth.size()));
        if (genuine) {
            QCOMPARE(out.left(common), truth.left(common));
            // Noise is never the start of a go-ahead; a fixed noise byte is that byte.
            const QByteArray noise = out.mid(common);
            if (faults.streamByte >= 0)
                QCOMPARE(noise, QByteArray(noise.size(), char(faults.streamByte)));
            else
                QVERIFY(!noise.contains('O'));
        } else {
            QVERIFY(out != truth);
            QVERIFY(!out.contains("OK") && !out.contains("#4000="));
        }
    }

    // A large count streams on for as long as anyone listens, a piece at a time, and replies to later
    // requests wait behind it.
    void endlessStreamLeavesInPieces()
    {
        SimFaults f = faultsOnly("#5000");
        f.streamAfter = qint64(1) << 40;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        core.receive("#5000", 0);
        qint64 total = 0;
        for (int take = 0; take < 40; ++take) {
            const QByteArray out = core.takeOutput(take);
            QVERIFY(out.size() > 0 && out.size() <= 2 * 65536);   // bounded, however much is due
            total += out.size();
        }
        QVERIFY(total > 62720 + 1000000);
        QVERIFY(core.hasPendingOutput());
        core.receive("#4000", 40);
        QVERIFY(!core.takeOutput(41).contains("#4000="));
    }

    void garbageRepeatsWithTheSeed()
    {
        SimFaults f;
        f.garbage = true;
        f.seed = 42;
        SimCore a(SimDefaults::image(), SimDefaults::firmware(), f);
        SimCore b(SimDefaults::image(), SimDefaults::firmware(), f);
        f.seed = 43;
        SimCore c(SimDefaults::image(), SimDefaults::firmware(), f);
        const QByteArray fromA = exchange(a, "#6000");
        QCOMPARE(exchange(b, "#6000"), fromA);
        QVERIFY(exchange(c, "#6000") != fromA);
    }

    void splitRepliesComeInPiecesOnTime()
    {
        SimFaults f;
        f.pieces = 3;
        f.gapMs = 100;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        core.receive("#4000", 1000);
        QCOMPARE(core.takeOutput(1000).size(), 8);
        QCOMPARE(core.nextEventMs(), 1100);
        QCOMPARE(core.takeOutput(1099), QByteArray());
        QCOMPARE(core.takeOutput(1100).size(), 8);
        QCOMPARE(core.takeOutput(1250).size(), 8);   // late poll: the due piece comes whole
        QCOMPARE(core.nextEventMs(), -1);
        QVERIFY(!core.hasPendingOutput());
    }

    void splitRepliesKeepTheirOrder()
    {
        SimFaults f;
        f.pieces = 2;
        f.gapMs = 500;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        core.receive("#4000", 0);
        core.receive("#6002", 10);   // asked again before the first reply is out
        QByteArray out = core.takeOutput(10);
        out += core.takeOutput(2000);
        QCOMPARE(out.size(), 24 + 64);
        QVERIFY(out.startsWith("#4000="));
        QCOMPARE(out.mid(22, 2), QByteArray("\r\n"));
    }

    void pacingFollowsTheBaudRate()
    {
        SimFaults f;
        f.baud = 9600;   // 960 bytes per second
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        core.receive("#6000", 0);
        QCOMPARE(core.takeOutput(0).size(), 0);
        // Each byte takes 1.04 ms: the request 5.2 ms to arrive, the first byte of the answer leaves
        // at 6.25 ms; by 100 ms the line has carried 96 bytes, by 1000 ms 960.
        QCOMPARE(core.nextEventMs(), 6.25);
        QCOMPARE(core.takeOutput(100).size(), 96 - 5);
        QCOMPARE(core.takeOutput(1000).size(), 960 - 96);
        QByteArray rest = core.takeOutput(3000);
        QCOMPARE(rest.size(), 2370 - 955);
        QCOMPARE(rest.right(2), QByteArray("\x08\x02"));
    }

    // Output taken late gets everything that has left the line meanwhile, however late that is.
    void lateOutputIsComplete_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<qint64>("nowMs");
        QTest::newRow("115200, one second") << 115200 << qint64(1000);
        QTest::newRow("115200, four minutes") << 115200 << qint64(4 * 60 * 1000);
        QTest::newRow("115200, a year") << 115200 << qint64(365) * 24 * 3600 * 1000;
        QTest::newRow("9600, thirty days") << 9600 << qint64(30) * 24 * 3600 * 1000;
    }
    void lateOutputIsComplete()
    {
        QFETCH(int, baud);
        QFETCH(qint64, nowMs);
        SimFaults f;
        f.baud = baud;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        core.receive("#6000", 0);
        QCOMPARE(core.takeOutput(nowMs), SimDefaults::image());
    }

    void acknowledgementsStopAfterLimit_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("commits");
        QTest::newRow("none acknowledged") << 0 << 0;
        QTest::newRow("three") << 3 << 0;
        QTest::newRow("all but the last") << 35 << 0;
        QTest::newRow("last block unanswered, data complete") << 36 << 1;
    }
    void acknowledgementsStopAfterLimit()
    {
        QFETCH(int, limit);
        QFETCH(int, commits);
        SimFaults f;
        f.ackLimit = limit;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        int committed = 0;
        core.imageCommitted = [&](const QByteArray &) { ++committed; };
        QByteArray acks = exchange(core, "#6001");
        for (int block = 0; block <= limit && block < 37; ++block) {   // a program stops when unanswered
            core.receive(pattern(64, block), 10 + block);
            acks += core.takeOutput(10 + block);
        }
        QCOMPARE(acks, QByteArray("OK").repeated(1 + limit));
        core.advance(100000);
        QCOMPARE(committed, commits);
        QVERIFY(!core.inWriteSession());
    }

    void lineClosesAfterBytes_data()
    {
        QTest::addColumn<qint64>("closeAfter");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("sent");
        QTest::newRow("mid configuration") << qint64(1000) << QByteArray("#6000") << 1000;
        QTest::newRow("exactly at the end") << qint64(24) << QByteArray("#4000") << 24;
        QTest::newRow("not reached") << qint64(5000) << QByteArray("#6000") << 2370;
    }
    void lineClosesAfterBytes()
    {
        QFETCH(qint64, closeAfter);
        QFETCH(QByteArray, request);
        QFETCH(int, sent);
        SimFaults f;
        f.closeAfterBytes = closeAfter;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        QCOMPARE(exchange(core, request).size(), sent);
        QCOMPARE(core.lineClosed(), sent == closeAfter);
        if (core.lineClosed()) {
            QCOMPARE(exchange(core, "#4000", 10), QByteArray());
            QCOMPARE(core.nextEventMs(), -1);
        }
    }

    void lineClosesDuringAWrite()
    {
        SimFaults f;
        f.closeAfterBytes = 10;   // the go-ahead and four acknowledgements
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        int commits = 0;
        core.imageCommitted = [&](const QByteArray &) { ++commits; };
        QByteArray acks = exchange(core, "#6001");
        for (int block = 0; block < 37; ++block) {
            core.receive(pattern(64, block), block);
            acks += core.takeOutput(block);
        }
        QCOMPARE(acks, QByteArray("OK").repeated(5));
        QVERIFY(core.lineClosed());
        QCOMPARE(commits, 0);
    }

    // The core answers a program through the test port exactly as it would over the line.
    void drivesAFakePort()
    {
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        FakeSerialPort port;
        port.onWrite = [&](const QByteArray &bytes) {
            core.receive(bytes, 0);
            port.feed(core.takeOutput(0));
        };
        QVERIFY(port.open(1, 9600, 0));
        QVERIFY(port.write("#6000"));
        QCOMPARE(port.readAll(), SimDefaults::image());
    }

    void storeCreatesAndPersists()
    {
        QTemporaryDir dir;
        const QString imagePath = dir.filePath(QStringLiteral("Service/zorgel-config.bin"));
        const QString firmwarePath = dir.filePath(QStringLiteral("Service/zorgel-firmware.bin"));
        QString error;
        {
            SimStore store(imagePath, firmwarePath);
            QVERIFY2(store.load(&error), qPrintable(error));
            QCOMPARE(store.image(), SimDefaults::image());
            QCOMPARE(store.firmware(), SimDefaults::firmware());
            SimCore core(store.image(), store.firmware());
            core.imageCommitted = [&](const QByteArray &image) { QVERIFY(store.saveImage(image)); };
            core.firmwareCommitted = [&](const QByteArray &firmware) { QVERIFY(store.saveFirmware(firmware)); };
            exchange(core, "#6001");
            core.receive(pattern(2368, 5), 1);
            exchange(core, "#5001", 2);
            core.receive(pattern(62720, 6), 3);
        }
        SimStore again(imagePath, firmwarePath);
        QVERIFY2(again.load(&error), qPrintable(error));
        QCOMPARE(again.image(), pattern(2368, 5) + QByteArray("\x08\x02"));
        QCOMPARE(again.firmware(), pattern(62720, 6));
        QFile file(imagePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), again.image());
    }

    void storeRefusesWrongSizes()
    {
        QTemporaryDir dir;
        const QString imagePath = dir.filePath(QStringLiteral("config.bin"));
        QFile file(imagePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, 'x'));
        file.close();
        SimStore store(imagePath, dir.filePath(QStringLiteral("fw.bin")));
        QString error;
        QVERIFY(!store.load(&error));
        QVERIFY(error.contains(QStringLiteral("100")));
        QCOMPARE(QFileInfo(imagePath).size(), 100);   // a user's file is never overwritten
        QVERIFY(!store.saveImage(QByteArray(2368, '\0')));
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("check");
        const auto run = int(SimOptions::Outcome::Run), err = int(SimOptions::Outcome::Error);
        QTest::newRow("minimal") << QStringList{"--folder", "/x"} << run << "defaults";
        QTest::newRow("no folder") << QStringList{} << err << "";
        QTest::newRow("help") << QStringList{"--help"} << int(SimOptions::Outcome::Help) << "";
        QTest::newRow("port 3") << QStringList{"--folder", "/x", "--port", "3"} << run << "port3";
        QTest::newRow("port 0") << QStringList{"--folder", "/x", "--port", "0"} << err << "";
        QTest::newRow("negative length") << QStringList{"--folder", "/x", "--length-delta", "-3"} << run << "delta-3";
        QTest::newRow("only two requests")
            << QStringList{"--folder", "/x", "--silent", "--only", "#6000", "--only", "#6002"} << run << "only";
        QTest::newRow("bad request") << QStringList{"--folder", "/x", "--only", "6000"} << err << "";
        QTest::newRow("cyrillic name") << QStringList{"--folder", "/x", "--name", "ЗОРГЕЛ-GSM4"} << run << "name";
        QTest::newRow("name too long") << QStringList{"--folder", "/x", "--name", "ЗОРГЕЛ-GSM12T-XXXX"} << err << "";
        QTest::newRow("name not in code page") << QStringList{"--folder", "/x", "--name", "中"} << err << "";
        QTest::newRow("faults") << QStringList{"--folder", "/x", "--split", "4", "--gap", "30", "--ack-limit", "2",
                                               "--close-after", "900", "--baud", "9600", "--frames", "sensors"}
                                << run << "faults";
        QTest::newRow("line faults") << QStringList{"--folder", "/x", "--split-crlf", "10", "--stream-after",
                                                    "600000", "--stream-byte", "0"}
                                     << run << "line";
        QTest::newRow("endless stream") << QStringList{"--folder", "/x", "--stream-after", "100000000000"} << run
                                        << "endless";
        QTest::newRow("negative stream") << QStringList{"--folder", "/x", "--stream-after", "-1"} << err << "";
        QTest::newRow("stream byte out of range") << QStringList{"--folder", "/x", "--stream-byte", "256"} << err << "";
        QTest::newRow("split-crlf without a number") << QStringList{"--folder", "/x", "--split-crlf", "x"} << err << "";
        QTest::newRow("slow unit") << QStringList{"--folder", "/x", "--ack-delay", "700", "--ack-delay-every", "4",
                                                  "--status-text", "ИДЕТ ЗАПИСЬ", "--status-at", "10"}
                                   << run << "slow";
        QTest::newRow("every 0th OK") << QStringList{"--folder", "/x", "--ack-delay-every", "0"} << err << "";
        QTest::newRow("status text without its place") << QStringList{"--folder", "/x", "--status-text", "BUSY"} << err
                                                       << "";
        QTest::newRow("status before OK 0") << QStringList{"--folder", "/x", "--status-text", "BUSY", "--status-at", "0"}
                                            << err << "";
        QTest::newRow("bad frames") << QStringList{"--folder", "/x", "--frames", "odd"} << err << "";
        QTest::newRow("stray argument") << QStringList{"--folder", "/x", "extra"} << err << "";
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(int, outcome);
        QFETCH(QString, check);
        SimOptions o;
        QString text;
        QCOMPARE(int(SimOptions::parse(QStringList{"zorgel-sim"} + args, o, &text)), outcome);
        if (outcome != int(SimOptions::Outcome::Run)) {
            QVERIFY(!text.isEmpty());
            return;
        }
        if (check == QLatin1String("defaults")) {
            QCOMPARE(o.linkPath(), QStringLiteral("/x/Service/ports/COM1"));
            QCOMPARE(o.imagePath, QStringLiteral("/x/Service/zorgel-config.bin"));
            QCOMPARE(o.firmwarePath, QStringLiteral("/x/Service/zorgel-firmware.bin"));
            QCOMPARE(o.name, SimDefaults::deviceName());
            QVERIFY(!o.faults.silent && o.faults.closeAfterBytes < 0 && o.faults.ackLimit < 0);
        } else if (check == QLatin1String("port3")) {
            QCOMPARE(o.linkPath(), QStringLiteral("/x/Service/ports/COM3"));
        } else if (check == QLatin1String("delta-3")) {
            QCOMPARE(o.faults.lengthDelta, -3);
        } else if (check == QLatin1String("only")) {
            QVERIFY(o.faults.silent);
            QCOMPARE(o.faults.onlyFor, (QList<QByteArray>{"#6000", "#6002"}));
        } else if (check == QLatin1String("name")) {
            QCOMPARE(o.name, Cp1251::encode(QStringLiteral("ЗОРГЕЛ-GSM4     ")));
        } else if (check == QLatin1String("faults")) {
            QCOMPARE(o.faults.pieces, 4);
            QCOMPARE(o.faults.gapMs, 30);
            QCOMPARE(o.faults.ackLimit, 2);
            QCOMPARE(o.faults.closeAfterBytes, qint64(900));
            QCOMPARE(o.faults.baud, 9600);
            QVERIFY(o.frames == SimCore::Frames::Sensors);
        } else if (check == QLatin1String("line")) {
            QCOMPARE(o.faults.splitCrlfMs, 10);
            QCOMPARE(o.faults.streamAfter, qint64(600000));
            QCOMPARE(o.faults.streamByte, 0);
        } else if (check == QLatin1String("slow")) {
            QCOMPARE(o.faults.ackDelayMs, 700);
            QCOMPARE(o.faults.ackDelayEvery, 4);
            QCOMPARE(o.faults.statusText, Cp1251::encode(QStringLiteral("ИДЕТ ЗАПИСЬ")));
            QCOMPARE(o.faults.statusAt, 10);
        } else if (check == QLatin1String("endless")) {
            QCOMPARE(o.faults.streamAfter, qint64(100000000000));
            QCOMPARE(o.faults.streamByte, -1);
        }
        if (check == QLatin1String("defaults"))
            QVERIFY(o.faults.splitCrlfMs < 0 && o.faults.streamAfter == 0 && o.faults.ackDelayMs == 0
                    && o.faults.statusAt < 0);
    }
};

QTEST_GUILESS_MAIN(TestSimCore)
#include "tst_simcore.moc"
