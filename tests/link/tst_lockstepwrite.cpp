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
        case Step::NoGoAhead: return QStringLiteral("no go-ahead");
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
                    step = write.onRead(QByteArray(), idle, idle);
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

    // A block's 16 polls count from when it has reached the unit: the polls its 64 bytes and their
    // "OK" CR LF take on the line at the port's speed, and one for a timer firing early, come first.
    // The closing silence after the last "OK" waits for nothing on the line.
    void silenceCountsFromTheBlocksArrival_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("lastAcknowledged");
        QTest::addColumn<int>("lastWaitingPoll");   // the poll after it ends the write
        QTest::newRow("no speed: 16 polls") << 0 << false << 15;
        QTest::newRow("9600: 71 ms on the line, 2 polls more, 1 for the timer") << 9600 << false << 18;
        QTest::newRow("115200: 6 ms, 1 poll more, 1 for the timer") << 115200 << false << 17;
        QTest::newRow("9600, closing silence after the last OK") << 9600 << true << 15;
    }
    void silenceCountsFromTheBlocksArrival()
    {
        QFETCH(int, baud);
        QFETCH(bool, lastAcknowledged);
        QFETCH(int, lastWaitingPoll);
        LockStepWrite write(1);
        write.start();
        write.setLineSpeed(baud);
        QCOMPARE(write.onRead("OK", 0), Step::SendNext);
        write.blockSent();
        if (lastAcknowledged)
            QCOMPARE(write.onRead("OK", 0), Step::Wait);
        for (int idle = 1; idle <= lastWaitingPoll; ++idle)
            QCOMPARE(write.onRead(QByteArray(), idle, idle), Step::Wait);
        QCOMPARE(write.onRead(QByteArray(), lastWaitingPoll + 1, lastWaitingPoll + 1),
                 lastAcknowledged ? Step::Finished : Step::Stalled);
    }

    // A line that never falls silent, read by read (one per poll from the request at poll 0): the
    // write goes on while "OK"s release blocks; without one it ends at the 16th poll after the last
    // "OK", or once more than 1024 bytes have come since it.
    void lineThatNeverFallsSilent_data()
    {
        QTest::addColumn<QByteArrayList>("reads");  // read k comes at poll k + 1
        QTest::addColumn<QString>("last");        // the step of the last read
        QTest::addColumn<int>("sent");
        const QByteArrayList twoOks{"OK", "OK"};
        const auto repeated = [](const QByteArray &read, int times) {
            QByteArrayList reads;
            for (int i = 0; i < times; ++i)
                reads << read;
            return reads;
        };
        // The last "OK" at poll 2: polls 3 ... 17 wait for the next, poll 18 is the 16th.
        QTest::newRow("NULs: 15 polls after the last OK go on") << twoOks + repeated(QByteArray(1, '\0'), 15)
                                                                 << "wait" << 2;
        QTest::newRow("NULs: the 16th poll ends it") << twoOks + repeated(QByteArray(1, '\0'), 16)
                                                     << "no go-ahead" << 2;
        QTest::newRow("1024 bytes since the OK go on") << twoOks + QByteArrayList{QByteArray(1022, ' '), "\r\n"}
                                                       << "wait" << 2;
        QTest::newRow("the 1025th byte ends it") << twoOks + QByteArrayList{QByteArray(1024, ' '), "\r"}
                                                 << "no go-ahead" << 2;
        // Three blocks: every "OK" releases one, the unit is never silent yet keeps the protocol.
        QByteArrayList everySixteenth;
        for (int i = 0; i < 4; ++i)
            everySixteenth += repeated(QByteArray(1, '\0'), 15) + QByteArrayList{"OK"};
        QTest::newRow("an OK every 16th poll, NULs between") << everySixteenth << "wait" << 3;
        // Once every block is acknowledged, a repeated "OK" answers nothing.
        QTest::newRow("OK after OK after the last block")
            << repeated("OK", 4 + 16) << "no go-ahead" << 3;
    }
    void lineThatNeverFallsSilent()
    {
        QFETCH(QByteArrayList, reads);
        QFETCH(QString, last);
        QFETCH(int, sent);
        LockStepWrite write(3);
        write.start(0);
        Step step = Step::Wait;
        for (int i = 0; i < reads.size(); ++i) {
            step = write.onRead(reads.at(i), 0, i + 1);
            if (step == Step::SendNext)
                write.blockSent();
            if (i + 1 < reads.size())
                QVERIFY2(step == Step::Wait || step == Step::SendNext, qPrintable(QString::number(i)));
        }
        QCOMPARE(name(step), last);
        QCOMPARE(write.sent(), sent);
    }

    // The firmware's rule: text where an "OK" was due is told once its "OK" has come, without the
    // line ends and fillers around it, and the "OK" still releases the next block.
    void statusTextIsToldAndTheWriteGoesOn_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QByteArrayList>("told");   // after each read
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("split over reads, OK in the last")
            << QByteArrayList{"OK", "\r\nFLA", "SH ", "WAIT\r\nO", "K\r\n", "OK", "-"}
            << QByteArrayList{"", "", "", "", "FLASH WAIT", "", ""}
            << QStringList{"send", "wait", "wait", "wait", "send", "wait", "finished"};
        QTest::newRow("after the OK in the same read: told with the next")
            << QByteArrayList{"OK\r\nBUSY", "\r\nOK", "OK", "-"} << QByteArrayList{"", "BUSY", "", ""}
            << QStringList{"send", "send", "wait", "finished"};
        QTest::newRow("after the last OK: told at the closing silence")
            << QByteArrayList{"OK", "OK", "OK", "DONE\r\n", "-"} << QByteArrayList{"", "", "", "", "DONE"}
            << QStringList{"send", "send", "wait", "wait", "finished"};
        QTest::newRow("in place of the last OK: stalls, and is told")
            << QByteArrayList{"OK", "OK", "ERR\r\n", "-"} << QByteArrayList{"", "", "", "ERR"}
            << QStringList{"send", "send", "wait", "stalled"};
    }
    void statusTextIsToldAndTheWriteGoesOn()
    {
        QFETCH(QByteArrayList, reads);
        QFETCH(QByteArrayList, told);
        QFETCH(QStringList, steps);
        LockStepWrite write(2, LockStepWrite::StrayText::Shown);
        write.start();
        QStringList got;
        for (int i = 0; i < reads.size(); ++i) {
            const Step step = reads.at(i) == "-" ? write.onRead(QByteArray(), 16, 16)
                                                 : write.onRead(reads.at(i), 0);
            if (step == Step::SendNext)
                write.blockSent();
            got << name(step);
            QCOMPARE(write.takeStatusText(), told.at(i));
        }
        QCOMPARE(got, steps);
    }

    // An answer is due by the 16th poll after its block went out at poll 0 (19th at 9600 baud),
    // whatever text comes meanwhile: a status line at textPoll, the "OK" at okPoll (-1: none).
    void statusTextNeitherStretchesNorShortensTheLimit_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("textPoll");
        QTest::addColumn<int>("okPoll");
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("poll");   // of that step
        QTest::newRow("text at poll 10: still the 16th") << 0 << 10 << -1 << "stalled" << 16;
        QTest::newRow("text at 15, OK at the 16th: in time") << 0 << 15 << 16 << "send" << 16;
        QTest::newRow("text at the 16th poll: ends there") << 0 << 16 << -1 << "no go-ahead" << 16;
        QTest::newRow("9600, text at poll 10: the 19th") << 9600 << 10 << -1 << "stalled" << 19;
    }
    void statusTextNeitherStretchesNorShortensTheLimit()
    {
        QFETCH(int, baud);
        QFETCH(int, textPoll);
        QFETCH(int, okPoll);
        LockStepWrite write(2, LockStepWrite::StrayText::Shown);
        write.start(0);
        write.setLineSpeed(baud);
        write.onRead("OK", 0, 0);
        write.blockSent();
        Step got = Step::Wait;
        int now = 0;
        for (int idle = 0; got == Step::Wait && now < 40;) {
            const QByteArray read = ++now == textPoll ? "BUSY\r\n" : now == okPoll ? "OK" : "";
            idle = read.isEmpty() ? idle + 1 : 0;
            got = write.onRead(read, idle, now);
        }
        QTEST(name(got), "step");
        QTEST(now, "poll");
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
