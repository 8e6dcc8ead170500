#include <QtTest>
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

    void parseCounter_data()
    {
        QTest::addColumn<QString>("counter");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("total");
        QTest::newRow("status strip text") << QStringLiteral("640 / 2370 байт") << true << qint64(640) << qint64(2370);
        QTest::newRow("firmware size") << QStringLiteral("62720 / 62720 байт") << true << qint64(62720) << qint64(62720);
        QTest::newRow("emptied") << QString() << false << qint64(0) << qint64(0);
        QTest::newRow("not a counter") << QStringLiteral("Прочитано") << false << qint64(0) << qint64(0);
    }

    void parseCounter()
    {
        QFETCH(QString, counter);
        QFETCH(bool, ok);
        QFETCH(qint64, count);
        QFETCH(qint64, total);
        const auto numbers = ProgressReporter::parseCounter(counter);
        QCOMPARE(numbers.has_value(), ok);
        if (ok) {
            QCOMPARE(numbers->first, count);
            QCOMPARE(numbers->second, total);
        }
    }
};

QTEST_GUILESS_MAIN(TestProgressReporter)
#include "tst_progressreporter.moc"
