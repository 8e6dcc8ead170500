#include <QtTest>
#include "TestSeams.h"
#include "cli/BatchRun.h"
#include "cli/ExitCode.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "link/Cp1251.h"

// The rules of tarviks-cli --all that need no unit: file names, the ports searched, the exit status.
class TestBatchRun : public QObject {
    Q_OBJECT

private slots:
    void unitFileName_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << 3 << "ZORGEL-GSM8" << "COM3 ZORGEL-GSM8.cf";
        QTest::newRow("trailing blanks of the 16 characters") << 12 << "ZG 8T           " << "COM12 ZG 8T.cf";
        QTest::newRow("slash and backslash") << 1 << "A/B\\C" << "COM1 A_B_C.cf";
        QTest::newRow("what Windows refuses") << 2 << "a<b>c:d\"e|f?g*h" << "COM2 a_b_c_d_e_f_g_h.cf";
        QTest::newRow("control bytes") << 4 << QStringLiteral("x\ty\x01z") << "COM4 x_y_z.cf";
        QTest::newRow("Cyrillic kept") << 5 << "Склад №2" << "COM5 Склад №2.cf";
        QTest::newRow("trailing dots dropped") << 6 << "name.." << "COM6 name.cf";
        QTest::newRow("nothing left") << 7 << "   " << "COM7 _.cf";
    }
    void unitFileName()
    {
        QFETCH(int, port);
        QFETCH(QString, name);
        QFETCH(QString, file);
        QCOMPARE(BatchRun::unitFileName(port, name, QStringLiteral(".cf")), file);
    }

    // Units without a unit on their port do not count while any unit answered.
    void exitStatus_data()
    {
        QTest::addColumn<QList<int>>("codes");     // one per port
        QTest::addColumn<QStringList>("units");    // "" where no unit answered
        QTest::addColumn<int>("status");
        using namespace ExitCode;
        QTest::newRow("all written") << QList<int>{Success, Success} << QStringList{"A", "B"} << Success;
        QTest::newRow("one failed mid-write") << QList<int>{Success, TransferFailed, Success}
                                              << QStringList{"A", "B", "C"} << TransferFailed;
        QTest::newRow("empty port ignored") << QList<int>{Success, NoUnit} << QStringList{"A", ""} << Success;
        QTest::newRow("no unit anywhere") << QList<int>{NoUnit, NoUnit} << QStringList{"", ""} << NoUnit;
        QTest::newRow("worst of several") << QList<int>{VerifyMismatch, TransferFailed, BadFile}
                                          << QStringList{"A", "B", "C"} << VerifyMismatch;
        QTest::newRow("interrupted is worst") << QList<int>{Interrupted, VerifyMismatch} << QStringList{"A", "B"}
                                              << Interrupted;
        QTest::newRow("interrupted while searching") << QList<int>{Interrupted, NoUnit} << QStringList{"", ""}
                                                     << Interrupted;
    }
    void exitStatus()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QStringList, units);
        QFETCH(int, status);
        QList<BatchRun::Row> rows;
        for (int i = 0; i < codes.size(); ++i)
            rows << BatchRun::Row{i + 1, units.at(i), codes.at(i), BatchRun::resultText(codes.at(i)), 1.0, QString()};
        QCOMPARE(BatchRun::exitStatus(rows), status);
        // The table has a heading and a line per port, whatever happened there.
        QCOMPARE(BatchRun::table(rows).count(QLatin1Char('\n')), codes.size() + 1);
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
        QCOMPARE(BatchRun::portsToSearch(cli, settings), ports);
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
