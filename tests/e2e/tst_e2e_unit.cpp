#include <QtTest>
#include <QLabel>
#include <QPushButton>
#include "E2eProgram.h"
#include "SimProcess.h"
#include "config/ConfigExchange.h"
#include "config/ConfigImage.h"
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/MainWindow.h"
#include "shell/Page.h"

// The real program (real serial port, real timers) against zorgel-sim on a pseudo-terminal.
// Waits are on events with generous upper bounds.
class TestE2eUnit : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 90000;   // generous: a busy machine slows the programs, not the checks

    using Program = E2e::Program;

    static void writeSettings(const QString &folder, const QStringList &ports, bool readOnDetection)
    {
        E2e::writeSettings(folder, {ports, {QStringLiteral("9600"), QStringLiteral("19200")}, readOnDetection});
    }

    static QString settingsText(const QString &folder)
    {
        QFile file(folder + QStringLiteral("/Service/TX.cfg"));
        return file.open(QIODevice::ReadOnly) ? Cp1251::decode(file.readAll()) : QString();
    }

    static QByteArray imageBytes(const ConfigImage &image, int last)
    {
        QByteArray out;
        for (int i = 1; i <= last; ++i)
            out += char(image.byteAt(i));
        return out;
    }

private slots:
    void automaticSearchFindsUnitOnSecondListedPort()
    {
        QTemporaryDir folder;
        writeSettings(folder.path(), {QStringLiteral("1"), QStringLiteral("2")}, false);
        SimProcess sim;
        QVERIFY2(sim.start(folder.path(), {QStringLiteral("--port"), QStringLiteral("2")}), qPrintable(sim.errorText()));

        Program program(folder.path());
        TarviksApp &app = program.app;
        const QStringList &messages = program.messages.texts;

        QTRY_COMPARE_WITH_TIMEOUT(app.status().operation(), QStringLiteral("Устройство обнаружено!"), kTimeoutMs);
        QCOMPARE(app.status().connection(), QStringLiteral("Активно"));
        QCOMPARE(app.link().UsbComPortNumber, 2);
        QCOMPARE(app.link().UstroistvoNameClear.size(), 16);
        QTRY_VERIFY_WITH_TIMEOUT(settingsText(folder.path()).contains(QStringLiteral("Акт индекс номера порта:2\r\n")),
                                 kTimeoutMs);
        QVERIFY(messages.isEmpty());
    }

    void readOnDetectionThenWriteBack()
    {
        QTemporaryDir folder;
        writeSettings(folder.path(), {QStringLiteral("3")}, true);
        SimProcess sim;
        QVERIFY2(sim.start(folder.path(), {QStringLiteral("--port"), QStringLiteral("3")}), qPrintable(sim.errorText()));
        const QString memoryFile = folder.path() + QStringLiteral("/Service/zorgel-config.bin");
        const QByteArray unitMemory = E2e::fileBytes(memoryFile);
        QCOMPARE(unitMemory.size(), ConfigImage::kImageSize);

        Program program(folder.path());
        TarviksApp &app = program.app;
        const QStringList &messages = program.messages.texts;

        QTRY_COMPARE_WITH_TIMEOUT(app.status().operation(), QStringLiteral("Прочитано успешно!"), kTimeoutMs);
        QVERIFY(app.configExchange().ConfiguraciaProchitana);
        QCOMPARE(imageBytes(app.image(), ConfigImage::kImageSize), unitMemory);

        // The device information page shows what the unit is.
        app.window().showPage(QStringLiteral("m05"));
        auto *model = app.page(QStringLiteral("RPF_05"))->findChild<QLabel *>(QStringLiteral("Label2_6"));
        QVERIFY(model);
        QVERIFY2(model->text().startsWith(QStringLiteral("ЗОРГЕЛ-GSM")), qPrintable(model->text()));

        // Change one cell and write the image back with the page's button.
        const int position = 700;
        const int old = app.image().byteAt(position);
        app.image().setByte(position, static_cast<unsigned char>(old ^ 0x5A));
        app.window().showPage(QStringLiteral("m17"));
        auto *write = app.page(QStringLiteral("RPF_17"))->findChild<QPushButton *>(QStringLiteral("Command2"));
        QVERIFY(write && write->isEnabled());
        write->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.status().operation(), QStringLiteral("Записано успешно!"), kTimeoutMs);

        // The unit's memory file holds exactly the written bytes; its model bytes are its own.
        QByteArray expected = imageBytes(app.image(), ConfigImage::kMemorySize) + unitMemory.right(2);
        QTRY_COMPARE_WITH_TIMEOUT(E2e::fileBytes(memoryFile), expected, kTimeoutMs);
        QCOMPARE(expected.at(position - 1), char(old ^ 0x5A));
        QCOMPARE(messages, QStringList{QStringLiteral("Записано успешно!\nПамять устройства прочитана после записи: она "
                                                      "совпадает с записанной конфигурацией.")});
    }
};

QTEST_MAIN(TestE2eUnit)
#include "tst_e2e_unit.moc"
