#include <QtTest>
#include "cli/InterruptWatch.h"
#include <csignal>

// A closed terminal, a dropped remote shell or a reader gone ("| head") end a run as Ctrl+C and
// SIGTERM do: noted, so the command stops cleanly and its records are finished.
class TestInterruptWatch : public QObject {
    Q_OBJECT
private slots:
    void signalsEndingARunAreNoted_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("times");   // SIGPIPE comes with every write to the closed pipe
        QTest::newRow("Ctrl+C") << int(SIGINT) << 1;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 1;
        QTest::newRow("SIGHUP") << int(SIGHUP) << 1;
        QTest::newRow("SIGPIPE, again and again") << int(SIGPIPE) << 3;
    }
    void signalsEndingARunAreNoted()
    {
        QFETCH(int, signal);
        QFETCH(int, times);
        const InterruptWatch watch;
        QVERIFY(!InterruptWatch::interrupted());
        for (int i = 0; i < times; ++i)
            std::raise(signal);
        // Still running, and told.
        QVERIFY(InterruptWatch::interrupted());
    }
};

QTEST_GUILESS_MAIN(TestInterruptWatch)
#include "tst_interruptwatch.moc"
