#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimOptions.h"
#include "monitor/MonitorDecoder.h"

// The simulated unit's monitoring replies, read through the program's own decoder.
class TestSimMonitor : public QObject {
    Q_OBJECT

    static QByteArray poll(SimCore &core)
    {
        core.receive("#6002", 0);
        return core.takeOutput(0);
    }

private slots:
    // Every model's shown rows hold a high, a low and a normal input against the factory range.
    void everyModelShowsEveryState_data()
    {
        QTest::addColumn<int>("inputs");
        QTest::newRow("4 inputs") << 4;
        QTest::newRow("8 inputs") << 8;
        QTest::newRow("12 inputs") << 12;
    }
    void everyModelShowsEveryState()
    {
        QFETCH(int, inputs);
        const MonitorDecoder::Layout layout = *MonitorDecoder::rowLayout(inputs);
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        core.setFrames(SimCore::Frames::Measurement);
        const auto range = [](int, bool upper) { return upper ? QStringLiteral("80") : QStringLiteral("20"); };
        for (int frame = 0; frame < 5; ++frame) {
            MonitorReadings shown;
            QCOMPARE(MonitorDecoder::decode(poll(core), range, QLocale::c(), shown), MonitorDecoder::Kind::Measurement);
            QSet<QString> states;
            for (int row = 1; row <= MonitorReadings::kInputs; ++row)
                if (layout[row].visible)
                    states.insert(shown.state[row]);
            QCOMPARE(states, (QSet<QString>{"H", "L", "n"}));
        }
    }

    void sensorItemsComeInChangingOrder()
    {
        QByteArray image = SimDefaults::image();
        for (int n = 3; n <= 6; ++n)   // register T3 … T6 beside the factory T2
            image.replace(SimDefaults::kSensorIds + 8 * (n - 2), 8, QByteArray::fromHex("28AA0000000000") + char(n));
        SimCore core(image, SimDefaults::firmware());
        core.setFrames(SimCore::Frames::Sensors);
        QSet<QByteArray> firstItems;
        for (int frame = 0; frame < 12; ++frame) {
            const QByteArray reply = poll(core);
            MonitorReadings shown;
            QCOMPARE(MonitorDecoder::decode(reply, {}, QLocale::c(), shown), MonitorDecoder::Kind::Sensors);
            for (int n = 1; n <= MonitorReadings::kSensors; ++n)
                QVERIFY2(MonitorDecoder::leadingNumber(shown.sensors[n]), qPrintable(QString::number(n)));
            firstItems.insert(reply.left(3));
        }
        QVERIFY(firstItems.size() > 1);
    }

    void monitoringFaults_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("lastByte");   // -1: not checked
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("wrong frame kind") << QStringList{"--frame-kind", "2"} << 64 << 2 << QByteArray();
        QTest::newRow("short reply") << QStringList{"--length-delta", "-10", "--only", "#6002"} << 54 << -1
                                     << QByteArray();
        QTest::newRow("no reply") << QStringList{"--silent", "--only", "#6002"} << 0 << -1 << QByteArray();
        QTest::newRow("frame from a file") << QStringList{"--frame-file", "FRAME"} << 64 << 1 << QByteArray("T5=1.5C;");
        QTest::newRow("file frame with its kind replaced")
            << QStringList{"--frame-file", "FRAME", "--frame-kind", "0"} << 64 << 0 << QByteArray("T5=1.5C;");
    }
    void monitoringFaults()
    {
        QFETCH(QStringList, args);
        QFETCH(int, size);
        QFETCH(int, lastByte);
        QFETCH(QByteArray, start);
        QTemporaryDir dir;
        const QString framePath = dir.filePath(QStringLiteral("frame.bin"));
        QFile file(framePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("T5=1.5C;").leftJustified(63, ' ') + char(1));
        file.close();
        args.replaceInStrings(QStringLiteral("FRAME"), framePath);

        SimOptions options;
        QString text;
        QCOMPARE(SimOptions::parse(QStringList{"zorgel-sim", "--folder", dir.path()} + args, options, &text),
                 SimOptions::Outcome::Run);
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), options.faults);
        for (int frame = 0; frame < 2; ++frame) {
            const QByteArray reply = poll(core);
            QCOMPARE(reply.size(), size);
            if (lastByte >= 0)
                QCOMPARE(int(quint8(reply.back())), lastByte);
            QVERIFY(reply.startsWith(start));
        }
        // Other requests are answered as ever.
        core.receive("#4000", 0);
        QVERIFY(core.takeOutput(0).startsWith("#4000="));
    }

    void badMonitoringOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("kind above a byte") << QStringList{"--frame-kind", "256"};
        QTest::newRow("kind not a number") << QStringList{"--frame-kind", "x"};
        QTest::newRow("missing frame file") << QStringList{"--frame-file", "/nonexistent/frame.bin"};
    }
    void badMonitoringOptions()
    {
        QFETCH(QStringList, args);
        SimOptions options;
        QString text;
        QCOMPARE(SimOptions::parse(QStringList{"zorgel-sim", "--folder", "/x"} + args, options, &text),
                 SimOptions::Outcome::Error);
        QVERIFY(text.contains(args.first()));
    }
};

QTEST_GUILESS_MAIN(TestSimMonitor)
#include "tst_simmonitor.moc"
