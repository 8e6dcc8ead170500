#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"

// The simulated unit's side of a block write: its faults and its check that the program waits for
// every "OK" before the next block.
class TestSimLockStep : public QObject {
    Q_OBJECT

    // A program writing in lock-step: each block goes out once an "OK" has been read, 1 ms later.
    // Returns everything the unit sent; stops when the unit stays silent or the line closes.
    static QByteArray writeInLockStep(SimCore &core, const QByteArray &request, int blocks, double *now)
    {
        QByteArray heard;
        QByteArray pending;
        core.receive(request, *now);
        for (int sent = 0; sent <= blocks;) {
            const double next = core.nextEventMs();
            if (next < 0 || core.lineClosed() || !core.hasPendingOutput())
                break;
            *now = qMax(*now, next);
            const QByteArray out = core.takeOutput(*now);
            heard += out;
            pending += out;
            if (!pending.contains("OK"))
                continue;
            pending.clear();
            if (sent == blocks)
                break;
            *now += 1;
            core.receive(QByteArray(64, char(sent)), *now);
            ++sent;
        }
        return heard;
    }

private slots:
    void writeFaults_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("withholdLast");
        QTest::addColumn<int>("closeAfterBlocks");
        QTest::addColumn<int>("splitGapMs");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QByteArray>("heard");
        QTest::addColumn<bool>("committed");
        QTest::addColumn<bool>("closed");
        QTest::newRow("firmware, all answered") << QByteArray("#5001") << false << -1 << -1 << 0
                                                << QByteArray("OK").repeated(981) << true << false;
        QTest::newRow("firmware, paced at the line speed") << QByteArray("#5001") << false << -1 << -1 << 115200
                                                           << QByteArray("OK").repeated(981) << true << false;
        QTest::newRow("firmware, last OK withheld") << QByteArray("#5001") << true << -1 << -1 << 0
                                                    << QByteArray("OK").repeated(980) << true << false;
        QTest::newRow("configuration, last OK withheld") << QByteArray("#6001") << true << -1 << -1 << 0
                                                         << QByteArray("OK").repeated(37) << true << false;
        QTest::newRow("firmware, line dropped after 400 blocks") << QByteArray("#5001") << false << 400 << -1 << 0
                                                                 << QByteArray("OK").repeated(400) << false << true;
        QTest::newRow("firmware, OK split") << QByteArray("#5001") << false << -1 << 60 << 0
                                            << QByteArray("OK").repeated(981) << true << false;
    }
    void writeFaults()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, withholdLast);
        QFETCH(int, closeAfterBlocks);
        QFETCH(int, splitGapMs);
        QFETCH(int, baud);
        QFETCH(QByteArray, heard);
        QFETCH(bool, committed);
        QFETCH(bool, closed);
        SimFaults f;
        f.withholdLastAck = withholdLast;
        f.closeAfterBlocks = closeAfterBlocks;
        f.splitAckGapMs = splitGapMs;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        core.setLineBaud(baud);
        bool commit = false;
        core.firmwareCommitted = [&](const QByteArray &) { commit = true; };
        core.imageCommitted = [&](const QByteArray &) { commit = true; };
        const int blocks = request == "#5001" ? 980 : 37;
        double now = 0;
        QCOMPARE(writeInLockStep(core, request, blocks, &now), heard);
        QCOMPARE(commit, committed);
        QCOMPARE(core.lineClosed(), closed);
        QCOMPARE(core.protocolViolations(), 0);
        if (splitGapMs > 0)
            QVERIFY(now >= qint64(981) * splitGapMs);   // every "K" came a gap after its "O"
        if (baud > 0)   // 62720 bytes in and 1962 out at 11520 bytes per second
            QVERIFY2(now >= 5600, qPrintable(QString::number(now)));
        if (committed && request == "#5001")
            QCOMPARE(core.firmware().left(128), QByteArray(64, '\0') + QByteArray(64, '\1'));
    }

    // A line end after each "OK" in a read of its own, and noise streamed after each reply: the
    // program may send a block once it has the "OK", and the unit still takes it in lock-step.
    void lineEndsAndNoiseAfterOk_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("crlfMs");
        QTest::addColumn<int>("streamAfter");
        QTest::addColumn<QByteArray>("heard");   // up to the last "OK" and what came with it
        QTest::newRow("configuration, CR LF 10 ms after every OK")
            << QByteArray("#6001") << 10 << 0 << QByteArray("OK\r\n").repeated(37) + "OK";
        QTest::newRow("firmware, CR LF at once after every OK")
            << QByteArray("#5001") << 0 << 0 << QByteArray("OK\r\n").repeated(981);
        QTest::newRow("configuration, 3 NULs after every OK")
            << QByteArray("#6001") << -1 << 3 << (QByteArray("OK") + QByteArray(3, '\0')).repeated(38);
        QTest::newRow("configuration, CR LF then 2 NULs")
            << QByteArray("#6001") << 5 << 2 << (QByteArray("OK\r\n") + QByteArray(2, '\0')).repeated(37) + "OK";
    }
    void lineEndsAndNoiseAfterOk()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, crlfMs);
        QFETCH(int, streamAfter);
        QFETCH(QByteArray, heard);
        SimFaults f;
        f.splitCrlfMs = crlfMs;
        f.streamAfter = streamAfter;
        f.streamByte = 0;
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        bool commit = false;
        core.firmwareCommitted = [&](const QByteArray &) { commit = true; };
        core.imageCommitted = [&](const QByteArray &) { commit = true; };
        double now = 0;
        QCOMPARE(writeInLockStep(core, request, request == "#5001" ? 980 : 37, &now), heard);
        QVERIFY(commit);
        QCOMPARE(core.protocolViolations(), 0);
        if (crlfMs > 0)
            QVERIFY(now >= qint64(37) * crlfMs);   // every line end came a gap after its "OK"
    }

    // A unit slower than its line holds "OK"s back; one that reports what it does sends a line
    // before an "OK". Counted per write, the answer to the request first; the program answers each
    // "OK" 1 ms after it.
    void heldAcknowledgementsAndStatusLines_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("every");
        QTest::addColumn<int>("statusAt");
        QTest::addColumn<QByteArray>("heard");
        QTest::addColumn<qint64>("lastOkMs");
        const QByteArray oks = QByteArray("OK").repeated(38);
        // 37 blocks 1 ms after their "OK"s, and 38 "OK"s 700 ms each.
        QTest::newRow("every OK 700 ms late") << 700 << 1 << -1 << oks << qint64(37 + 38 * 700);
        // "OK"s 4, 8, ... 36: nine of them.
        QTest::newRow("every 4th OK 700 ms late") << 700 << 4 << -1 << oks << qint64(37 + 9 * 700);
        QTest::newRow("status line before the 10th OK")
            << 0 << 1 << 10 << QByteArray("OK").repeated(9) + "BUSY\r\n" + QByteArray("OK").repeated(29) << qint64(37);
    }
    void heldAcknowledgementsAndStatusLines()
    {
        QFETCH(int, delayMs);
        QFETCH(int, every);
        QFETCH(int, statusAt);
        QFETCH(QByteArray, heard);
        QFETCH(qint64, lastOkMs);
        SimFaults f;
        f.ackDelayMs = delayMs;
        f.ackDelayEvery = every;
        f.statusAt = statusAt;
        f.statusText = "BUSY";
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), f);
        bool commit = false;
        core.imageCommitted = [&](const QByteArray &) { commit = true; };
        double now = 0;
        QCOMPARE(writeInLockStep(core, "#6001", 37, &now), heard);
        QCOMPARE(now, lastOkMs);
        QVERIFY(commit);
        QCOMPARE(core.protocolViolations(), 0);
    }

    void dataAheadOfItsOkIsReported_data()
    {
        QTest::addColumn<int>("okTaken");        // "OK"s the program had read before sending
        QTest::addColumn<int>("blocksSent");
        QTest::addColumn<int>("violations");
        QTest::newRow("block before the request's OK") << 0 << 1 << 1;
        QTest::newRow("two blocks on one OK") << 1 << 2 << 1;
        QTest::newRow("three blocks on one OK") << 1 << 3 << 2;
        QTest::newRow("lock-step kept") << 1 << 1 << 0;
    }
    void dataAheadOfItsOkIsReported()
    {
        QFETCH(int, okTaken);
        QFETCH(int, blocksSent);
        QFETCH(int, violations);
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        QStringList reports;
        core.protocolViolation = [&](const QString &what) { reports << what; };
        core.receive("#5001", 0);
        if (okTaken > 0)
            QCOMPARE(core.takeOutput(1), QByteArray("OK"));
        for (int block = 0; block < blocksSent; ++block) {
            core.receive(QByteArray(32, 'a'), 2);   // each block in two writes: reported once
            core.receive(QByteArray(32, 'b'), 2);
        }
        QCOMPARE(core.protocolViolations(), violations);
        QCOMPARE(reports.size(), violations);
        if (violations > 0)
            QVERIFY(reports.first().startsWith(QStringLiteral("#5001 block")));
    }
};

QTEST_GUILESS_MAIN(TestSimLockStep)
#include "tst_simlockstep.moc"
