#include <QtTest>
#include "cli/MonitorCommand.h"

// monitor: one decoded frame as one line of text.
class TestFrameLine : public QObject {
    Q_OBJECT

private slots:
    void line_data()
    {
        QTest::addColumn<int>("inputs");        // layout of the model; 0: as designed (12 rows)
        QTest::addColumn<bool>("measurement");
        QTest::addColumn<QString>("expected");

        // A 4-input model uses table rows 1, 4, 7 and 10 under the captions 1 to 4.
        QTest::newRow("4 inputs: their rows under their captions, then control and supply")
            << 4 << true
            << QStringLiteral("09:05:03  1: 1.00 В 10% n  2: 4.00 В 40% L  3: 7.00 В 70%  4: 10.00 В 100%  "
                              "УПР: 13.00 В 130%  Акк: 12.50 В  Пит: 13.80 В  Проц: 3.30 В");
        QTest::newRow("as designed: all twelve rows, letters only where known")
            << 0 << true
            << QStringLiteral("09:05:03  1: 1.00 В 10% n  2: 2.00 В 20% H  3: 3.00 В 30%  4: 4.00 В 40% L  "
                              "5: 5.00 В 50%  6: 6.00 В 60%  7: 7.00 В 70%  8: 8.00 В 80%  9: 9.00 В 90%  "
                              "10: 10.00 В 100%  11: 11.00 В 110%  12: 12.00 В 120%  "
                              "УПР: 13.00 В 130%  Акк: 12.50 В  Пит: 13.80 В  Проц: 3.30 В");
        QTest::newRow("sensor frame: readings, a dash where none")
            << 4 << false << QStringLiteral("09:05:03  T1=23.5  T2=—  T3=—  T4=-4.0  T5=—  T6=—");
    }

    void line()
    {
        QFETCH(int, inputs);
        QFETCH(bool, measurement);
        QFETCH(QString, expected);
        MonitorReadings r;
        for (int row = 1; row <= MonitorReadings::kRows; ++row) {
            r.volt[row] = QStringLiteral("%1.00 ").arg(row);
            r.percent[row] = QStringLiteral("%1 ").arg(row * 10);
        }
        r.state[1] = QStringLiteral("n");
        r.state[2] = QStringLiteral("H");
        r.state[3] = QString();   // no bounds: no letter
        r.state[4] = QStringLiteral("L");   // the others keep the design "X": never decoded
        r.battery = QStringLiteral("12.50 ");
        r.supply = QStringLiteral("13.80 ");
        r.cpu = QStringLiteral("3.30 ");
        r.sensors[1] = QStringLiteral("23.5");
        r.sensors[2] = QString();
        r.sensors[4] = QStringLiteral("-4.0");   // the others keep the design "X": never read
        const MonitorDecoder::Layout layout =
            inputs ? MonitorDecoder::rowLayout(inputs).value() : MonitorDecoder::designLayout();
        const QDateTime time(QDate(2026, 12, 7), QTime(9, 5, 3));
        QCOMPARE(MonitorCommand::frameLine(r, layout, measurement, time), expected);
    }
};

QTEST_GUILESS_MAIN(TestFrameLine)
#include "tst_frameline.moc"
