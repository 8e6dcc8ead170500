#include <QtTest>
#include "cli/Output.h"
#include "cli/ProgressReporter.h"

// Progress on standard error: redrawn in place on a terminal, a line per further tenth otherwise.
class TestProgressReporter : public QObject {
    Q_OBJECT

private slots:
    void output_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<QList<qint64>>("counts");   // against a total of 100
        QTest::addColumn<QString>("expected");

        const QString bar0 = ProgressReporter::bar(0, 100);
        const QString bar50 = ProgressReporter::bar(50, 100);
        QTest::newRow("plain: a line per further tenth")
            << false << false << QList<qint64>{0, 5, 9, 10, 35, 36, 100}
            << QStringLiteral("Чтение: 0 / 100 байт\nЧтение: 10 / 100 байт\nЧтение: 35 / 100 байт\n"
                              "Чтение: 100 / 100 байт\n");
        QTest::newRow("plain: more than the total counts as all")
            << false << false << QList<qint64>{100, 101} << QStringLiteral("Чтение: 100 / 100 байт\n");
        QTest::newRow("terminal: redrawn in place, closed by end")
            << true << false << QList<qint64>{0, 0, 50}
            << QStringLiteral("\r\x1b[KЧтение ") + bar0 + QStringLiteral(" 0 / 100 байт") + QStringLiteral("\r\x1b[KЧтение ")
                   + bar50 + QStringLiteral(" 50 / 100 байт\n");
        QTest::newRow("quiet on a terminal") << true << true << QList<qint64>{0, 50, 100} << QString();
        QTest::newRow("quiet in plain mode") << false << true << QList<qint64>{0, 50, 100} << QString();
        QTest::newRow("terminal, nothing drawn, nothing to close") << true << false << QList<qint64>{} << QString();
    }

    // On a narrow terminal the bar narrows, then goes, so the line never wraps.
    void fitsTheTerminal_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("line");
        QTest::newRow("wide: the full bar") << 200 << QStringLiteral("Чтение [####################....................] 50 / 100 байт");
        QTest::newRow("40 columns: a narrower bar") << 40 << QStringLiteral("Чтение [########........] 50 / 100 байт");
        QTest::newRow("25 columns: no bar") << 25 << QStringLiteral("Чтение 50 / 100 байт");
        QTest::newRow("12 columns: cut") << 12 << QStringLiteral("Чтение 50 /");
    }
    void fitsTheTerminal()
    {
        QFETCH(int, columns);
        QFETCH(QString, line);
        QString written;
        ProgressReporter progress(true, false, [&written](const QString &text) { written += text; });
        progress.setColumns(columns);
        progress.begin(QStringLiteral("Чтение"));
        progress.update(50, 100);
        QCOMPARE(written, QStringLiteral("\r\x1b[K") + line);
        QVERIFY(line.size() < columns);
    }

    // A long transfer on a terminal: the elapsed time, then the time left at the pace so far. On a
    // narrow terminal the bar narrows beside the time, then the time goes, then the bar.
    void timeOnTheLine_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<qint64>("count");   // of 62720
        QTest::addColumn<QString>("line");
        QTest::newRow("wide: bar, counts, elapsed and left")
            << 200 << qint64(30000) << qint64(31360)
            << QStringLiteral("Запись прошивки [####################....................] 31360 / 62720 байт  "
                              "0:30 / осталось 0:30");
        QTest::newRow("70 columns: the bar narrows beside the time")
            << 70 << qint64(30000) << qint64(31360)
            << QStringLiteral("Запись прошивки [#####.....] 31360 / 62720 байт  0:30 / осталось 0:30");
        QTest::newRow("60 columns: the time goes before the bar")
            << 60 << qint64(30000) << qint64(31360)
            << QStringLiteral("Запись прошивки [###########...........] 31360 / 62720 байт");
        QTest::newRow("40 columns: then the bar goes")
            << 40 << qint64(30000) << qint64(31360) << QStringLiteral("Запись прошивки 31360 / 62720 байт");
        QTest::newRow("young transfer: no time yet")
            << 200 << qint64(1500) << qint64(31360)
            << QStringLiteral("Запись прошивки [####################....................] 31360 / 62720 байт");
        QTest::newRow("too little done to say: elapsed only")
            << 200 << qint64(3000) << qint64(2000)
            << QStringLiteral("Запись прошивки [#.......................................] 2000 / 62720 байт  0:03");
    }
    void timeOnTheLine()
    {
        QFETCH(int, columns);
        QFETCH(qint64, elapsedMs);
        QFETCH(qint64, count);
        QFETCH(QString, line);
        qint64 now = 500000;
        QString written;
        ProgressReporter progress(true, false, [&written](const QString &text) { written += text; });
        progress.setTicks([&now] { return now; });
        progress.setColumns(columns);
        progress.begin(QStringLiteral("Запись прошивки"));
        now += elapsedMs;
        progress.update(count, 62720);
        QCOMPARE(written, QStringLiteral("\r\x1b[K") + line);
        QVERIFY(line.size() < columns);
    }

    // Plain lines (no terminal) and --quiet carry no time, however long the transfer takes.
    void noTimeWithoutABar_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << false << false << QStringLiteral("Чтение прошивки: 31360 / 62720 байт\n");
        QTest::newRow("quiet terminal") << true << true << QString();
    }
    void noTimeWithoutABar()
    {
        QFETCH(bool, terminal);
        QFETCH(bool, quiet);
        QFETCH(QString, expected);
        qint64 now = 0;
        QString written;
        ProgressReporter progress(terminal, quiet, [&written](const QString &text) { written += text; });
        progress.setTicks([&now] { return now; });
        progress.begin(QStringLiteral("Чтение прошивки"));
        now = 60000;
        progress.update(31360, 62720);
        QCOMPARE(written, expected);
        QCOMPARE(progress.drawn(), terminal && !quiet);
    }

    void timeText_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("text");
        QTest::newRow("under 2 s: nothing") << qint64(1999) << qint64(500) << qint64(1000) << QString();
        QTest::newRow("under 5 % done: elapsed only") << qint64(2000) << qint64(49) << qint64(1000) << "0:02";
        QTest::newRow("5 % done: the time left") << qint64(2000) << qint64(50) << qint64(1000)
                                                << "0:02 / осталось 0:38";
        QTest::newRow("a tenth in 12 s") << qint64(12000) << qint64(100) << qint64(1000) << "0:12 / осталось 1:48";
        QTest::newRow("time left rounded up") << qint64(10000) << qint64(333) << qint64(1000)
                                             << "0:10 / осталось 0:21";
        QTest::newRow("nothing yet") << qint64(5000) << qint64(0) << qint64(1000) << "0:05";
        QTest::newRow("all done: elapsed only") << qint64(65000) << qint64(1000) << qint64(1000) << "1:05";
        QTest::newRow("more than the total") << qint64(65000) << qint64(1001) << qint64(1000) << "1:05";
        QTest::newRow("over an hour") << qint64(3723000) << qint64(1000) << qint64(1000) << "1:02:03";
        QTest::newRow("over an hour left") << qint64(200000) << qint64(50) << qint64(1000)
                                           << "3:20 / осталось 1:03:20";
    }
    void timeText()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(qint64, count);
        QFETCH(qint64, total);
        QFETCH(QString, text);
        QCOMPARE(ProgressReporter::timeText(elapsedMs, count, total), text);
    }

    // A firmware transfer at 9600 baud says how to take a tenth of the time, if 115200 is offered.
    void speedHint_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<bool>("backup");   // write-firmware --backup reads the unit's firmware first
        QTest::addColumn<QString>("hint");
        const QStringList all{"9600", "19200", "115200"};
        const QString at9600 = "Прошивка передаётся на скорости 9600 бод; на 115200 бод это заняло бы около десятой "
                               "части времени: если устройство настроено на 115200, укажите --speed 115200.";
        QTest::newRow("9600") << 9600 << all << false << at9600;
        QTest::newRow("9600 with --backup") << 9600 << all << true
                                            << at9600 + " Чтение прошивки в резервную копию (--backup) на 9600 бод "
                                                        "займёт ещё около 66 с.";
        QTest::newRow("19200: no hint") << 19200 << all << true << QString();
        QTest::newRow("115200: no hint") << 115200 << all << false << QString();
        QTest::newRow("115200 not offered") << 9600 << QStringList{"9600", "19200"} << false << QString();
    }
    void speedHint()
    {
        QFETCH(int, speed);
        QFETCH(QStringList, offered);
        QFETCH(bool, backup);
        QFETCH(QString, hint);
        QCOMPARE(Output::speedHint(speed, offered, backup), hint);
    }

    void output()
    {
        QFETCH(bool, terminal);
        QFETCH(bool, quiet);
        QFETCH(QList<qint64>, counts);
        QFETCH(QString, expected);
        QString written;
        ProgressReporter progress(terminal, quiet, [&written](const QString &text) { written += text; });
        progress.begin(QStringLiteral("Чтение"));
        for (const qint64 count : counts)
            progress.update(count, 100);
        progress.end();
        QCOMPARE(written, expected);
    }

    void bar_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << qint64(0) << qint64(2370) << QStringLiteral("[..........]");
        QTest::newRow("just under a step") << qint64(236) << qint64(2370) << QStringLiteral("[..........]");
        QTest::newRow("one step") << qint64(237) << qint64(2370) << QStringLiteral("[#.........]");
        QTest::newRow("full") << qint64(2370) << qint64(2370) << QStringLiteral("[##########]");
        QTest::newRow("over the total") << qint64(2371) << qint64(2370) << QStringLiteral("[##########]");
        QTest::newRow("no total") << qint64(5) << qint64(0) << QStringLiteral("[..........]");
    }

    void bar()
    {
        QFETCH(qint64, count);
        QFETCH(qint64, total);
        QFETCH(QString, expected);
        QCOMPARE(ProgressReporter::bar(count, total, 10), expected);
    }
};

QTEST_GUILESS_MAIN(TestProgressReporter)
#include "tst_progressreporter.moc"
