#include <QtTest>
#include <QPushButton>
#include "E2eProgram.h"
#include "SimProcess.h"
#include "firmware/FirmwareFile.h"
#include "link/StatusModel.h"
#include "shell/MainWindow.h"
#include "shell/Page.h"

// The firmware page of the real program (real serial port, real timers) against zorgel-sim on a
// pseudo-terminal, the simulated unit pacing its line at the speed the program chose.
class TestE2eFirmware : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 120000;

    struct Program : E2e::Program {
        using E2e::Program::Program;
        QPushButton *button(const QString &name)
        {
            app.window().showPage(QStringLiteral("m04"));
            return app.page(QStringLiteral("RPF_04"))->findChild<QPushButton *>(name);
        }
    };

    // Port 1 at the given speed, configuration read on detection, no Check3 and Check4 lines.
    static void writeSettings(const QString &folder, const QString &speed)
    {
        E2e::writeSettings(folder, {{QStringLiteral("1")}, {speed}, true, false});
    }

    static QString firmwareFile(const QString &folder) { return folder + QStringLiteral("/Service/zorgel-firmware.bin"); }

    // Found, configuration read, firmware buttons offered.
    static void waitForUnit(Program &program)
    {
        QTRY_COMPARE_WITH_TIMEOUT(program.app.status().operation(), QStringLiteral("Прочитано успешно!"), kTimeoutMs);
        QPushButton *copy = program.button(QStringLiteral("Command3"));
        QVERIFY(copy);
        QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), kTimeoutMs);
    }

private slots:
    void readIntoFile_data()
    {
        QTest::addColumn<QString>("speed");
        QTest::newRow("115200 baud") << QStringLiteral("115200");
        QTest::newRow("38400 baud") << QStringLiteral("38400");
    }
    void readIntoFile()
    {
        QFETCH(QString, speed);
        QTemporaryDir folder;
        writeSettings(folder.path(), speed);
        SimProcess sim;
        QVERIFY2(sim.start(folder.path()), qPrintable(sim.errorText()));
        const QByteArray unitFirmware = E2e::fileBytes(firmwareFile(folder.path()));
        QCOMPARE(unitFirmware.size(), FirmwareFile::kFirmwareSize);

        Program program(folder.path());
        waitForUnit(program);
        if (QTest::currentTestFailed())
            return;
        const QString path = folder.filePath(QStringLiteral("backup.fw"));
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));   // an older file of that name
        program.dialogs.answers << path;
        program.button(QStringLiteral("Command3"))->click();
        QCOMPARE(program.dialogs.requests.value(0).defaultName, QStringLiteral("20261207090503"));
        QTRY_COMPARE_WITH_TIMEOUT(program.app.status().operation(), QStringLiteral("Сохранено успешно!"), kTimeoutMs);
        QCOMPARE(E2e::fileBytes(path), FirmwareFile::format(unitFirmware));
        QVERIFY2(program.messages.texts.isEmpty(), qPrintable(program.messages.texts.join(QLatin1Char('|'))));
    }

    void writeFromFile_data()
    {
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<bool>("success");
        QTest::newRow("every OK split in two") << QStringList{QStringLiteral("--split-ok"), QStringLiteral("3")} << true;
        QTest::newRow("last OK withheld") << QStringList{QStringLiteral("--withhold-last-ok")} << false;
    }
    void writeFromFile()
    {
        QFETCH(QStringList, simArguments);
        QFETCH(bool, success);
        QTemporaryDir folder;
        writeSettings(folder.path(), QStringLiteral("115200"));
        SimProcess sim;
        QVERIFY2(sim.start(folder.path(), simArguments), qPrintable(sim.errorText()));
        const QByteArray before = E2e::fileBytes(firmwareFile(folder.path()));

        QByteArray firmware(FirmwareFile::kFirmwareSize, '\0');
        for (int i = 0; i < firmware.size(); ++i)
            firmware[i] = char(~before.at(i) ^ (i / 64));
        const QString path = folder.filePath(QStringLiteral("new.fw"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(FirmwareFile::format(firmware));
        file.close();

        Program program(folder.path());
        waitForUnit(program);
        if (QTest::currentTestFailed())
            return;
        program.dialogs.answers << path;
        program.button(QStringLiteral("Command4"))->click();
        const QString done = success ? QStringLiteral("Записано успешно!") : QStringLiteral("Ошибка при записи!");
        QTRY_COMPARE_WITH_TIMEOUT(program.app.status().operation(), done, kTimeoutMs);
        // Why it ended comes first: a write that failed for another reason never fills the unit.
        const QString said = program.messages.texts.join(QLatin1Char('|'));
        if (success)
            QVERIFY2(program.messages.texts.isEmpty(), qPrintable(said));
        else
            QVERIFY2(said.startsWith(QStringLiteral("Ошибка загрузки! Устройство не подтвердило")), qPrintable(said));
        // The unit took the file byte for byte, and nothing ever ran ahead of its "OK".
        QTRY_COMPARE_WITH_TIMEOUT(E2e::fileBytes(firmwareFile(folder.path())), firmware, kTimeoutMs);
        sim.process().waitForReadyRead(100);
        const QByteArray simOutput = sim.process().readAllStandardOutput();
        QVERIFY2(!simOutput.contains("protocol violation"), simOutput.constData());
        // Usable afterwards: the buttons are offered again.
        QTRY_VERIFY_WITH_TIMEOUT(program.button(QStringLiteral("Command4"))->isEnabled(), kTimeoutMs);
    }
};

QTEST_MAIN(TestE2eFirmware)
#include "tst_e2e_firmware.moc"
