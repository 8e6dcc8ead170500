#include <QtTest>
#include <QPushButton>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "config/ConfigImage.h"
#include "config/ConfigPage.h"
#include "devinfo/DeviceInfo.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "monitor/MonitorExchange.h"
#include "shell/MainWindow.h"

namespace {

// One adapter, two units plugged in one after the other: the port talks to whichever is in.
class SwapPort : public SerialPort {
public:
    SwapPort(SimLoopbackPort &a, SimLoopbackPort &b) : m_a(a), m_b(b), m_in(&a) {}
    bool open(int portNumber, int speed, int handshaking) override { return m_in->open(portNumber, speed, handshaking); }
    void close() override { m_in->close(); }
    bool isOpen() const override { return m_in->isOpen(); }
    bool write(QByteArrayView bytes) override
    {
        written += bytes.toByteArray();
        return m_in->write(bytes);
    }
    QByteArray readAll() override { return m_in->readAll(); }
    int lastError() const override { return m_in->lastError(); }
    QString lastErrorText() const override { return QString(); }
    QString settingsText() const override { return m_in->settingsText(); }
    QString deviceFor(int portNumber) const override { return m_in->deviceFor(portNumber); }
    void advance(qint64 ms)
    {
        m_a.advance(ms);
        m_b.advance(ms);
    }
    // The first unit is unplugged and the second plugged in.
    void swapToB() { m_in = &m_b; }
    QByteArray written;

private:
    SimLoopbackPort &m_a, &m_b;
    SimLoopbackPort *m_in;
};

// A unit with 12 inputs whose input 1 is "Склад: дверь".
QByteArray twelveInputImage()
{
    QByteArray image = SimDefaults::image();
    image[SimDefaults::kImageSize - 2] = char(0x12);
    image[SimDefaults::kImageSize - 1] = char(0x01);
    const QByteArray text = Cp1251::encode(QStringLiteral("Склад: дверь")).leftJustified(64, '\0');
    image.replace(SimDefaults::kInputTexts, 64, text);
    return image;
}

struct Rig {
    QTemporaryDir folder;
    SimCore coreA{SimDefaults::image(), SimDefaults::firmware()};
    SimCore coreB{twelveInputImage(), SimDefaults::firmware()};
    SimLoopbackPort portA{coreA, 2};
    SimLoopbackPort portB{coreB, 2};
    SwapPort port{portA, portB};
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    std::unique_ptr<TarviksApp> app;

    Rig()
    {
        coreB.setDeviceName(Cp1251::encode(QStringLiteral("СКЛАД-2")));
        QDir(folder.path()).mkpath(QStringLiteral("Service"));
        QFile file(folder.filePath(QStringLiteral("Service/TX.cfg")));
        if (file.open(QIODevice::WriteOnly))
            file.write(Cp1251::encode(QStringLiteral(
                "Доступный номер порта:2\r\nДоступная скорость порта:9600\r\nАкт индекс номера порта:1\r\n"
                "Акт индекс скорости:1\r\nАкт индекс контр передачи:1\r\nRPF_19.Check1:0\r\nRPF_19.Check2:1\r\n"
                "RPF_19.Check3:0\r\nRPF_19.Check4:0\r\nRPF_19.Check5:1\r\n")));
        file.close();
        app = std::make_unique<TarviksApp>(AppSetup{folder.path(), &port, &messages, &dialogs, &clock, nullptr});
        app->startUp(false);
    }
    void step()
    {
        app->supervisor().tick();
        for (int poll = 0; poll < 4; ++poll) {
            port.advance(50);
            app->link().receiveTick();
        }
    }
    bool stepUntil(const std::function<bool()> &done, int limit = 300)
    {
        for (int i = 0; i < limit && !done(); ++i)
            step();
        return done();
    }
    bool stepUntil(const QString &operation) { return stepUntil([&] { return app->status().operation() == operation; }); }
    // Unit A unplugged, unit B plugged in and found.
    void swap()
    {
        app->link().CloseUsbComPort();
        port.swapToB();
        app->supervisor().Avtopoisk = true;   // "Найти устройство автоматически"
        QVERIFY(stepUntil([&] { return app->link().RPF_02VektorPriemaIsPorta == Tag::NameRead; }));
        step();
    }
    // One monitoring reply, taken as the poll timer would take it.
    void monitorOnce()
    {
        app->monitorExchange().MonitoringProcess();
        QVERIFY(stepUntil([&] { return app->link().RPF_02VektorPriemaIsPorta == Tag::MonitoringOk; }));
    }
    void clickWrite()
    {
        qobject_cast<ConfigPage *>(app->page(QStringLiteral("RPF_17")))->button(QStringLiteral("Command2"))->click();
    }
};

const QString kInput1 = QStringLiteral("Склад: дверь");

}

// Units worked through one after another on the same adapter: each unit's data stays its own.
class TestUnitSwap : public QObject {
    Q_OBJECT
private slots:
    // Read A, edit, B found: asked, edits kept, nothing of A shown as B's; "Записать" asks again
    // naming both, and only a yes sends anything.
    void editsOfOneUnitNeverReachAnotherUnasked()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Прочитано успешно!")));
        rig.step();
        app.image().setCell(SimDefaults::kInputTexts + 1, QStringLiteral("41"));   // "Вход 1" edited
        app.image().setChanged(true);

        rig.swap();
        QCOMPARE(rig.messages.questions.size(), 1);
        QVERIFY2(rig.messages.questions.first().contains(QStringLiteral("\"ЗОРГЕЛ-GSM8T\""))
                     && rig.messages.questions.first().contains(QStringLiteral("\"СКЛАД-2\"")),
                 qPrintable(rig.messages.questions.first()));
        // "Нет": the edits stay, B is not read, and nothing of A is shown under B's name.
        QCOMPARE(app.status().operation(), QStringLiteral("Не прочитано: есть изменения"));
        QVERIFY(app.image().isChanged());
        app.deviceInfo().fill();
        QCOMPARE(app.deviceInfo().value(1).trimmed(), QStringLiteral("СКЛАД-2"));
        QCOMPARE(app.deviceInfo().value(5), QStringLiteral("не прочитано"));
        QCOMPARE(app.deviceInfo().value(6), QStringLiteral("не прочитано"));
        app.monitorExchange().RazmetkaVhodov();
        QVERIFY(app.monitorExchange().notice().contains(QStringLiteral("\"СКЛАД-2\" не прочитана")));
        QVERIFY(app.monitorExchange().thresholdText(1, true).isEmpty());

        rig.port.written.clear();
        rig.clickWrite();   // answered "Нет"
        QCOMPARE(rig.messages.questions.size(), 2);
        const QString write = rig.messages.questions.last();
        QVERIFY2(write.contains(QStringLiteral("из устройства \"ЗОРГЕЛ-GSM8T\" (07.12.2026 09:05:03)"))
                     && write.contains(QStringLiteral("в устройство \"СКЛАД-2\"?")),
                 qPrintable(write));
        for (int i = 0; i < 10; ++i)
            rig.step();
        QVERIFY(!rig.port.written.contains("#6001"));
        QCOMPARE(rig.coreB.image(), twelveInputImage());

        rig.messages.answers = {true};
        rig.clickWrite();
        QVERIFY(rig.stepUntil(QStringLiteral("Записано успешно!")));
        QCOMPARE(rig.coreB.image().at(SimDefaults::kInputTexts), 'A');
    }

    // "Да" to the question reads B: from then on the pages show B's model and inputs.
    void yesReadsTheNewUnit()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Прочитано успешно!")));
        rig.step();
        app.image().setChanged(true);
        rig.messages.answers = {true};
        rig.swap();
        QVERIFY(rig.stepUntil(QStringLiteral("Прочитано успешно!")));
        rig.step();
        QCOMPARE(app.image().sourceUnit().trimmed(), QStringLiteral("СКЛАД-2"));
        QCOMPARE(app.deviceInfo().value(6), QStringLiteral("ЗОРГЕЛ-GSM12"));
        QCOMPARE(app.image().byteAt(SimDefaults::kInputTexts + 1), int(Cp1251::encode(kInput1).at(0)) & 0xFF);
        // The same unit written now asks nothing more.
        rig.clickWrite();
        QCOMPARE(rig.messages.questions.size(), 1);
    }

    // The journal belongs to one unit: A's rows are offered when B is found, keep A's columns and
    // name A; B's journal starts empty and names B.
    void journalAcrossASwap()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Прочитано успешно!")));
        rig.step();
        app.monitorExchange().RazmetkaVhodov();
        rig.monitorOnce();
        rig.monitorOnce();
        rig.monitorOnce();
        const int rowsOfA = app.monitorExchange().journal().size();
        QVERIFY(rowsOfA >= 1);

        const QString path = rig.folder.filePath(QStringLiteral("a.csv"));
        rig.dialogs.answers = {path};
        rig.messages.answers = {true};
        rig.swap();
        QVERIFY2(rig.messages.questions.value(0).contains(QStringLiteral("\"ЗОРГЕЛ-GSM8T\" (строк: %1)").arg(rowsOfA)),
                 qPrintable(rig.messages.questions.value(0)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + rowsOfA);
        QVERIFY(lines.first().contains(QStringLiteral("Вход 8 Вольт")));
        QVERIFY(!lines.first().contains(QStringLiteral("Вход 9 Вольт")));
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY2(lines.at(i).startsWith(QStringLiteral("ЗОРГЕЛ-GSM8T,")), qPrintable(lines.at(i)));

        QCOMPARE(app.monitorExchange().journal().size(), 0);
        // Nothing of A's stays on show for B.
        QCOMPARE(app.monitorExchange().readings().battery, MonitorReadings::kDesignText);
        QVERIFY(rig.stepUntil(QStringLiteral("Прочитано успешно!")));
        rig.step();
        app.monitorExchange().RazmetkaVhodov();
        rig.monitorOnce();
        const MonitorJournal &journal = app.monitorExchange().journal();
        QCOMPARE(journal.unit().trimmed(), QStringLiteral("СКЛАД-2"));
        const QString header = QString::fromUtf8(journal.csv(MonitorJournal::plainFormat())).section(QStringLiteral("\r\n"), 0, 0);
        QVERIFY2(header.contains(QStringLiteral("Вход 12 Вольт")), qPrintable(header));
    }

    // A unit found again after a failed flash gets the firmware buttons back while the firmware
    // page is shown, so "Повторите загрузку прошивки из файла" can be followed.
    void firmwareButtonsComeBackWithTheUnit()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Прочитано успешно!")));
        rig.step();
        app.window().showPage(QStringLiteral("m04"));
        auto *load = app.page(QStringLiteral("RPF_04"))->findChild<QPushButton *>(QStringLiteral("Command4"));
        QVERIFY(load->isEnabled());
        app.supervisor().readOnDetection = false;   // no read refills the pages meanwhile
        app.link().CloseUsbComPort();
        rig.step();
        QVERIFY(!load->isEnabled());
        app.supervisor().searchFromFirstPort();
        QVERIFY(rig.stepUntil([&] { return app.link().RPF_02VektorPriemaIsPorta == Tag::NameRead; }));
        rig.step();
        QVERIFY(load->isEnabled());
    }
};

QTEST_MAIN(TestUnitSwap)
#include "tst_unitswap.moc"
