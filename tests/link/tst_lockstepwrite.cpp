#include <QtTest>
#include "link/LockStepWrite.h"
#include "link/RussianCount.h"
#include "link/TransferReport.h"

// The lock-step rule of every block write: reads ("" = a silent poll) against the steps they give.
class TestLockStepWrite : public QObject {
    Q_OBJECT

    using Step = LockStepWrite::Step;

    static QString name(Step step)
    {
        switch (step) {
        case Step::Wait: return QStringLiteral("wait");
        case Step::SendNext: return QStringLiteral("send");
        case Step::Broken: return QStringLiteral("broken");
        case Step::Finished: return QStringLiteral("finished");
        case Step::Stalled: return QStringLiteral("stalled");
        case Step::Overdue: return QStringLiteral("overdue");
        }
        return QString();
    }

private slots:
    void readsGiveSteps_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QByteArrayList>("reads");   // "-" is a run of 16 silent polls
        QTest::addColumn<QStringList>("steps");      // one per read; a run of silence gives one step
        QTest::addColumn<QByteArray>("broken");

        QTest::newRow("two blocks, each OK releases one")
            << 2 << QByteArrayList{"OK", "OK", "OK", "-"} << QStringList{"send", "send", "wait", "finished"}
            << QByteArray();
        QTest::newRow("OK split over two reads")
            << 1 << QByteArrayList{"O", "K", "O", "K", "-"} << QStringList{"wait", "send", "wait", "wait", "finished"}
            << QByteArray();
        QTest::newRow("line ends around a split OK")
            << 1 << QByteArrayList{"\r\nO", "K\r\n", "OK", "-"} << QStringList{"wait", "send", "wait", "finished"}
            << QByteArray();
        QTest::newRow("OK inside other text") << 1 << QByteArrayList{"xxOKyy"} << QStringList{"send"} << QByteArray();
        QTest::newRow("lower-case ok breaks") << 1 << QByteArrayList{"ok"} << QStringList{"broken"} << QByteArray("ok");
        QTest::newRow("O then something else breaks, with all of it")
            << 1 << QByteArrayList{"O", "X"} << QStringList{"wait", "broken"} << QByteArray("OX");
        QTest::newRow("error text after the last block breaks")
            << 1 << QByteArrayList{"OK", "ERR"} << QStringList{"send", "broken"} << QByteArray("ERR");
        QTest::newRow("last OK missing stalls")
            << 2 << QByteArrayList{"OK", "OK", "-"} << QStringList{"send", "send", "stalled"} << QByteArray();
        QTest::newRow("half an OK then silence stalls")
            << 1 << QByteArrayList{"OK", "O", "-"} << QStringList{"send", "wait", "stalled"} << QByteArray();
        QTest::newRow("no answer to the request stalls") << 3 << QByteArrayList{"-"} << QStringList{"stalled"}
                                                         << QByteArray();
        // A USB adapter hands the line end after an "OK" over in a read of its own.
        QTest::newRow("CR LF in a read of its own after every OK")
            << 2 << QByteArrayList{"OK", "\r\n", "OK", "\r\n", "OK", "\r\n", "-"}
            << QStringList{"send", "wait", "send", "wait", "wait", "wait", "finished"} << QByteArray();
        QTest::newRow("CR and LF in reads of their own")
            << 1 << QByteArrayList{"OK", "\r", "\n", "OK", "\r", "\n", "-"}
            << QStringList{"send", "wait", "wait", "wait", "wait", "wait", "finished"} << QByteArray();
        QTest::newRow("blanks and NULs around OK")
            << 2 << QByteArrayList{QByteArray(" \0", 2), "OK", QByteArray("\0\0 ", 3), "OK", "  ", "OK", QByteArray(1, '\0'), "-"}
            << QStringList{"wait", "send", "wait", "send", "wait", "wait", "wait", "finished"} << QByteArray();
        QTest::newRow("line end before a split OK")
            << 1 << QByteArrayList{"\r\n", "O", "K", "\r\n", "-"}
            << QStringList{"wait", "wait", "send", "wait", "stalled"} << QByteArray();
        QTest::newRow("other text after a line end still breaks")
            << 2 << QByteArrayList{"OK", "\r\n", "ERR\r\n"} << QStringList{"send", "wait", "broken"}
            << QByteArray("ERR\r\n");
        QTest::newRow("line end after the last OK, then error text breaks")
            << 1 << QByteArrayList{"OK", "OK", "\r\n", "BUSY"} << QStringList{"send", "wait", "wait", "broken"}
            << QByteArray("BUSY");
        QTest::newRow("O then a line end breaks")
            << 1 << QByteArrayList{"O", "\r\n"} << QStringList{"wait", "broken"} << QByteArray("O\r\n");
    }
    void readsGiveSteps()
    {
        QFETCH(int, blocks);
        QFETCH(QByteArrayList, reads);
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, broken);
        LockStepWrite write(blocks);
        write.start();
        QStringList got;
        for (const QByteArray &read : reads) {
            if (read == "-") {
                Step step = Step::Wait;
                for (int idle = 1; idle <= LockStepWrite::kIdleLimit + 1; ++idle) {
                    step = write.onRead(QByteArray(), idle);
                    if (idle <= LockStepWrite::kIdleLimit)
                        QCOMPARE(step, Step::Wait);
                }
                got << name(step);
                continue;
            }
            const Step step = write.onRead(read, 0);
            got << name(step);
            if (step == Step::SendNext)
                write.blockSent();
        }
        QCOMPARE(got, steps);
        if (!broken.isEmpty())
            QCOMPARE(write.brokenText(), broken);
    }

    // The overall deadline of a write, in 50 ms polls from its request: four times the line time of
    // the request, the blocks and their "OK" CR LF answers (9 + 68 per block bytes of 10 bits), plus
    // 100 ms for each block, rounded up to whole polls, plus the 16 polls of the closing silence.
    void deadlineAtPortSpeed_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("polls");
        // 4 x 2525 bytes at 960 bytes/s = 10.521 s, + 3.7 s = 14.221 s = 284.4 polls -> 285, + 16.
        QTest::newRow("configuration at 9600") << 37 << 9600 << 301;
        // 4 x 2525 bytes at 11520 bytes/s = 0.877 s, + 3.7 s = 4.577 s = 91.5 polls -> 92, + 16.
        QTest::newRow("configuration at 115200") << 37 << 115200 << 108;
        // 4 x 66649 bytes at 960 bytes/s = 277.704 s, + 98 s = 375.704 s = 7514.1 polls -> 7515, + 16.
        QTest::newRow("firmware at 9600") << 980 << 9600 << 7531;
        // 4 x 66649 bytes at 11520 bytes/s = 23.142 s, + 98 s = 121.142 s = 2422.8 polls -> 2423, + 16.
        QTest::newRow("firmware at 115200") << 980 << 115200 << 2439;
        QTest::newRow("no speed, no deadline") << 37 << 0 << 0;
    }
    void deadlineAtPortSpeed()
    {
        QFETCH(int, blocks);
        QFETCH(int, baud);
        QFETCH(int, polls);
        QCOMPARE(LockStepWrite::deadlinePolls(blocks, baud), polls);
        LockStepWrite write(blocks);
        write.start(1000, baud);
        QCOMPARE(write.deadline(), polls);
    }

    // A line that never falls silent (NULs, line ends, "OK" after "OK") ends the write at its
    // deadline; a write whose closing silence ends at that very poll has finished.
    void overdueWithoutSilence_data()
    {
        QTest::addColumn<QByteArray>("noise");   // on every poll after the last "OK"
        QTest::addColumn<int>("quietFrom");      // poll (from the request) the line falls silent; -1 never
        QTest::addColumn<QString>("last");       // the step at poll 34, one past the deadline
        QTest::newRow("NULs without end") << QByteArray(1, '\0') << -1 << "overdue";
        QTest::newRow("line ends without end") << QByteArray("\r\n") << -1 << "overdue";
        QTest::newRow("OK after OK without end") << QByteArray("OK") << -1 << "overdue";
        QTest::newRow("silence of 16 polls ending there") << QByteArray(1, '\0') << 19 << "finished";
    }
    void overdueWithoutSilence()
    {
        QFETCH(QByteArray, noise);
        QFETCH(int, quietFrom);
        QFETCH(QString, last);
        LockStepWrite write(2);
        const int start = 500;
        write.start(start, 9600);
        // 4 x (9 + 2 x 68) bytes at 960 bytes/s = 0.604 s, + 0.2 s = 16.1 polls -> 17, + 16.
        QCOMPARE(write.deadline(), 33);
        QStringList got;
        int idle = 0;
        for (int poll = 1; poll <= 34; ++poll) {
            const bool quiet = quietFrom >= 0 && poll >= quietFrom;
            idle = quiet ? idle + 1 : 0;
            const QByteArray read = poll <= 3 ? QByteArray("OK") : quiet ? QByteArray() : noise;
            const Step step = write.onRead(read, idle, start + poll);
            if (step == Step::SendNext)
                write.blockSent();
            got << name(step);
        }
        const QStringList expected = QStringList{"send", "send"} + QStringList(31, QStringLiteral("wait")) + QStringList{last};
        QCOMPARE(got, expected);
    }

    void acknowledgedCountsOnlyAnsweredBlocks()
    {
        LockStepWrite write(3);
        write.start();
        QCOMPARE(write.onRead("OK", 0), Step::SendNext);
        write.blockSent();
        QCOMPARE(write.acknowledged(), 0);
        QCOMPARE(write.onRead("O", 0), Step::Wait);
        QCOMPARE(write.acknowledged(), 0);
        QCOMPARE(write.onRead("K", 0), Step::SendNext);
        QCOMPARE(write.acknowledged(), 1);
        QCOMPARE(write.nextBlock(), 1);
        write.start();
        QCOMPARE(write.sent(), 0);
        QCOMPARE(write.acknowledged(), 0);
        QCOMPARE(write.onRead("K", 0), Step::Broken);   // nothing of an earlier write is kept
    }

    // How a failed transfer is told on the command line: which way, with the counts.
    void failureWords_data()
    {
        QTest::addColumn<int>("answered");   // "OK"s the unit gave: the request's, then one per block
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("nothingSent");
        QTest::newRow("no answer to the request") << 0
                                                  << "Устройство не ответило на запрос записи: блоки не передавались."
                                                  << true;
        QTest::newRow("stopped after 5 blocks")
            << 6 << "Устройство перестало подтверждать блоки: подтверждено 5 из 6 переданных (всего 37 блоков)." << false;
        QTest::newRow("first block unanswered")
            << 1 << "Устройство перестало подтверждать блоки: подтверждено 0 из 1 переданных (всего 37 блоков)." << false;
    }
    void failureWords()
    {
        QFETCH(int, answered);
        QFETCH(QString, text);
        QFETCH(bool, nothingSent);
        LockStepWrite write(37);
        write.start();
        for (int i = 0; i < answered; ++i) {
            QCOMPARE(write.onRead("OK", 0), Step::SendNext);
            write.blockSent();
        }
        QCOMPARE(TransferReport::writeFailure(write), text);
        QCOMPARE(TransferReport::nothingSent(write), nothingSent);
    }

    void readFailureWords_data()
    {
        QTest::addColumn<int>("received");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("text");
        QTest::newRow("silence") << 0 << 2370 << "Устройство не ответило: получено 0 из 2370 байт.";
        QTest::newRow("short") << 1000 << 2370 << "Ответ устройства оборвался: получено 1000 из 2370 байт.";
        QTest::newRow("long by one") << 2371 << 2370 << "Ответ устройства длиннее ожидаемого: получено 2371 байт вместо 2370.";
        QTest::newRow("long by two") << 2372 << 2370
                                     << "Ответ устройства длиннее ожидаемого: получено 2372 байта вместо 2370.";
        QTest::newRow("firmware short") << 20000 << 62720 << "Ответ устройства оборвался: получено 20000 из 62720 байт.";
        QTest::newRow("complete") << 2370 << 2370 << "";
    }
    void readFailureWords()
    {
        QFETCH(int, received);
        QFETCH(int, expected);
        QFETCH(QString, text);
        QCOMPARE(TransferReport::readFailure(received, expected), text);
    }

    // Counted nouns agree with their number.
    void countWords_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("lines");
        QTest::newRow("0") << 0 << "0 байт" << "0 строк";
        QTest::newRow("1") << 1 << "1 байт" << "1 строка";
        QTest::newRow("3") << 3 << "3 байта" << "3 строки";
        QTest::newRow("5") << 5 << "5 байт" << "5 строк";
        QTest::newRow("11") << 11 << "11 байт" << "11 строк";
        QTest::newRow("12") << 12 << "12 байт" << "12 строк";
        QTest::newRow("21") << 21 << "21 байт" << "21 строка";
        QTest::newRow("63") << 63 << "63 байта" << "63 строки";
        QTest::newRow("111") << 111 << "111 байт" << "111 строк";
        QTest::newRow("979") << 979 << "979 байт" << "979 строк";
        QTest::newRow("1002") << 1002 << "1002 байта" << "1002 строки";
    }
    void countWords()
    {
        QFETCH(int, n);
        QFETCH(QString, bytes);
        QFETCH(QString, lines);
        QCOMPARE(RussianCount::bytes(n), bytes);
        QCOMPARE(RussianCount::lines(n), lines);
    }
};

QTEST_GUILESS_MAIN(TestLockStepWrite)
#include "tst_lockstepwrite.moc"
