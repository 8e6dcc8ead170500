#include <QtTest>
#include <QSerialPort>
#include "SimDefaults.h"
#include "SimProcess.h"
#include "link/Cp1251.h"

namespace {
constexpr int kWaitMs = 10000;   // upper bound for anything the simulator has to do

// Reads until `count` bytes came, the line failed, or the bound passed.
QByteArray readExactly(QSerialPort &port, int count)
{
    QByteArray data;
    QDeadlineTimer deadline(kWaitMs);
    while (data.size() < count && !deadline.hasExpired()) {
        if (port.bytesAvailable() == 0 && !port.waitForReadyRead(int(deadline.remainingTime())))
            break;
        data += port.read(count - data.size());
    }
    return data;
}

bool send(QSerialPort &port, const QByteArray &bytes)
{
    return port.write(bytes) == bytes.size() && port.waitForBytesWritten(kWaitMs);
}

void openLink(QSerialPort &port, const QString &link)
{
    port.setPortName(link);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + 5) & 0xFF);
    return bytes;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}

class TestSimServer : public QObject {
    Q_OBJECT
private slots:
    void identification_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("name");
        QTest::newRow("factory name") << QStringList{} << QStringLiteral("ЗОРГЕЛ-GSM8T");
        QTest::newRow("given name, port 2") << QStringList{"--name", "ЗОРГЕЛ-GSM12", "--port", "2"}
                                            << QStringLiteral("ЗОРГЕЛ-GSM12");
    }
    void identification()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, name);
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY2(sim.start(dir.path(), args), qPrintable(sim.errorText()));
        const int port = args.contains("--port") ? args.at(args.indexOf("--port") + 1).toInt() : 1;
        QCOMPARE(sim.linkPath(), dir.filePath(QStringLiteral("Service/ports/COM%1").arg(port)));
        QVERIFY(QFileInfo(sim.linkPath()).isSymLink());

        QSerialPort serial;
        openLink(serial, sim.linkPath());
        QVERIFY(send(serial, "#4000"));
        const QByteArray reply = readExactly(serial, 24);
        QCOMPARE(reply.left(6), QByteArray("#4000="));
        QCOMPARE(Cp1251::decode(reply.mid(6, 16)), name.leftJustified(16));
        // Closing and reopening the port leaves the unit serving.
        serial.close();
        openLink(serial, sim.linkPath());
        QVERIFY(send(serial, "#4000"));
        QCOMPARE(readExactly(serial, 24), reply);
    }

    void configurationWritePersistsAndReadsBack()
    {
        QTemporaryDir dir;
        const QByteArray memory = pattern(2368);
        {
            SimProcess sim;
            QVERIFY2(sim.start(dir.path()), qPrintable(sim.errorText()));
            QSerialPort serial;
            openLink(serial, sim.linkPath());
            QVERIFY(send(serial, "#6001"));
            QCOMPARE(readExactly(serial, 2), QByteArray("OK"));
            for (int block = 0; block < 37; ++block) {
                QVERIFY(send(serial, memory.mid(64 * block, 64)));
                QCOMPARE(readExactly(serial, 2), QByteArray("OK"));
            }
            sim.stop();
            QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);   // SIGTERM is handled
            QCOMPARE(sim.process().exitCode(), 0);
            QVERIFY(!QFileInfo(sim.linkPath()).isSymLink());
        }
        const QByteArray stored = fileBytes(dir.filePath(QStringLiteral("Service/zorgel-config.bin")));
        QCOMPARE(stored, memory + QByteArray("\x08\x02"));

        SimProcess again;
        QVERIFY2(again.start(dir.path()), qPrintable(again.errorText()));
        QSerialPort serial;
        openLink(serial, again.linkPath());
        QVERIFY(send(serial, "#6000"));
        QCOMPARE(readExactly(serial, 2370), stored);
    }

    void firmwareReadMatchesTheFile()
    {
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY2(sim.start(dir.path(), {"--baud", "921600"}), qPrintable(sim.errorText()));
        QSerialPort serial;
        openLink(serial, sim.linkPath());
        QVERIFY(send(serial, "#5000"));
        const QByteArray firmware = readExactly(serial, 62720);
        QCOMPARE(firmware, SimDefaults::firmware());
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("Service/zorgel-firmware.bin"))), firmware);
    }

    void lineClosedMidTransferIsAnError()
    {
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY2(sim.start(dir.path(), {"--close-after", "1000"}), qPrintable(sim.errorText()));
        QSerialPort serial;
        openLink(serial, sim.linkPath());
        QVERIFY(send(serial, "#6000"));
        // As with an adapter pulled, what the line still held when it closed may be lost, so the
        // reader sees at most the first 1000 bytes (all of them unless it lagged behind).
        const QByteArray got = readExactly(serial, 2370);
        QVERIFY2(!got.isEmpty() && got.size() <= 1000, qPrintable(QString::number(got.size())));
        QCOMPARE(got, SimDefaults::image().left(got.size()));
        QCOMPARE(sim.waitForLine(), QStringLiteral("closed"));
        QVERIFY(!QFileInfo::exists(sim.linkPath()) && !QFileInfo(sim.linkPath()).isSymLink());
        // The other end is gone: reading now fails instead of waiting for more.
        QDeadlineTimer deadline(kWaitMs);
        while (serial.error() == QSerialPort::NoError && !deadline.hasExpired())
            serial.waitForReadyRead(int(deadline.remainingTime()));
        QVERIFY2(serial.error() == QSerialPort::ReadError || serial.error() == QSerialPort::ResourceError,
                 qPrintable(serial.errorString()));
        QVERIFY(sim.waitForExit());
    }

    void staleLinkIsReplaced()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("Service/ports/COM1"));
        QVERIFY(QDir().mkpath(QFileInfo(link).absolutePath()));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), link));   // dangling
        SimProcess sim;
        QVERIFY2(sim.start(dir.path()), qPrintable(sim.errorText()));
        QVERIFY(QFileInfo(link).symLinkTarget().startsWith(QStringLiteral("/dev/")));
        QSerialPort serial;
        openLink(serial, link);
        QVERIFY(send(serial, "#4000"));
        QCOMPARE(readExactly(serial, 24).left(6), QByteArray("#4000="));
    }

    void badFilesStopTheStart()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Service"))));
        QFile file(dir.filePath(QStringLiteral("Service/zorgel-config.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("short");
        file.close();
        SimProcess sim;
        QVERIFY(!sim.start(dir.path()));
        QVERIFY(sim.errorText().contains(QStringLiteral("expected 2370")));
        QCOMPARE(fileBytes(file.fileName()), QByteArray("short"));
    }
};

QTEST_GUILESS_MAIN(TestSimServer)
#include "tst_simserver.moc"
