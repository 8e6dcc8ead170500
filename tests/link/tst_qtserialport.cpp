#include <QtTest>
#include "link/PortProblem.h"
#include "link/QtSerialPort.h"
#include <QTemporaryDir>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

// The real port over a pseudo-terminal linked as <folder>/Service/ports/COM7.
class TestQtSerialPort : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;

    bool waitReadable(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 5000) == 1;   // an upper bound for the event, not a pause
    }
    QByteArray readMaster(int expected)
    {
        QByteArray got;
        while (got.size() < expected && waitReadable(m_master)) {
            char buf[256];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        char name[256];
        QCOMPARE(::openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        m_slaveName = QString::fromLocal8Bit(name);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Service/ports")));
        const QString link = m_dir.filePath(QStringLiteral("Service/ports/COM7"));
        QFile::remove(link);
        QVERIFY(QFile::link(m_slaveName, link));
    }
    void cleanup()
    {
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
        m_master = m_slave = -1;
    }

    void resolvesPortNumbers()
    {
        QtSerialPort port(m_dir.path());
        QCOMPARE(port.deviceFor(7), m_slaveName);
        QCOMPARE(port.deviceFor(3), QStringLiteral("/dev/ttyUSB2"));
        QCOMPARE(port.deviceFor(0), QString());
    }

    void exchangesBytesBothWays_data()
    {
        QTest::addColumn<int>("handshaking");
        QTest::newRow("None") << 0;
        QTest::newRow("XonXoff") << 1;
        QTest::newRow("RTS") << 2;
        QTest::newRow("RTSXonXoff") << 3;
    }
    void exchangesBytesBothWays()
    {
        QFETCH(int, handshaking);
        QtSerialPort port(m_dir.path());
        QVERIFY2(port.open(7, 19200, handshaking), qPrintable(port.lastErrorText()));
        QCOMPARE(port.lastError(), 0);
        QVERIFY(port.isOpen());
        QCOMPARE(port.settingsText(), QStringLiteral("19200,N,8,1"));

        // Every byte value crosses unchanged; 0x11/0x13 stay out where software flow control would eat them.
        QByteArray request("#4000");
        for (int b = 0x80; b < 0x100; ++b)
            request += char(b);
        QVERIFY(port.write(request));
        QCOMPARE(readMaster(int(request.size())), request);

        const QByteArray reply("#4000=\xC7\xCE\xD0\xC3\xC5\xCB-GSM8T    \r\n");
        QCOMPARE(::write(m_master, reply.constData(), size_t(reply.size())), ssize_t(reply.size()));
        QByteArray got;
        while (got.size() < reply.size() && waitReadable(m_slave))
            got += port.readAll();
        QCOMPARE(got, reply);
        QCOMPARE(port.lastError(), 0);
        QVERIFY(port.readAll().isEmpty());   // nothing waiting: empty, no error
        QCOMPARE(port.lastError(), 0);

        port.close();
        QVERIFY(!port.isOpen());
    }

    void openErrors_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("linkTarget");   // empty: no link for the number
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("textStart");
        QTest::newRow("no adapter behind the number") << 199 << QString() << 8002 << "нет устройства: ";
        QTest::newRow("link to a vanished tty") << 9 << QStringLiteral("/nonexistent/tty") << 8002 << "нет устройства: ";
        QTest::newRow("port zero") << 0 << QString() << 8002 << "Нет порта";
    }
    void openErrors()
    {
        QFETCH(int, number);
        QFETCH(QString, linkTarget);
        QFETCH(int, error);
        QFETCH(QString, textStart);
        if (!linkTarget.isEmpty())
            QVERIFY(QFile::link(linkTarget, m_dir.filePath(QStringLiteral("Service/ports/COM%1").arg(number))));
        QtSerialPort port(m_dir.path());
        QVERIFY(!port.open(number, 9600, 0));
        QCOMPARE(port.lastError(), error);
        QVERIFY2(port.lastErrorText().startsWith(textStart), qPrintable(port.lastErrorText()));
        QVERIFY(!port.isOpen());
    }

    // A port another program holds reads as busy, not as missing rights.
    void busyPortSaysSo()
    {
        QtSerialPort holder(m_dir.path());
        QVERIFY(holder.open(7, 9600, 0));
        QtSerialPort second(m_dir.path());
        QVERIFY(!second.open(7, 9600, 0));
        QCOMPARE(second.lastError(), 8010);
        QCOMPARE(second.lastFault(), PortProblem::Kind::Busy);
        QVERIFY2(second.lastErrorText().startsWith(QStringLiteral("порт занят другой программой: ")),
                 qPrintable(second.lastErrorText()));
    }

    // The kind behind a classic number decides the words and the advice.
    void problemWords_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("accessible");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("adviceStart");   // empty: no advice
        QTest::newRow("missing device") << 8002 << true << "No such file or directory"
                                        << "COM3 = /dev/ttyUSB2: Error 8002, нет устройства: No such file or directory."
                                        << "Подключите адаптер. Если он называется иначе (например, /dev/ttyACM0)";
        QTest::newRow("held by another program") << 8010 << true << "Device or resource busy"
                                                 << "COM3 = /dev/ttyUSB2: Error 8010, порт занят другой программой: "
                                                    "Device or resource busy."
                                                 << "Закройте программу, которая держит порт";
        QTest::newRow("no permission") << 8010 << false << "Permission denied"
                                       << "COM3 = /dev/ttyUSB2: Error 8010, нет прав на доступ к порту: Permission denied."
                                       << "Добавьте пользователя в группу dialout";
        QTest::newRow("settings rejected: system words only") << 8015 << true << "Invalid argument"
                                                              << "COM3 = /dev/ttyUSB2: Error 8015, Invalid argument."
                                                              << "";
    }
    void problemWords()
    {
        QFETCH(int, error);
        QFETCH(bool, accessible);
        QFETCH(QString, system);
        QFETCH(QString, text);
        QFETCH(QString, adviceStart);
        const PortProblem::Kind kind = PortProblem::kindOf(error, accessible);
        QCOMPARE(PortProblem::describe(3, QStringLiteral("/dev/ttyUSB2"), error, PortProblem::textFor(kind, system)), text);
        const QString advice = PortProblem::advice(3, kind, QStringLiteral("/home/u/.local/share/tarviks/Service/ports"));
        if (adviceStart.isEmpty())
            QVERIFY(advice.isEmpty());
        else
            QVERIFY2(advice.startsWith(adviceStart), qPrintable(advice));
        // Only a permission error sends the user to the dialout group.
        QCOMPARE(advice.contains(QStringLiteral("dialout")), error == 8010 && !accessible);
        // A missing device names the entry to link for its number.
        QCOMPARE(advice.contains(QStringLiteral("/home/u/.local/share/tarviks/Service/ports/COM3")), error == 8002);
    }

    // Qt's errors become the classic numbers; the rest lie above them and never take a fixed one.
    void classicErrorNumbers_data()
    {
        QTest::addColumn<int>("qtError");
        QTest::addColumn<int>("number");
        QTest::newRow("none") << int(QSerialPort::NoError) << 0;
        QTest::newRow("device not found") << int(QSerialPort::DeviceNotFoundError) << 8002;
        QTest::newRow("permission") << int(QSerialPort::PermissionError) << 8010;
        QTest::newRow("open") << int(QSerialPort::OpenError) << 8005;
        QTest::newRow("not open") << int(QSerialPort::NotOpenError) << 8018;
        QTest::newRow("read") << int(QSerialPort::ReadError) << 8020;
        QTest::newRow("resource") << int(QSerialPort::ResourceError) << 8020;
        for (const auto error : {QSerialPort::WriteError, QSerialPort::UnsupportedOperationError,
                                 QSerialPort::UnknownError, QSerialPort::TimeoutError}) {
            QTest::newRow(QMetaEnum::fromType<QSerialPort::SerialPortError>().valueToKey(error))
                << int(error) << 8100 + int(error);
        }
    }
    void classicErrorNumbers()
    {
        QFETCH(int, qtError);
        QFETCH(int, number);
        QCOMPARE(QtSerialPort::classicError(QSerialPort::SerialPortError(qtError)), number);
    }

    // A device path given by hand: the linked number when one reaches it, else a number for this run.
    void opensADevicePathGivenByHand()
    {
        PortNumbering numbering(m_dir.path());
        QCOMPARE(numbering.numberFor(m_slaveName), 7);
        int master = -1, slave = -1;
        char name[256];
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        const int number = numbering.numberFor(QString::fromLocal8Bit(name));
        QCOMPARE(number, 1);
        QtSerialPort port(m_dir.path(), &numbering);
        QVERIFY2(port.open(number, 9600, 0), qPrintable(port.lastErrorText()));
        QVERIFY(port.write("#4000"));
        pollfd p{master, POLLIN, 0};
        QCOMPARE(::poll(&p, 1, 5000), 1);
        char got[8] = {};
        QCOMPARE(::read(master, got, sizeof got), ssize_t(5));
        QCOMPARE(QByteArray(got), QByteArray("#4000"));
        port.close();
        ::close(master);
        ::close(slave);
    }

    void operationsNeedAnOpenPort()
    {
        QtSerialPort port(m_dir.path());
        QVERIFY(!port.write("#4000"));
        QCOMPARE(port.lastError(), 8018);
        QVERIFY(port.readAll().isEmpty());
        QCOMPARE(port.lastError(), 8018);
        QVERIFY(port.open(7, 9600, 0));
        QVERIFY(!port.open(7, 9600, 0));
        QCOMPARE(port.lastError(), 8005);
        QVERIFY(port.isOpen());
    }

    void portHeldByAnotherIsNotAvailable()
    {
        QtSerialPort first(m_dir.path());
        QtSerialPort second(m_dir.path());
        QVERIFY(first.open(7, 9600, 0));
        QVERIFY(!second.open(7, 9600, 0));
        QCOMPARE(second.lastError(), 8010);
        QVERIFY(!second.lastErrorText().isEmpty());
        first.close();
        QVERIFY(second.open(7, 9600, 0));
    }

    void rejectedSettings()
    {
        QtSerialPort port(m_dir.path());
        QVERIFY(!port.open(7, 0, 0));
        QCOMPARE(port.lastError(), 8015);
        QVERIFY(!port.isOpen());
    }

    void vanishedOtherEndIsAReadError()
    {
        QtSerialPort port(m_dir.path());
        QVERIFY(port.open(7, 9600, 0));
        ::close(m_master);
        m_master = -1;
        QVERIFY(waitReadable(m_slave));   // the hang-up is there to be read
        QVERIFY(port.readAll().isEmpty());
        QCOMPARE(port.lastError(), 8020);
        QVERIFY(!port.lastErrorText().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
