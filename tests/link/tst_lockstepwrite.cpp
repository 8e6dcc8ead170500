#include <QtTest>
#include "link/LockStepWrite.h"

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
};

QTEST_GUILESS_MAIN(TestLockStepWrite)
#include "tst_lockstepwrite.moc"
