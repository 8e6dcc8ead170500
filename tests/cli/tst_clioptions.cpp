#include <QtTest>
#include "cli/CliOptions.h"

// Argument handling of tarviks-cli: what each command line parses to, or why it is refused.
class TestCliOptions : public QObject {
    Q_OBJECT

    using C = CliOptions::Command;
    using O = CliOptions::Outcome;

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("port");     // 0: not given
        QTest::addColumn<int>("speed");    // 0: not given
        QTest::addColumn<QString>("flags");   // letters: v verify, j json, c csv, q quiet
        QTest::addColumn<double>("period");
        QTest::addColumn<int>("count");    // 0: not given
        QTest::addColumn<QString>("text");  // part of what is printed on Help/Version/Error

        const auto run = [](const char *tag, const char *line, C command, const char *file = "", int port = 0,
                            int speed = 0, const char *flags = "", double period = 1.0, int count = 0) {
            QTest::newRow(tag) << QString::fromUtf8(line) << int(O::Run) << int(command) << QString::fromUtf8(file)
                               << port << speed << QString::fromLatin1(flags) << period << count << QString();
        };
        const auto other = [](const char *tag, const char *line, O outcome, const char *text) {
            QTest::newRow(tag) << QString::fromUtf8(line) << int(outcome) << int(C::None) << QString() << 0 << 0
                               << QString() << 1.0 << 0 << QString::fromUtf8(text);
        };

        run("find", "find", C::Find);
        run("find port json", "find --port 3 --json", C::Find, "", 3, 0, "j");
        run("find port=", "find --port=12", C::Find, "", 12);
        run("port named as the messages name it", "find --port COM3", C::Find, "", 3);
        run("read-config", "read-config a.cf", C::ReadConfig, "a.cf");
        run("options before command", "--port 2 --speed 19200 read-config a.cf", C::ReadConfig, "a.cf", 2, 19200);
        run("write-config verify quiet", "write-config b.cf --verify -q", C::WriteConfig, "b.cf", 0, 0, "vq");
        run("read-firmware", "read-firmware x.fw --port 1", C::ReadFirmware, "x.fw", 1);
        run("write-firmware verify", "write-firmware x.fw --verify", C::WriteFirmware, "x.fw", 0, 0, "v");
        run("monitor defaults", "monitor", C::Monitor);
        run("monitor all", "monitor --period 0,5 --count 3 --csv", C::Monitor, "", 0, 0, "c", 0.5, 3);
        run("monitor period dot", "monitor --period 5", C::Monitor, "", 0, 0, "", 5.0);
        run("largest port", "find --port 32767", C::Find, "", 32767);
        run("ports", "ports", C::Ports);
        run("ports json", "ports --json", C::Ports, "", 0, 0, "j");
        run("report of a unit", "report out.pdf --port 2", C::Report, "out.pdf", 2);
        run("report of a file", "report out.PDF a.cf", C::Report, "out.PDF");
        run("bench watches several ports", "bench t.cf --port 1 --port 2 --count 3", C::Bench, "t.cf", 2, 0, "", 1.0, 3);

        other("help", "--help", O::Help, "write-config FILE.cf");
        other("help wins over command", "read-config --help", O::Help, "Коды завершения");
        other("version", "--version", O::Version, "tarviks-cli 0.1");
        other("no command", "", O::Error, "Не задана команда.");
        other("unknown command", "erase", O::Error, "Неизвестная команда: erase");
        other("missing file", "read-config", O::Error, "read-config: не задан файл.");
        other("extra argument", "find extra", O::Error, "Лишний аргумент: extra");
        other("extra after file", "write-config a.cf b.cf", O::Error, "Лишний аргумент: b.cf");
        other("unknown option", "find --colour", O::Error, "colour");
        other("verify on read", "read-config a.cf --verify", O::Error, "--verify не применяется к команде read-config");
        other("json on monitor", "monitor --json", O::Error, "--json не применяется к команде monitor");
        other("csv on find", "find --csv", O::Error, "--csv не применяется к команде find");
        other("count on find", "find --count 2", O::Error, "--count не применяется");
        other("port zero", "find --port 0", O::Error, "--port: нужен номер порта от 1 до 32767.");
        other("all on monitor", "monitor --all", O::Error, "--all не применяется к команде monitor");
        other("several ports without all", "find --port 1 --port 2", O::Error, "несколько портов сразу только с --all");
        other("port too big", "find --port 32768", O::Error, "--port: нужен номер");
        other("port text", "find --port COMX", O::Error, "--port: нужен номер");
        other("port without value", "find --port", O::Error, "port");
        other("port file on ports", "ports x.cf", O::Error, "Лишний аргумент: x.cf");
        other("speed zero", "find --speed 0", O::Error, "--speed: нужна скорость больше нуля.");
        other("speed text", "find --speed fast", O::Error, "--speed");
        other("period too short", "monitor --period 0.4", O::Error, "--period: нужен период от 0,5 до 5 секунд.");
        other("period too long", "monitor --period 6", O::Error, "--period");
        other("count zero", "monitor --count 0", O::Error, "--count: нужно число кадров от 1.");
        // A .cf named first would be replaced by a PDF.
        other("report into a .cf", "report a.cf", O::Error, "report: отчёт пишется в файл .pdf");
        other("report of a file and a unit", "report out.pdf a.cf --port 1", O::Error, "либо по файлу, либо по устройству");
        other("report of two files", "report out.pdf a.cf b.cf", O::Error, "Лишний аргумент: b.cf");
        other("fields on write-config", "write-config a.cf --fields u.csv", O::Error,
              "--fields не применяется к команде write-config");
        other("bench without template", "bench --fields u.csv", O::Error, "bench: не задан файл.");
    }

    // --port: a number, or a device path that the session numbers.
    void portTakesADevicePath_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("number") << "7" << 7 << "";
        QTest::newRow("device path") << "/dev/ttyACM0" << 0 << "/dev/ttyACM0";
        QTest::newRow("stable name") << "/dev/serial/by-id/usb-Maker_X-if00-port0" << 0
                                     << "/dev/serial/by-id/usb-Maker_X-if00-port0";
        QTest::newRow("relative path") << "./tty1" << 0 << "./tty1";
    }
    void portTakesADevicePath()
    {
        QFETCH(QString, value);
        QFETCH(int, port);
        QFETCH(QString, device);
        CliOptions options;
        QString printed;
        QCOMPARE(CliOptions::parse({QStringLiteral("tarviks-cli"), QStringLiteral("find"), QStringLiteral("--port"), value},
                                   options, &printed),
                 CliOptions::Outcome::Run);
        QCOMPARE(options.port.value_or(0), port);
        QCOMPARE(options.portDevice, device);
    }

    void parse()
    {
        QFETCH(QString, line);
        QFETCH(int, outcome);
        QFETCH(int, command);
        QFETCH(QString, file);
        QFETCH(int, port);
        QFETCH(int, speed);
        QFETCH(QString, flags);
        QFETCH(double, period);
        QFETCH(int, count);
        QFETCH(QString, text);

        QStringList arguments{QStringLiteral("tarviks-cli")};
        arguments += line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        CliOptions options;
        QString printed;
        QCOMPARE(int(CliOptions::parse(arguments, options, &printed)), outcome);
        if (outcome != int(O::Run)) {
            QVERIFY2(printed.contains(text), qPrintable(printed));
            if (outcome == int(O::Error))
                QVERIFY(printed.endsWith(QStringLiteral("tarviks-cli --help")));
            return;
        }
        QCOMPARE(int(options.command), command);
        QCOMPARE(options.file, file);
        QCOMPARE(options.port.value_or(0), port);
        QCOMPARE(options.speed.value_or(0), speed);
        QCOMPARE(options.verify, flags.contains(QLatin1Char('v')));
        QCOMPARE(options.json, flags.contains(QLatin1Char('j')));
        QCOMPARE(options.csv, flags.contains(QLatin1Char('c')));
        QCOMPARE(options.quiet, flags.contains(QLatin1Char('q')));
        QCOMPARE(options.period, period);
        QCOMPARE(options.count.value_or(0), count);
    }

    // --all: each --port once, in order, for every command that serves several units.
    void allTakesSeveralPorts_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<int>>("ports");
        QTest::newRow("find") << "find --all" << int(C::Find) << "" << QList<int>{};
        QTest::newRow("read into a folder") << "read-config --all units --port 3 --port 1 --port 3"
                                            << int(C::ReadConfig) << "units" << QList<int>{3, 1};
        QTest::newRow("write with verify") << "write-config a.cf --all --verify --port 2" << int(C::WriteConfig)
                                           << "a.cf" << QList<int>{2};
        QTest::newRow("firmware") << "write-firmware x.fw --all" << int(C::WriteFirmware) << "x.fw" << QList<int>{};
        QTest::newRow("firmware read") << "read-firmware --all dir" << int(C::ReadFirmware) << "dir" << QList<int>{};
    }
    void allTakesSeveralPorts()
    {
        QFETCH(QString, line);
        QFETCH(int, command);
        QFETCH(QString, file);
        QFETCH(QList<int>, ports);
        CliOptions options;
        QString text;
        const QStringList arguments = QStringList{QStringLiteral("tarviks-cli")} + line.split(QLatin1Char(' '));
        QCOMPARE(int(CliOptions::parse(arguments, options, &text)), int(O::Run));
        QVERIFY(options.all);
        QCOMPARE(int(options.command), command);
        QCOMPARE(options.file, file);
        QCOMPARE(options.ports, ports);
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_clioptions.moc"
