#include <QtTest>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include "FirmwareTestRig.h"
#include "SessionSeams.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwarePage.h"
#include "link/OperationTags.h"
#include "unit/UnitFirmwareOperations.h"

// The page "Обновление прошивки": its controls, the buttons' availability and the file choice.
class TestFirmwarePage : public QObject {
    Q_OBJECT

    // The page over the window's unit and its firmware operations, on a fake port.
    struct PageRig : SessionSeams {
        FakeSerialPort port;
        UnitSession unit{folder.path(), &port, borrowed()};
        UnitFirmwareOperations operations{unit};
        SerialLink &link = unit.link();
        CommandQueue &queue = unit.queue();
        StatusModel &status = unit.status();
        FirmwareExchange &exchange = unit.firmwareExchange();
        ConfigImage &image = unit.image();
        DeviceInfo &info = unit.deviceInfo();
        FirmwarePage page{exchange, operations, info, link, status, messages, dialogs, clock, folder.path()};

        PageRig()
        {
            unit.start(false);
            link.OpenUsbComPort(QStringLiteral("1"));
            identify("U");
        }
        void identify(const QByteArray &name)   // a unit answers "#4000" with this name
        {
            link.UstroistvoName.clear();
            link.NameByteCount = 0;
            QByteArray reply = "#4000=" + name.leftJustified(16, ' ') + "\r\n";
            int idle = 0;
            link.OpredelenieUstroistva(reply, idle);
            status.setConnection(StatusModel::kActive);
        }
        QString tag() const { return link.RPF_02VektorPriemaIsPorta; }
        QString path(const QString &name) const { return folder.filePath(name); }
        void poll(int times = 1)   // the pump's polls, and the job's step after an exchange ended
        {
            while (times-- > 0)
                link.receiveTick();
            QCoreApplication::processEvents();
        }
        void silence() { poll(16 + 3); }
        QPushButton *button(const char *name) { return page.button(QString::fromLatin1(name)); }
        QList<bool> enabled()
        {
            return {button("Command3")->isEnabled(), button("Command4")->isEnabled(), button("Command5")->isEnabled()};
        }
    };

private slots:
    void controls()
    {
        PageRig rig;
        rig.page.show();
        QCOMPARE(rig.page.header()->text(), QStringLiteral("Обновление прошивки"));
        const auto *frame = rig.page.findChild<QGroupBox *>(QStringLiteral("Frame6"));
        QVERIFY(frame && frame->isVisible());
        QCOMPARE(frame->title(), QStringLiteral("Файл прошивки"));
        QVERIFY(!rig.page.findChild<QGroupBox *>(QStringLiteral("Frame1"))->isVisible());
        QCOMPARE(rig.button("Command3")->text(), QStringLiteral("Копировать в файл"));
        QCOMPARE(rig.button("Command4")->text(), QStringLiteral("Загрузить из файла"));
        QVERIFY(rig.button("Command3")->isVisible() && rig.button("Command4")->isVisible());
        QVERIFY(!rig.button("Command5")->isVisible());
        for (const char *name : {"Command3", "Command4", "Command5"})
            QCOMPARE(rig.button(name)->accessibleName(), rig.button(name)->text());
        // The keyboard reaches the buttons before the read-only help text.
        QWidget *first = rig.page.nextInFocusChain();
        while (!(first->focusPolicy() & Qt::TabFocus))
            first = first->nextInFocusChain();
        QCOMPARE(first, rig.button("Command3"));
        const QString help = rig.page.findChild<QTextEdit *>(QStringLiteral("RichTextBox1"))->toPlainText();
        QVERIFY(help.contains(QStringLiteral("2. Загрузить подходящую прошивку из файла в устройство.")));
        QVERIFY(help.contains(QStringLiteral("восстановить работу системы при неудачном обновлении.")));
    }

    // The three buttons (the hidden one too) follow the version of an identified unit and step
    // aside while a transfer runs.
    void buttonsFollowTheUnit_data()
    {
        QTest::addColumn<QString>("version");   // firmware version cells 1420..1422
        QTest::addColumn<bool>("identified");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("unit with a version") << QStringLiteral("00 07 1") << true << false << true;
        QTest::newRow("version zero") << QStringLiteral("00 00 0") << true << false << false;
        QTest::newRow("no version read") << QString() << true << false << false;
        QTest::newRow("no unit") << QStringLiteral("02 07 1") << false << false << false;
        QTest::newRow("transfer queued") << QStringLiteral("02 07 1") << true << true << false;
    }
    void buttonsFollowTheUnit()
    {
        QFETCH(QString, version);
        QFETCH(bool, identified);
        QFETCH(bool, busy);
        QFETCH(bool, enabled);
        PageRig rig;
        QCOMPARE(rig.enabled(), (QList<bool>{false, false, false}));   // nothing known yet
        const QStringList cells = version.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int i = 0; i < cells.size(); ++i)
            rig.image.setCell(1420 + i, cells.at(i));
        rig.info.fill();
        if (!identified)
            rig.link.UstroistvoNameClear.clear();
        if (busy) {
            QVERIFY(writeFile(rig.path(QStringLiteral("a.fw")), FirmwareFile::format(unitFirmware())));
            rig.page.applyVersionRule();
            QVERIFY(rig.exchange.loadFromFile(rig.path(QStringLiteral("a.fw"))));
        } else {
            rig.page.Form_Activate();
        }
        QCOMPARE(rig.enabled(), (QList<bool>{enabled, enabled, enabled}));
        const QString why = rig.page.reasonLabel()->text();   // grey buttons say why
        QCOMPARE(why.isEmpty(), enabled || busy);
        QCOMPARE(why.startsWith(QStringLiteral("Кнопки станут доступны, когда будет прочитана конфигурация")),
                 identified && version.isEmpty());
        rig.page.disableButtons();
        QCOMPARE(rig.enabled(), (QList<bool>{false, false, false}));
    }

    void buttonsReturnWhenATransferEnds()
    {
        PageRig rig;
        rig.image.setCell(1420, QStringLiteral("01"));
        rig.info.fill();
        rig.page.Form_Activate();
        rig.dialogs.answers << rig.path(QStringLiteral("backup.fw"));
        rig.page.Command3_Click();
        QCOMPARE(rig.enabled(), (QList<bool>{false, false, false}));
        rig.queue.pump();
        rig.port.feed(unitFirmware());
        rig.poll();
        rig.silence();
        QCOMPARE(rig.tag(), Tag::Saved);
        QCOMPARE(rig.enabled(), (QList<bool>{true, true, true}));
    }

    void fileChoice_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("defaultName");
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("copy to file") << true << false << QStringLiteral("20261207090503") << QByteArray("#5000");
        QTest::newRow("load from file") << false << false << QString() << QByteArray("#5001");
        QTest::newRow("copy cancelled") << true << true << QStringLiteral("20261207090503") << QByteArray();
        QTest::newRow("load cancelled") << false << true << QString() << QByteArray();
    }
    void fileChoice()
    {
        QFETCH(bool, save);
        QFETCH(bool, cancel);
        QFETCH(QString, defaultName);
        QFETCH(QByteArray, request);
        PageRig rig;
        rig.image.setCell(1420, QStringLiteral("01"));
        rig.info.fill();
        const QString path = rig.path(QStringLiteral("unit.fw"));
        QVERIFY(writeFile(path, FirmwareFile::format(unitFirmware())));
        if (!cancel)
            rig.dialogs.answers << path;
        save ? rig.page.Command3_Click() : rig.page.Command4_Click();
        QCOMPARE(rig.dialogs.requests.size(), 1);
        QCOMPARE(rig.dialogs.requests.at(0).initialFolder, rig.folder.path() + QStringLiteral("/Прошивки/"));
        QCOMPARE(rig.dialogs.requests.at(0).defaultName, defaultName);
        QCOMPARE(rig.exchange.isBusy(), !cancel);
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.port.written(), request);   // without a question, and nothing on a cancel
    }

    // The page's state line: the flash warning while a write runs, and how a transfer ended, with
    // the file it wrote or read.
    void stateLine_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<int>("acknowledged");   // "OK"s to a write; -1: the whole firmware to a read
        QTest::addColumn<QString>("during");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("namesFile");
        QTest::addColumn<bool>("red");
        const QString warning = QStringLiteral("Не отсоединяйте устройство от компьютера и не отключайте его питание");
        QTest::newRow("backup complete") << true << -1 << "Идёт чтение прошивки из устройства в файл:"
                                         << "Прошивка сохранена в файл:" << true << false;
        QTest::newRow("backup cut short") << true << 0 << "Идёт чтение прошивки из устройства в файл:"
                                          << "Прошивка не сохранена." << true << true;
        QTest::newRow("flash complete") << false << 981 << warning << "Прошивка записана в устройство из файла:"
                                        << true << false;
        QTest::newRow("flash stalled mid-way") << false << 300 << warning
                                               << "устройство может остаться без работающей прошивки!" << false
                                               << true;
        QTest::newRow("flash never answered") << false << 0 << warning
                                              << "Прошивка не записана, устройство не затронуто." << true << false;
    }
    void stateLine()
    {
        QFETCH(bool, save);
        QFETCH(int, acknowledged);
        QFETCH(QString, during);
        QFETCH(QString, after);
        QFETCH(bool, namesFile);
        QFETCH(bool, red);
        PageRig rig;
        rig.image.setCell(1420, QStringLiteral("01"));
        rig.info.fill();
        rig.page.show();
        const QString path = rig.path(save ? QStringLiteral("backup.fw") : QStringLiteral("new.fw"));
        if (!save)
            QVERIFY(writeFile(path, FirmwareFile::format(unitFirmware())));
        rig.dialogs.answers << path;
        save ? rig.page.Command3_Click() : rig.page.Command4_Click();
        QLabel *state = rig.page.stateLabel();
        QVERIFY(state->text().contains(during));
        rig.queue.pump();
        QVERIFY(state->text().contains(during));
        if (save) {
            rig.port.feed(acknowledged < 0 ? unitFirmware() : unitFirmware().left(1000));
            rig.poll();
        } else {
            for (int k = 0; k < acknowledged; ++k)
                rig.port.arrive("OK");
            QVERIFY(state->text().contains(during));
        }
        rig.silence();
        QVERIFY(!rig.exchange.isBusy());
        QVERIFY2(state->text().contains(after), qPrintable(state->text()));
        QCOMPARE(state->text().contains(QStringLiteral("backup.fw")) || state->text().contains(QStringLiteral("new.fw")),
                 namesFile);
        QCOMPARE(state->toolTip(), namesFile ? QDir::toNativeSeparators(path) : QString());
        QCOMPARE(state->accessibleDescription(), state->text());
        QCOMPARE(state->palette().color(QPalette::Disabled, QPalette::WindowText) == QColor(0xFF, 0x00, 0x00), red);
    }

    // "Загрузить из файла" flashes the unit it was pressed for: a unit that changed while the file
    // dialog was open is asked about ("Нет" sends nothing), and one that changed again during the
    // question is refused.
    void unitChangedWhileTheDialogWasOpen_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("changedDuringQuestion");
        QTest::newRow("another unit, Нет") << false << false;
        QTest::newRow("another unit, Да") << true << false;
        QTest::newRow("changed again during the question, Да") << true << true;
    }
    void unitChangedWhileTheDialogWasOpen()
    {
        QFETCH(bool, yes);
        QFETCH(bool, changedDuringQuestion);
        PageRig rig;
        rig.image.setCell(1420, QStringLiteral("01"));
        rig.info.fill();
        const QString path = rig.path(QStringLiteral("new.fw"));
        QVERIFY(writeFile(path, FirmwareFile::format(unitFirmware())));
        rig.dialogs.answers << path;
        rig.dialogs.whileOpen = [&] { rig.identify("OTHER"); };
        rig.messages.answers = {yes};
        if (changedDuringQuestion)
            rig.messages.whileAsked = [&] { rig.identify("THIRD"); };
        rig.page.Command4_Click();
        rig.poll();
        QCOMPARE(rig.messages.questions.value(0),
                 QStringLiteral("Пока выбирался файл, устройство \"U\" отключилось, и теперь подключено устройство "
                                "\"OTHER\".\nЗаписать прошивку из файла в устройство \"OTHER\"?"));
        QCOMPARE(rig.messages.texts.value(0).startsWith(QStringLiteral("Устройство, для которого выбран файл, "
                                                                       "больше не на связи")),
                 changedDuringQuestion);
        QCOMPARE(rig.port.written().startsWith(FirmwareExchange::kWriteRequest), yes && !changedDuringQuestion);
    }

    void clickWithoutUnitShowsNoDialog()
    {
        PageRig rig;
        rig.status.setConnection(StatusModel::kPassive);
        rig.page.Command4_Click();
        QVERIFY(rig.dialogs.requests.isEmpty());
        QCOMPARE(rig.messages.texts, QStringList{FirmwareExchange::kNoConnection});
    }
};

QTEST_MAIN(TestFirmwarePage)
#include "tst_firmwarepage.moc"
