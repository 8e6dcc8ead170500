#include <QtTest>
#include "TestSeams.h"
#include "cli/InterruptWatch.h"
#include "cli/Output.h"
#include "cli/Runner.h"
#include "unit/ExitCode.h"
#include "unit/SafeFileName.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "link/Cp1251.h"
#include <csignal>

Q_DECLARE_METATYPE(Output::Row)

// The rules of tarviks-cli --all that need no unit: file names, the ports searched, the exit status.
class TestCliRunner : public QObject {
    Q_OBJECT

private slots:
    // Two names never share a file: what a file name cannot hold is escaped, and the name comes back.
    void unitFileName_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << 3 << "ZORGEL-GSM8" << "COM3 ZORGEL-GSM8.cf";
        QTest::newRow("trailing blanks of the 16 characters") << 12 << "ZG 8T           " << "COM12 ZG 8T.cf";
        QTest::newRow("what Windows refuses") << 2 << "a<b>c:d\"e|f?g*h/i\\j" << "COM2 a%3Cb%3Ec%3Ad%22e%7Cf%3Fg%2Ah%2Fi%5Cj.cf";
        QTest::newRow("control bytes") << 4 << QStringLiteral("x\ty\x1Bz") << "COM4 x%09y%1Bz.cf";
        QTest::newRow("Cyrillic kept") << 5 << "Склад №2" << "COM5 Склад №2.cf";
        QTest::newRow("A_1 stays, apart from A:1") << 1 << "A_1" << "COM1 A_1.cf";
        QTest::newRow("the escape itself") << 1 << "A%3A1" << "COM1 A%253A1.cf";
        QTest::newRow("trailing dots") << 6 << "X.." << "COM6 X%2E%2E.cf";
        QTest::newRow(".") << 6 << "." << "COM6 %2E.cf";
        QTest::newRow("leading blank") << 6 << " X" << "COM6 %20X.cf";
        QTest::newRow("nothing") << 7 << "" << "COM7 %.cf";
        QTest::newRow("CON") << 8 << "CON" << "COM8 %43ON.cf";
        QTest::newRow("nul.x") << 8 << "nul.x" << "COM8 %6Eul.x.cf";
        QTest::newRow("COM1") << 8 << "COM1" << "COM8 %43OM1.cf";
        QTest::newRow("CONSOLE is no device") << 8 << "CONSOLE" << "COM8 CONSOLE.cf";
    }
    void unitFileName()
    {
        QFETCH(int, port);
        QFETCH(QString, name);
        QFETCH(QString, file);
        QCOMPARE(Runner::unitFileName(port, name, QStringLiteral(".cf")), file);
        QCOMPARE(SafeFileName::nameOf(SafeFileName::of(name)), name.remove(QRegularExpression(" +$")));
    }

    // Units without a unit on their port do not count while any unit answered.
    void exitStatus_data()
    {
        QTest::addColumn<QList<int>>("codes");     // one per port
        QTest::addColumn<QStringList>("units");    // "" where no unit answered
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("named");           // every port was named with --port
        using namespace ExitCode;
        QTest::newRow("all written") << QList<int>{Success, Success} << QStringList{"A", "B"} << Success << false;
        QTest::newRow("one failed mid-write") << QList<int>{Success, TransferFailed, Success}
                                              << QStringList{"A", "B", "C"} << TransferFailed << false;
        QTest::newRow("empty port ignored") << QList<int>{Success, NoUnit} << QStringList{"A", ""} << Success << false;
        QTest::newRow("no unit anywhere") << QList<int>{NoUnit, NoUnit} << QStringList{"", ""} << NoUnit << false;
        QTest::newRow("worst of several") << QList<int>{VerifyMismatch, TransferFailed, BadFile}
                                          << QStringList{"A", "B", "C"} << VerifyMismatch << false;
        QTest::newRow("interrupted is worst") << QList<int>{Interrupted, VerifyMismatch} << QStringList{"A", "B"}
                                              << Interrupted << false;
        QTest::newRow("interrupted while searching") << QList<int>{Interrupted, NoUnit} << QStringList{"", ""}
                                                     << Interrupted << false;
        QTest::newRow("a named port without a unit") << QList<int>{Success, NoUnit, Success}
                                                     << QStringList{"A", "", "C"} << NoUnit << true;
        QTest::newRow("a named port without a unit, a worse failure elsewhere")
            << QList<int>{VerifyMismatch, NoUnit} << QStringList{"A", ""} << VerifyMismatch << true;
    }
    void exitStatus()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QStringList, units);
        QFETCH(int, status);
        QFETCH(bool, named);
        QList<Output::Row> rows;
        for (int i = 0; i < codes.size(); ++i)
            rows << Output::Row{i + 1,     units.at(i), codes.at(i), Output::resultText(codes.at(i)), 1.0,
                                QString(), QString(),  PortProblem::Kind::None, named};
        QCOMPARE(Runner::exitStatus(rows), status);
        // The table has a heading and a line per port, whatever happened there.
        QCOMPARE(Output::table(rows).count(QLatin1Char('\n')), codes.size() + 1);
    }

    // A unit's name holding ESC, BEL and a line end, wherever a line names it: visible escapes only,
    // and no line built around the name broken (lines: how many the text has; -1 a message's own).
    void namesAreShownNeverObeyed_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("lines");
        QTest::newRow("progress line") << "progress line" << 0;
        QTest::newRow("--all table") << "--all table" << 2;
        QTest::newRow("details") << "details" << 1;
        QTest::newRow("progress caption") << "progress caption" << 1;
        QTest::newRow("message") << "message" << -1;
        QTest::newRow("find text") << "find text" << -1;
    }
    void namesAreShownNeverObeyed()
    {
        QFETCH(QString, where);
        QFETCH(int, lines);
        const QString name = QStringLiteral("=Склад\x1B]0;x\x07\n2");
        QString written;
        const auto capture = [&written](const QString &text) { written += text; };
        Output output(false, false, capture, capture);
        ProgressReporter progress(false, false, capture);
        const Output::Row row{1, name, ExitCode::TransferFailed, "ошибка передачи", 1.5, "Ошибка передачи!", {}, {}};
        if (where == "progress line")
            written = Output::progressLine(Output::UnitState{1, name, "Запись", std::nullopt, false, {}});
        else if (where == "--all table")
            written = Output::table({row});
        else if (where == "details")
            written = Output::details({row}, false);
        else if (where == "message")
            output.fail("COM1: " + name);
        else if (where == "find text")
            output.out("  Имя устройства: " + name + '\n');
        else {
            progress.begin(name);
            progress.update(10, 100);
        }
        QVERIFY2(written.contains("Склад\\x1B]0;x\\x07"), qPrintable(written));
        QVERIFY(!written.contains(QChar(0x1B)) && !written.contains(QChar(0x07)));
        if (lines >= 0)
            QCOMPARE(written.count('\n'), lines);
    }

    // A closed terminal or a reader gone ("| head") end a run as Ctrl+C and SIGTERM do: noted, the
    // process still running to finish its records; SIGPIPE comes with every write to the pipe.
    void signalsEndingARunAreNoted()
    {
        const InterruptWatch watch;
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
            InterruptWatch::reset();
            std::raise(signal);
            QVERIFY(InterruptWatch::interrupted());
        }
        std::raise(SIGPIPE);   // and again: the run goes on to its end
    }

    // What follows the table: each failed unit's reason under its port and name; a port without a unit
    // is a note while others answered, and with no unit anywhere the report of a single command.
    void details_data()
    {
        QTest::addColumn<QList<Output::Row>>("rows");
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<QString>("text");
        using namespace ExitCode;
        using Kind = PortProblem::Kind;
        const QString missing = QStringLiteral("COM1 = /dev/ttyUSB0: Error 8002, нет устройства: No such file or directory.");
        const QString silent = QStringLiteral("COM2 = /dev/pts/3: нет ответа на запрос опознания.");
        const QString busy = QStringLiteral("COM3 = /dev/ttyUSB2: Error 8010, порт занят другой программой.");
        const QString plugIn = QStringLiteral("Подключите адаптер.");
        const QString closeIt = QStringLiteral("Закройте программу, которая держит порт.");
        const Output::Row none1{1, QString(), NoUnit, QString(), 0.1, missing, plugIn, Kind::NoDevice};
        const Output::Row none2{2, QString(), NoUnit, QString(), 0.4, silent, QString(), Kind::None};
        const Output::Row none3{3, QString(), NoUnit, QString(), 0.1, busy, closeIt, Kind::Busy};
        const Output::Row none4{4, QString(), NoUnit, QString(), 0.1,
                                  QStringLiteral("COM4 = /dev/ttyUSB3: Error 8002, нет устройства."),
                                  QStringLiteral("Подключите адаптер 4."), Kind::NoDevice};
        const Output::Row written{5, QStringLiteral("Склад"), Success, QString(), 3.0, QString(), QString(), Kind::None};
        const Output::Row stalled{
            6, QStringLiteral("Цех"), TransferFailed, QString(), 3.0,
            QStringLiteral("Ошибка при записи! Устройство перестало подтверждать блоки: подтверждено 5 из 6 переданных "
                           "(всего 37 блоков)."),
            QString(), Kind::None};
        QTest::newRow("no unit anywhere: ports, problems, advice once per kind")
            << QList<Output::Row>{none1, none2, none3, none4} << false
            << QStringLiteral("Устройство не обнаружено! Проверены порты: 1, 2, 3, 4.\n") + missing + "\n" + silent
                   + "\n" + busy + "\nCOM4 = /dev/ttyUSB3: Error 8002, нет устройства.\nПодключите адаптер.\n"
                   + closeIt + "\n";
        QTest::newRow("no unit anywhere, quiet: still told")
            << QList<Output::Row>{none2} << true
            << QStringLiteral("Устройство не обнаружено! Проверены порты: 2.\nCOM2 = /dev/pts/3: нет ответа на запрос "
                              "опознания.\n");
        QTest::newRow("units elsewhere: the empty port is a note")
            << QList<Output::Row>{written, none2} << false << silent + "\n";
        QTest::newRow("units elsewhere, quiet: no note") << QList<Output::Row>{written, none2} << true << QString();
        QTest::newRow("a failed unit under its port and name")
            << QList<Output::Row>{stalled, none3} << true
            << QStringLiteral("COM6 Цех: Ошибка при записи! Устройство перестало подтверждать блоки: подтверждено 5 "
                              "из 6 переданных (всего 37 блоков).\n");
        QTest::newRow("Ctrl+C while searching")
            << QList<Output::Row>{Output::Row{7, QString(), Interrupted, QString(), 0.2,
                                                  QStringLiteral("Прервано: поиск устройства остановлен, обмена с "
                                                                 "устройством не было."),
                                                  QString(), Kind::None}}
            << false << QStringLiteral("COM7: Прервано: поиск устройства остановлен, обмена с устройством не было.\n");
        QTest::newRow("all succeeded: nothing") << QList<Output::Row>{written} << false << QString();
        Output::Row warned = written;
        warned.warnings = {QStringLiteral("Внимание: IMEI в файле (356938035643817) не совпадает с IMEI устройства "
                                          "(356938035643809): файл снят с другого устройства, и после записи "
                                          "устройство будет сообщать IMEI из файла.")};
        QTest::newRow("a unit's warning, quiet: still told under its port and name")
            << QList<Output::Row>{warned} << true
            << QStringLiteral("COM5 Склад: Внимание: IMEI в файле (356938035643817) не совпадает с IMEI устройства "
                              "(356938035643809): файл снят с другого устройства, и после записи устройство будет "
                              "сообщать IMEI из файла.\n");
    }
    void details()
    {
        QFETCH(QList<Output::Row>, rows);
        QFETCH(bool, quiet);
        QFETCH(QString, text);
        QCOMPARE(Output::details(rows, quiet), text);
    }

    void portsToSearch_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<int>>("given");
        QTest::addColumn<QList<int>>("ports");
        const QStringList listed{QStringLiteral("Доступный номер порта:3"), QStringLiteral("Доступный номер порта:1"),
                                 QStringLiteral("Доступный номер порта:3"), QStringLiteral("Акт индекс номера порта:7")};
        QTest::newRow("listed, each once") << listed << QList<int>{} << QList<int>{3, 1};
        QTest::newRow("given replace the list") << listed << QList<int>{5, 6} << QList<int>{5, 6};
        QTest::newRow("no list: the active port")
            << QStringList{QStringLiteral("Акт индекс номера порта:7")} << QList<int>{} << QList<int>{7};
    }
    void portsToSearch()
    {
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, given);
        QFETCH(QList<int>, ports);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("TX.cfg")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
        file.close();
        RecordingMessageSink messages;
        ProgramOptions options;
        ProgramSettings settings(file.fileName(), options, messages);
        settings.TXconfigLoadParam();
        CliOptions cli;
        cli.all = true;
        cli.ports = given;
        QCOMPARE(Runner::portsToSearch(cli, settings), ports);
    }
};

QTEST_GUILESS_MAIN(TestCliRunner)
#include "tst_runner.moc"
