#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "FakeSerialDevices.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/ConfigPage.h"
#include "devinfo/DeviceInfo.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/PortWatch.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusPanel.h"
#include "link/StatusSupervisor.h"
#include "link/UnitSettings.h"
#include "monitor/MonitorExchange.h"
#include "shell/LeftMenu.h"
#include "shell/MainWindow.h"
#include "shell/MasterForm.h"
#include "shell/Page.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "unit/WindowOperations.h"
#include <QComboBox>

// The whole program wired together, against the simulated unit in-process on virtual time:
// the supervision tick and four receive polls make 200 ms.
class TestApp : public QObject {
    Q_OBJECT

    struct Rig {
        QTemporaryDir folder;
        SimCore core{SimDefaults::image(), SimDefaults::firmware()};
        SimLoopbackPort port{core, 2};
        RecordingMessageSink messages;
        ScriptedFileDialogs dialogs;
        ScriptedChoiceDialogs choices;
        FixedClock clock;
        FakeSerialDevices devices;
        std::unique_ptr<TarviksApp> app;

        // links: entries of Service/ports made by hand, "COM<N>" -> target.
        explicit Rig(const QString &wizard = QStringLiteral("0"), int unitPort = 2,
                     const QMap<QString, QString> &links = {}, const SimFaults &faults = {})
            : core(SimDefaults::image(), SimDefaults::firmware(), faults), port(core, unitPort)
        {
            QDir(folder.path()).mkpath(QStringLiteral("Service/ports"));
            for (auto link = links.begin(); link != links.end(); ++link)
                QFile::link(*link, folder.filePath(QStringLiteral("Service/ports/") + link.key()));
            QFile file(settingsPath());
            if (file.open(QIODevice::WriteOnly))
                file.write(Cp1251::encode(
                    QStringLiteral("Доступный номер порта:1\r\nДоступный номер порта:2\r\nДоступный номер порта:3\r\n"
                                   "Доступная скорость порта:9600\r\nДоступная скорость порта:19200\r\n"
                                   "Акт индекс номера порта:1\r\nАкт индекс скорости:2\r\nАкт индекс контр передачи:1\r\n"
                                   "RPF_19.Check1:0\r\nRPF_19.Check2:1\r\nRPF_19.Check3:")
                    + wizard + QStringLiteral("\r\nRPF_19.Check4:0\r\nRPF_19.Check5:1\r\n")));
            file.close();
            app = std::make_unique<TarviksApp>(
                AppSetup{folder.path(), &port, &messages, &dialogs, &clock, &devices, &choices});
            app->window().show();
            app->startUp(false);
        }
        QString settingsPath() const { return folder.path() + QStringLiteral("/Service/TX.cfg"); }
        void step()
        {
            // The unit's jobs go on in queued calls.
            QCoreApplication::processEvents();
            app->supervisor().tick();
            for (int poll = 0; poll < 4; ++poll) {
                port.advance(50);
                app->link().receiveTick();
            }
        }
        // Steps until the status shows text; false after limit ticks.
        bool stepUntil(const QString &text, int limit = 200)
        {
            for (int i = 0; i < limit; ++i) {
                if (app->status().operation() == text)
                    return true;
                step();
            }
            return app->status().operation() == text;
        }
        bool stepUntil(const std::function<bool()> &done, int limit = 300)
        {
            for (int i = 0; i < limit && !done(); ++i)
                step();
            return done();
        }
        // The unit unplugged and another plugged in and found: 12 inputs, input 1 "Склад: дверь",
        // named "СКЛАД-2".
        static QByteArray twelveInputImage()
        {
            QByteArray image = SimDefaults::image();
            image[SimDefaults::kImageSize - 2] = char(0x12);
            image[SimDefaults::kImageSize - 1] = char(0x01);
            image.replace(SimDefaults::kInputTexts, 64,
                          Cp1251::encode(QStringLiteral("Склад: дверь")).leftJustified(64, '\0'));
            return image;
        }
        // The first read at start-up done.
        void readAtStart()
        {
            QVERIFY(stepUntil(QStringLiteral("Прочитано успешно!")));
            step();
        }
        // "Вход 1" edited and not written.
        void editInput1()
        {
            app->image().setCell(SimDefaults::kInputTexts + 1, QStringLiteral("41"));
            app->image().setChanged(true);
        }
        // "Найти устройство автоматически", until a unit answers.
        void findUnit()
        {
            app->supervisor().searchFromFirstPort();
            QVERIFY(stepUntil([&] { return app->link().RPF_02VektorPriemaIsPorta == Tag::NameRead; }));
            step();
        }
        // The unit unplugged, `unit` plugged in and found.
        void replaceUnit(SimCore unit)
        {
            app->link().CloseUsbComPort();
            core = std::move(unit);
            findUnit();
        }
        void swapUnit()
        {
            SimCore other(twelveInputImage(), SimDefaults::firmware());
            other.setDeviceName(Cp1251::encode(QStringLiteral("СКЛАД-2")));
            replaceUnit(std::move(other));
        }
        // One monitoring reply, taken as the poll timer would take it.
        void monitorOnce()
        {
            app->monitorExchange().MonitoringProcess();
            QVERIFY(stepUntil([&] { return app->link().RPF_02VektorPriemaIsPorta == Tag::MonitoringOk; }));
        }
        void click(const QString &button)
        {
            qobject_cast<ConfigPage *>(app->page(QStringLiteral("RPF_17")))->button(button)->click();
            QVERIFY(stepUntil([&] { return !app->operations().running(); }));
        }
        void clickWrite() { click(QStringLiteral("Command2")); }
        // The newest copy of the unit's configuration of a kind, as its memory bytes.
        QByteArray newestCopy(const QString &kind) const
        {
            // The unit's folder is its name and IMEI.
            QDir root(folder.filePath(QStringLiteral("Резервные копии")));
            const QStringList units = root.entryList({QStringLiteral("ЗОРГЕЛ-GSM8T *")}, QDir::Dirs);
            QDir copies(root.filePath(units.value(0)));
            const QStringList names = copies.entryList({QStringLiteral("* ") + kind + QStringLiteral(".cf")},
                                                       QDir::Files, QDir::Name | QDir::Reversed);
            QFile file(copies.filePath(names.value(0)));
            return file.open(QIODevice::ReadOnly) ? ConfigFiles::parse(file.readAll()).blocks.join() : QByteArray();
        }
        QString settingsText() const
        {
            QFile file(settingsPath());
            return file.open(QIODevice::ReadOnly) ? Cp1251::decode(file.readAll()) : QString();
        }
    };

    // What a write checked by reading the unit back says.
    inline static const QString checked =
        QStringLiteral("Записано успешно!\nПамять устройства прочитана после записи");

private slots:
    void startUpOrder()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        QVERIFY(app.queue().LinkFree());
        QCOMPARE(app.queue().CommandQueueText(), QStringLiteral("TXconfigLoadParam,|"));
        QVERIFY(app.page(QStringLiteral("RPF_02"))->isVisible());
        QVERIFY(app.tree().isVisible());
        QVERIFY(!app.configExchange().ConfiguraciaProchitana);
        QVERIFY(!app.wizard());
        // The first tick loads the settings: lists and choices come from the file.
        app.supervisor().tick();
        QCOMPARE(app.link().choices().portItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
        QCOMPARE(app.link().UsbComPortSpeed, 19200);
        QVERIFY(app.queue().CommandQueueText().isEmpty());
    }

    void findsUnitReadsConfigurationAndShowsIt()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Устройство обнаружено!")));
        QCOMPARE(app.link().UsbComPortNumber, 2);
        QCOMPARE(app.status().connection(), QStringLiteral("Активно"));
        rig.readAtStart();
        QVERIFY(app.configExchange().ConfiguraciaProchitana);
        for (int i = 1; i <= ConfigImage::kImageSize; ++i)
            QCOMPARE(app.image().byteAt(i), int(static_cast<unsigned char>(rig.core.image().at(i - 1))));
        // The refreshed information page shows the unit.
        auto *name = app.page(QStringLiteral("RPF_05"))->findChild<QLabel *>(QStringLiteral("Label2_1"));
        QVERIFY(name);
        QCOMPARE(name->text(), Cp1251::decode(rig.core.deviceName()));
        // The successful port is remembered.
        QVERIFY(rig.settingsText().contains(QStringLiteral("Акт индекс номера порта:2\r\n")));
        QVERIFY2(rig.messages.texts.isEmpty(), qPrintable(rig.messages.texts.join(QLatin1Char('|'))));
    }

    // Read A, edit, B found: asked, edits kept, nothing of A shown as B's.
    void editsOfOneUnitNeverReachAnotherUnasked()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        rig.readAtStart();
        rig.editInput1();

        rig.swapUnit();
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
        // B found again, as after a monitoring reply missed: the answer stands, nothing is asked.
        app.link().CloseUsbComPort();
        rig.findUnit();
        QCOMPARE(rig.messages.questions.size(), 1);
    }

    // "Да" to both questions when B is found: A's journal goes to a file with A's columns and name,
    // B is read over the edits, and from then on the pages and a new journal show B.
    void yesSavesTheJournalAndReadsTheNewUnit()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        rig.readAtStart();
        app.monitorExchange().RazmetkaVhodov();
        rig.monitorOnce();
        rig.monitorOnce();
        rig.monitorOnce();
        const int rowsOfA = app.monitorExchange().journal().size();
        QVERIFY(rowsOfA >= 1);
        app.image().setChanged(true);

        const QString path = rig.folder.filePath(QStringLiteral("a.csv"));
        rig.dialogs.answers = {path};
        rig.messages.answers = {true, true};
        rig.swapUnit();
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
        QCOMPARE(app.monitorExchange().readings().battery, MonitorReadings::kDesignText);

        rig.readAtStart();
        QCOMPARE(app.image().sourceUnit().trimmed(), QStringLiteral("СКЛАД-2"));
        QCOMPARE(app.deviceInfo().value(6), QStringLiteral("ЗОРГЕЛ-GSM12"));
        app.monitorExchange().RazmetkaVhodov();
        rig.monitorOnce();
        const MonitorJournal &journal = app.monitorExchange().journal();
        QCOMPARE(journal.unit().trimmed(), QStringLiteral("СКЛАД-2"));
        const QString header = QString::fromUtf8(journal.csv(MonitorJournal::plainFormat())).section(QStringLiteral("\r\n"), 0, 0);
        QVERIFY2(header.contains(QStringLiteral("Вход 12 Вольт")), qPrintable(header));
        // The unit read is written without a question.
        rig.clickWrite();
        QCOMPARE(rig.messages.questions.size(), 2);
    }

    // B found while A's edits or A's journal wait; while the question is open B goes and A comes
    // back. "Да" was about B: nothing is read for it, A is found again and stays found, and edits
    // stay. The read of a unit gone would put every later search a tick late, each closing the unit
    // the one before it found, on and on.
    void yesForAUnitGoneMeanwhileLeavesTheUnitFoundAgainAlone_data()
    {
        QTest::addColumn<bool>("edits");
        QTest::newRow("edits question") << true;
        QTest::newRow("journal question") << false;
    }
    void yesForAUnitGoneMeanwhileLeavesTheUnitFoundAgainAlone()
    {
        QFETCH(bool, edits);
        Rig rig;
        TarviksApp &app = *rig.app;
        rig.readAtStart();
        if (edits) {
            rig.editInput1();
        } else {
            app.monitorExchange().RazmetkaVhodov();
            rig.monitorOnce();
        }
        // "Автоматический поиск устройства при потере соединения", as a new TX.cfg has it; the ports
        // but the unit's cannot be opened.
        app.options().checkClicked(ProgramOptions::SearchOnLoss, 1);
        rig.port.setAbsentPorts({1, 3});

        rig.messages.answers = {true};
        rig.messages.whileAsked = [&] {
            app.link().CloseUsbComPort();
            rig.core = SimCore(SimDefaults::image(), SimDefaults::firmware());
        };
        rig.swapUnit();
        QCOMPARE(rig.messages.questions.size(), 1);
        QVERIFY(rig.stepUntil([&] { return app.link().deviceName().trimmed() == QStringLiteral("ЗОРГЕЛ-GSM8T"); }));
        const int found = app.link().identificationCount();
        for (int tick = 0; tick < 50; ++tick)   // 10 s
            rig.step();
        QVERIFY(app.link().isOpen());
        QCOMPARE(app.link().identificationCount(), found);
        QCOMPARE(app.queue().CommandQueueText(), QString());
        QCOMPARE(app.image().isChanged(), edits);
    }

    // "Записать": the unit read into a side buffer, kept as the copy before the write, its model and
    // name and IMEI compared with the image's source, written, read back. Rows: the unit at the write.
    void writeReadsFirstChecksAndReadsBack_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QList<bool>>("answers");   // after "Нет" to reading another unit over the edits
        QTest::addColumn<QString>("asked");         // in the last question; empty: none at the write
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("told");          // in the last message; empty: none
        QTest::newRow("memory changed after the read") << "changed" << QList<bool>{} << "" << true << checked;
        QTest::newRow("same model, other IMEI, no")
            << "imei" << QList<bool>{false} << "(IMEI 350000000000001) той же модели" << false << "";
        QTest::newRow("same model, other IMEI, yes") << "imei" << QList<bool>{true} << "той же модели" << true << checked;
        QTest::newRow("another model, yes to all")
            << "model" << QList<bool>{true, true} << "" << false
            << "Конфигурация предназначена для модели ЗОРГЕЛ-GSM8T, а устройство — ЗОРГЕЛ-GSM12.";
        QTest::newRow("image naming no model, no")
            << "tail" << QList<bool>{false} << "конфигурации в памяти программы (00 00) не называют" << false << "";
        QTest::newRow("unit gone while asked")
            << "gone" << QList<bool>{true} << "той же модели" << false << "связь с устройством прервалась";
        QTest::newRow("read back differs") << "flip" << QList<bool>{} << "" << true
                                           << "отличается от записанной конфигурации в 1 ячейках из 2368";
        QTest::newRow("acknowledgements stop") << "acks" << QList<bool>{} << "" << false
                                               << "\"Устройство\", \"Восстановить из копии…\"";
    }
    void writeReadsFirstChecksAndReadsBack()
    {
        QFETCH(QString, unit);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, asked);
        QFETCH(bool, written);
        QFETCH(QString, told);
        SimFaults faults;
        faults.flipOnWrite = unit == QLatin1String("flip") ? 5 : -1;
        faults.ackLimit = unit == QLatin1String("acks") ? 5 : -1;
        Rig rig(QStringLiteral("0"), 2, {}, faults);
        TarviksApp &app = *rig.app;
        rig.readAtStart();
        rig.editInput1();
        QByteArray image = SimDefaults::image();
        if (unit == QLatin1String("changed")) {   // as a keypad or an SMS command would leave it
            image[300] = char(0x5A);
            rig.core = SimCore(image, SimDefaults::firmware(), faults);
        } else if (unit == QLatin1String("imei") || unit == QLatin1String("gone") || unit == QLatin1String("model")) {
            image.replace(SimDefaults::kImei, 15, QByteArrayLiteral("350000000000001"));
            rig.messages.answers = {false};   // the edits stay
            rig.replaceUnit(SimCore(unit == QLatin1String("model") ? Rig::twelveInputImage() : image,
                                    SimDefaults::firmware()));
        } else if (unit == QLatin1String("tail")) {
            app.image().setCell(2369, QStringLiteral("00"));
            app.image().setCell(2370, QStringLiteral("00"));
        }
        if (unit == QLatin1String("gone"))
            rig.messages.whileAsked = [&] { app.link().CloseUsbComPort(); };
        const int questionsBefore = int(rig.messages.questions.size());
        const int textsBefore = int(rig.messages.texts.size());
        const QByteArray before = rig.core.image();
        rig.messages.answers = answers;
        rig.clickWrite();
        QCOMPARE(rig.messages.questions.size() > questionsBefore, !asked.isEmpty());
        QVERIFY2(rig.messages.questions.value(questionsBefore).contains(asked),
                 qPrintable(rig.messages.questions.value(questionsBefore)));
        QCOMPARE(rig.core.image().at(SimDefaults::kInputTexts) == 'A', written);
        QCOMPARE(rig.messages.texts.size() > textsBefore, !told.isEmpty());
        QVERIFY2(rig.messages.texts.value(rig.messages.texts.size() - 1).contains(told),
                 qPrintable(rig.messages.texts.join(QLatin1Char('|'))));
        if (written) {
            // The copy holds what the unit held at the write, whatever the window read before.
            QCOMPARE(rig.newestCopy(QStringLiteral("до записи")), before.left(2368));
            QCOMPARE(app.status().operation(), told == checked ? QStringLiteral("Записано успешно!")
                                                               : QStringLiteral("Ошибка при записи!"));
        }
    }

    // "Прочитать" through the unit's read; cells naming no model are told, as after any read.
    void readTellsModelCellsNamingNone_data()
    {
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<QString>("told");
        QTest::newRow("ЗОРГЕЛ-GSM8T") << QByteArray("\x08\x02", 2) << "";
        QTest::newRow("no model") << QByteArray("\x08\x03", 2)
                                  << "Ошибка при чтении конфигурации! Ячейки модели 2369–2370 (08 03) не называют";
    }
    void readTellsModelCellsNamingNone()
    {
        QFETCH(QByteArray, tail);
        QFETCH(QString, told);
        Rig rig;
        TarviksApp &app = *rig.app;
        rig.readAtStart();
        QByteArray image = SimDefaults::image();
        image.replace(image.size() - 2, 2, tail);
        rig.core = SimCore(image, SimDefaults::firmware());
        rig.messages.texts.clear();
        rig.click(QStringLiteral("Command1"));
        rig.step();   // the tick that follows the read up
        rig.step();
        QCOMPARE(rig.messages.texts.size(), told.isEmpty() ? 0 : 1);
        QVERIFY2(told.isEmpty() || rig.messages.texts.value(0).contains(told), qPrintable(rig.messages.texts.join('|')));
        // Bytes that are not a unit's are not shown as its configuration.
        QCOMPARE(app.image().isFilled(1, ConfigImage::kImageSize), told.isEmpty());
        QCOMPARE(app.status().operation(),
                 told.isEmpty() ? QStringLiteral("Прочитано успешно!") : QStringLiteral("Ошибка при чтении!"));
    }

    // "Восстановить из копии…": the unit's copies listed, the chosen one written as "Записать" writes.
    void restoreWritesTheChosenCopy()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        rig.readAtStart();
        const QByteArray original = rig.core.image();
        rig.editInput1();
        rig.clickWrite();
        QCOMPARE(rig.core.image().at(SimDefaults::kInputTexts), 'A');
        rig.clock.time = rig.clock.time.addSecs(60);
        rig.choices.answer = QStringLiteral("до записи");
        app.window().menuItem(QStringLiteral("mRestoreCopy"))->trigger();
        QVERIFY(rig.stepUntil([&] { return !app.operations().running(); }));
        QVERIFY2(rig.choices.shown.contains(QStringLiteral("2026-12-07 09:05:03  до записи")),
                 qPrintable(rig.choices.shown.join(QLatin1Char('|'))));
        QCOMPARE(rig.core.image(), original);
        // What the unit held before the restore is kept as well.
        QCOMPARE(rig.newestCopy(QStringLiteral("до записи")).at(SimDefaults::kInputTexts), 'A');
        QVERIFY(rig.messages.texts.last().startsWith(QStringLiteral("Записано успешно! Копия \"2026-12-07 09:05:03  до записи\"")));
    }

    // After a count error the status strip still reads what came.
    void failedReadKeepsTheByteCounter()
    {
        SimFaults faults;
        faults.lengthDelta = 1;
        faults.onlyFor = {QByteArrayLiteral("#6000")};
        Rig rig(QStringLiteral("0"), 2, {}, faults);
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Ошибка при чтении!")));
        rig.step();
        rig.step();
        QCOMPARE(app.status().counter(), QStringLiteral("2371 / 2370 байт"));
        QCOMPARE(rig.messages.texts, QStringList{QStringLiteral("Ошибка загрузки! Не соответствует количество байт!")});
        QVERIFY(app.queue().LinkFree());
    }

    void pagesLockedWhileLinkBusy()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        rig.readAtStart();
        QVERIFY(app.page(QStringLiteral("RPF_17"))->isEnabled());
        // A write holds the link for many polls: every page but the monitoring page is locked,
        // the tree stays usable.
        app.queue().post(Cmd::ConfiguraciaWriteProcess);
        app.supervisor().tick();
        QVERIFY(!app.queue().LinkFree());
        app.supervisor().tick();
        QCOMPARE(app.status().operation(), QStringLiteral("Запись конфигурации..."));
        for (const MainWindow::PageInfo &info : MainWindow::pageTable())
            QCOMPARE(app.page(info.form)->isEnabled(), info.form == QLatin1String("RPF_03"));
        QVERIFY(app.tree().isEnabled());
        // The status strip shows the progress undimmed.
        QVERIFY(app.statusPanel().isEnabled());
        // The tree still switches pages.
        app.tree().clickNode(QStringLiteral("m19"));
        QVERIFY(app.page(QStringLiteral("RPF_19"))->isVisible());
        QVERIFY(rig.stepUntil(QStringLiteral("Записано успешно!")));
        for (const MainWindow::PageInfo &info : MainWindow::pageTable())
            QVERIFY2(app.page(info.form)->isEnabled(), qPrintable(info.form));
    }

    void unitLostDisablesUnitControls()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        rig.readAtStart();
        auto *read = app.page(QStringLiteral("RPF_17"))->findChild<QPushButton *>(QStringLiteral("Command1"));
        QVERIFY(read && read->isEnabled());
        app.link().CloseUsbComPort();
        rig.step();
        QCOMPARE(app.status().connection(), QStringLiteral("Нет"));
        QVERIFY(!read->isEnabled());
        QVERIFY(!app.configExchange().ConfiguraciaProchitana);
        // Found again (after a failed flash, say), with no read to refill the pages: the firmware
        // page on show gets its buttons back.
        app.window().showPage(QStringLiteral("m04"));
        auto *load = app.page(QStringLiteral("RPF_04"))->findChild<QPushButton *>(QStringLiteral("Command4"));
        QVERIFY(!load->isEnabled());
        app.supervisor().readOnDetection = false;
        rig.findUnit();
        QVERIFY(load->isEnabled());
    }

    // A copy that cannot be kept is a warning told once: the unit stays, no box waits inside a read.
    void copyNotKeptKeepsTheUnit()
    {
        Rig rig;
        QFile blocker(rig.folder.filePath(QStringLiteral("Резервные копии")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        int boxes = 0;
        rig.messages.whileShown = [&] { ++boxes; };
        rig.readAtStart();
        rig.app->queue().post(Cmd::ConfiguraciaReadProcess);
        for (int tick = 0; tick < 25; ++tick)
            rig.step();
        QCOMPARE(boxes, 0);
        QCOMPARE(rig.messages.texts.size(), 1);
        QCOMPARE(rig.app->status().connection(), QStringLiteral("Активно"));
    }

    void wizardFollowsOption()
    {
        Rig rig(QStringLiteral("1"));
        TarviksApp &app = *rig.app;
        app.supervisor().tick();
        QVERIFY(app.wizard());
        QVERIFY(app.wizard()->isVisible());
        QCOMPARE(app.wizard()->frameGeometry().width(), app.window().frameGeometry().width());
        QVERIFY(app.wizard()->y() >= app.window().frameGeometry().bottom());
        auto *cancel = app.wizard()->findChild<QPushButton *>(QStringLiteral("Command3"));
        QVERIFY(cancel);
        cancel->click();
        QVERIFY(!app.wizard() || !app.wizard()->isVisible());
        // The program goes on normally.
        QVERIFY(rig.stepUntil(QStringLiteral("Устройство обнаружено!")));
    }

    void shutdownSavesSettingsAndClosesPort()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Устройство обнаружено!")));
        rig.step();
        QFile::remove(rig.settingsPath());
        QFile file(rig.settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();   // an empty file: the save writes the lines held in memory again
        app.shutDown();
        QVERIFY(!rig.port.isOpen());
        QVERIFY(rig.settingsText().startsWith(QStringLiteral("Доступный номер порта:1\r\n")));
        QVERIFY(rig.settingsText().contains(QStringLiteral("RPF_19.Check5:1\r\n")));
    }

    // Closing the main window runs the whole shutdown and leaves no window open, wizard or not, so
    // the program ends.
    void closingTheMainWindowEndsTheProgram_data()
    {
        QTest::addColumn<QString>("wizard");
        QTest::newRow("wizard open") << "1";
        QTest::newRow("no wizard") << "0";
    }
    void closingTheMainWindowEndsTheProgram()
    {
        QFETCH(QString, wizard);
        Rig rig(wizard);
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Устройство обнаружено!")));
        QCOMPARE(app.wizard() && app.wizard()->isVisible(), wizard == QLatin1String("1"));
        QVERIFY(rig.port.isOpen());
        QFile::remove(rig.settingsPath());

        QVERIFY(app.window().close());
        QVERIFY(!rig.port.isOpen());
        QVERIFY(rig.settingsText().contains(QStringLiteral("RPF_19.Check3:") + wizard + QStringLiteral("\r\n")));
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    }

    // With unwritten edits the window asks before it closes, and stays unless told to leave.
    void closingAsksAboutUnwrittenEdits_data()
    {
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("closes");
        QTest::newRow("stay") << QList<bool>{false} << false;
        QTest::newRow("leave") << QList<bool>{true} << true;
    }
    void closingAsksAboutUnwrittenEdits()
    {
        QFETCH(QList<bool>, answers);
        QFETCH(bool, closes);
        Rig rig(QStringLiteral("0"));
        TarviksApp &app = *rig.app;
        QVERIFY(rig.stepUntil(QStringLiteral("Устройство обнаружено!")));
        app.image().setChanged(true);
        rig.messages.answers = answers;
        QCOMPARE(app.window().close(), closes);
        QCOMPARE(rig.messages.questions,
                 QStringList{"В памяти программы есть изменения, не записанные в устройство. Выйти из программы "
                             "без записи?"});
        QCOMPARE(rig.port.isOpen(), !closes);
        QCOMPARE(app.window().isVisible(), !closes);
    }

    // An adapter plugged in while the program runs gets the next number, joins the ports the
    // automatic search walks and is found there; the next save writes its line.
    void adapterPluggedInIsSearched_data()
    {
        QTest::addColumn<int>("ticksBefore");   // supervision ticks before the adapter is plugged
        QTest::newRow("before the settings load") << 0;
        QTest::newRow("during the first round") << 2;
        QTest::newRow("after the list was exhausted") << 40;
    }
    void adapterPluggedInIsSearched()
    {
        QFETCH(int, ticksBefore);
        const QMap<QString, QString> taken{{"COM1", "/nonexistent/tty1"}, {"COM2", "/nonexistent/tty2"},
                                           {"COM3", "/nonexistent/tty3"}};
        Rig rig(QStringLiteral("0"), 4, taken);
        TarviksApp &app = *rig.app;
        QVERIFY(app.portWatch());
        for (int i = 0; i < ticksBefore; ++i)
            rig.step();

        const QString node = rig.folder.filePath(QStringLiteral("ttyACM0"));
        QFile device(node);
        QVERIFY(device.open(QIODevice::WriteOnly));
        SerialDevice adapter;
        adapter.path = node;
        adapter.description = QStringLiteral("USB-Serial Controller");
        adapter.vendorId = 0x067b;
        rig.devices.list << adapter;
        app.portWatch()->tick();
        QCOMPARE(QFileInfo(rig.folder.filePath(QStringLiteral("Service/ports/COM4"))).symLinkTarget(), node);
        if (!app.supervisor().Avtopoisk)
            app.supervisor().Avtopoisk = true;   // "Найти устройство автоматически"

        QVERIFY(rig.stepUntil(QStringLiteral("Устройство обнаружено!")));
        QCOMPARE(app.link().UsbComPortNumber, 4);
        QCOMPARE(app.link().choices().portItems(), (QStringList{"1", "2", "3", "4"}));
        auto *box = app.page(QStringLiteral("RPF_02"))->findChild<QComboBox *>(QStringLiteral("Combo1"));
        QCOMPARE(box->itemText(3), QStringLiteral("4"));
        QCOMPARE(box->itemData(3, Qt::ToolTipRole).toString(), QStringLiteral("USB-Serial Controller\n") + node);
        QCOMPARE(box->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("нет устройства\n/nonexistent/tty1"));

        app.portWatch()->tick();   // unchanged: nothing added twice
        app.settings().TXconfigSaveParam();
        const QString saved = rig.settingsText();
        QVERIFY2(saved.startsWith(QStringLiteral("Доступный номер порта:1\r\nДоступный номер порта:2\r\n"
                                                 "Доступный номер порта:3\r\nДоступный номер порта:4\r\n"
                                                 "Доступная скорость порта:9600\r\n")),
                 qPrintable(saved));
        QCOMPARE(saved.count(QStringLiteral("Доступный номер порта:4")), 1);
    }

    // A TX.cfg that cannot be read is never saved over: each save button says so and stays offered.
    void unreadableSettingsFileKeepsSaveButtons()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        QVERIFY(QFile::remove(rig.settingsPath()));
        QVERIFY(QDir().mkpath(rig.settingsPath()));
        app.settings().TXconfigLoadParam();
        const QString said = QStringLiteral("Ошибка открытия файла конфигурации программы : 75\n") + rig.settingsPath()
            + QStringLiteral(": это папка, а не файл. Файл не изменён.");
        for (const char *form : {"RPF_19", "RPF_02"}) {
            auto *save = app.page(QLatin1String(form))->findChild<QPushButton *>(QStringLiteral("Command2"));
            QVERIFY(save);
            rig.messages.texts.clear();
            app.options().setSaveEnabled(true);
            save->setEnabled(true);
            save->click();
            QCOMPARE(rig.messages.texts, QStringList{said});
            QVERIFY(save->isEnabled());
        }
        QVERIFY(QFileInfo(rig.settingsPath()).isDir());
    }

    // A 1280 x 720 screen at 150 %: Qt lays out in logical pixels, so that is a screen of 1280 / 1.5
    // x 720 / 1.5. Each main page fits in it whole, with nothing to scroll to.
    void mainPagesFitAt150Percent_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::newRow("Соединение с компьютером") << "m02";
        QTest::newRow("Мониторинг") << "m03";
        QTest::newRow("Обновление прошивки") << "m04";
        QTest::newRow("Информация об устройстве") << "m05";
        QTest::newRow("Базовые настройки (из памяти контроллера)") << "m07";
        QTest::newRow("Базовые настройки (с SIM-карты)") << "m08";
        QTest::newRow("Входы") << "m11";
        QTest::newRow("Конфигурации") << "m17";
        QTest::newRow("Настройки программы") << "m19";
    }
    void mainPagesFitAt150Percent()
    {
        QFETCH(QString, menu);
        Rig rig;
        QVERIFY(rig.stepUntil(QStringLiteral("Прочитано успешно!")));
        MainWindow &window = rig.app->window();
        const QSize screen(1280 * 2 / 3, 720 * 2 / 3);
        window.fitInto(screen);
        window.showPage(menu);
        QCoreApplication::processEvents();
        QVERIFY2(window.width() <= screen.width() && window.height() <= screen.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
        QVERIFY(!window.pageArea()->horizontalScrollBar()->isVisibleTo(&window));
        QVERIFY(!window.pageArea()->verticalScrollBar()->isVisibleTo(&window));
        const QRect pages(window.pageArea()->mapTo(&window, QPoint(0, 0)), window.pageArea()->size());
        int controls = 0;
        for (QWidget *w : window.findChildren<QWidget *>()) {
            const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLabel *>(w)
                || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSlider *>(w);
            if (!control || !w->isVisibleTo(&window) || w->isWindow())
                continue;
            ++controls;
            const QRect rect(w->mapTo(&window, QPoint(0, 0)), w->size());
            const QString what = w->objectName() + QLatin1Char(' ') + w->accessibleName();
            QVERIFY2(window.rect().contains(rect), qPrintable(what));
            if (window.pageArea()->isAncestorOf(w))
                QVERIFY2(pages.contains(rect), qPrintable(what));
        }
        QVERIFY(controls > 5);
    }

    void unknownCommandShowsOneMessage()
    {
        Rig rig;
        TarviksApp &app = *rig.app;
        app.supervisor().tick();
        app.queue().post(QStringLiteral("Nonsense"));
        app.queue().post(Cmd::TXconfigSaveParam);
        app.queue().pump();
        QCOMPARE(rig.messages.texts, QStringList{QStringLiteral("Невыполнимая внутренняя команда!")});
        QCOMPARE(app.queue().CommandQueueText(), QStringLiteral("TXconfigSaveParam,|"));
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
