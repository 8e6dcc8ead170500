#include <QtTest>
#include "FakeSerialPort.h"
#include "link/Cp1251.h"
#include "link/TracingSerialPort.h"

// The serial trace a user attaches to a bug report.
class TestTracingSerialPort : public QObject {
    Q_OBJECT
private slots:
    // Every byte both ways, with its time, port, direction, hex and text; on the disk as it comes.
    void format()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("trace.txt"));
        auto fake = std::make_unique<FakeSerialPort>();
        FakeSerialPort &port = *fake;
        TracingSerialPort trace(std::move(fake), path);
        qint64 now = 0;
        trace.setElapsed([&] { return now; });
        QVERIFY(trace.begin());

        QVERIFY(trace.open(1, 9600, 0));
        now = 12;
        QVERIFY(trace.write("#4000"));
        now = 63;
        port.feed("#4000=" + Cp1251::encode(QStringLiteral("ЗОРГЕЛ")) + "\r\n");
        QCOMPARE(trace.readAll().size(), 14);
        now = 120;
        QVERIFY(trace.readAll().isEmpty());   // a silent poll leaves no line
        port.feed(QByteArray(65, '\x01'));
        trace.readAll();
        port.failWritesWith = 8012;
        QVERIFY(!trace.write("#6001"));
        trace.close();
        QVERIFY(trace.finish());

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        const QString ones = QStringLiteral("01 ").repeated(64).chopped(1);
        const QStringList expected{
            QStringLiteral("       0 COM1 -- открыт 9600,N,8,1"),
            QStringLiteral("      12 COM1 TX 23 34 30 30 30  #4000"),
            QStringLiteral("      63 COM1 RX 23 34 30 30 30 3D C7 CE D0 C3 C5 CB 0D 0A  #4000=ЗОРГЕЛ.."),
            QStringLiteral("     120 COM1 RX ") + ones + QStringLiteral("  ") + QString(64, QLatin1Char('.')),
            QStringLiteral("     120 COM1 RX 01  ."),
            QStringLiteral("     120 COM1 -- не отправлено 5 байт, ошибка 8012"),
            QStringLiteral("     120 COM1 -- закрыт"),
            QString()};
        QCOMPARE(lines, expected);
    }

    // Past its limit the trace ends with one line saying so, and stays within the limit.
    void cutAtLimit()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("trace.txt"));
        TracingSerialPort trace(std::make_unique<FakeSerialPort>(), path, 400);
        trace.setElapsed([] { return qint64(7); });
        QVERIFY(trace.begin());
        QVERIFY(trace.open(1, 9600, 0));
        for (int i = 0; i < 20; ++i)
            trace.write("#6002");
        QVERIFY(trace.finish());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.size() <= 400);
        QVERIFY(bytes.endsWith("      7 -- трасса обрезана: достигнут предел 400 байт\n"));
        QCOMPARE(bytes.count("трасса обрезана"), 1);
        QVERIFY(bytes.count("COM1 TX 23 36 30 30 32") >= 5);
    }
};

QTEST_GUILESS_MAIN(TestTracingSerialPort)
#include "tst_tracingserialport.moc"
