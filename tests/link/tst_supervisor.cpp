#include <QtTest>
#include "LinkRig.h"
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "link/UnitSettings.h"

// The 200 ms supervision tick: port state, automatic search, follow-up of tags, queue, page locking.
class TestSupervisor : public QObject {
    Q_OBJECT

    // What the supervision reports when a unit has just answered (the window then saves the settings).
    inline static const QString kIdentified = QStringLiteral("identified");
    inline static const QString kPortKey = QStringLiteral("Доступный номер порта:");

    struct Rig : LinkRig {
        StatusSupervisor supervisor{link, queue, status};

        bool configurationRead = false;
        int refreshes = 0, settingsRefreshes = 0, online = 0, offline = 0, versionsCleared = 0, buttonChecks = 0;
        QList<bool> locks;
        QStringList started;   // "name,param" of every command the queue started

        Rig()
        {
            StatusSupervisor::Hooks hooks;
            hooks.configurationRead = [this] { return configurationRead; };
            hooks.setConfigurationRead = [this](bool read) { configurationRead = read; };
            hooks.refreshPages = [this] { ++refreshes; };
            hooks.refreshSettingsPages = [this] { ++settingsRefreshes; };
            hooks.activateOnline = [this] { ++online; };
            hooks.deactivateOffline = [this] { ++offline; };
            hooks.clearVersions = [this] { ++versionsCleared; };
            hooks.lockPages = [this](bool free) { locks.append(free); };
            hooks.checkMonitoringButtons = [this] { ++buttonChecks; };
            hooks.identified = [this] { started << kIdentified; };
            supervisor.setHooks(hooks);
            for (const QString &name : {Cmd::PoiskUstroistva, Cmd::TXconfigLoadParam, Cmd::TXconfigSaveParam,
                                        Cmd::ConfiguraciaReadProcess, Cmd::ConfiguraciaWriteProcess,
                                        Cmd::MonitoringProcess}) {
                queue.setStarter(name, [this, name](QString &param) { started << name + QLatin1Char(',') + param; });
            }
            queue.setLinkFree(true);
        }
        // An open port with a unit identified, so neither the closed-port reset nor the search interferes.
        void connectUnit()
        {
            link.OpenUsbComPort(QStringLiteral("3"));
            link.UstroistvoNameClear = "ZORGEL-GSM8     ";
        }
        // The ports offered, as the port lines of a settings file give them, in file order.
        void setLines(const QStringList &lines)
        {
            QStringList ports;
            for (const QString &line : lines) {
                const int colon = line.indexOf(QLatin1Char(':'));
                if (colon >= 0 && line.left(colon + 1).trimmed() == kPortKey)
                    ports << line.mid(colon + 1).trimmed();
            }
            choices.setPortItems(ports);
        }
    };

private slots:
    void operationTags_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("freesLink");
        QTest::addColumn<bool>("closesPort");
        QTest::addColumn<int>("pagesRefreshed");    // -1 unchanged, 0 false, 1 true
        QTest::addColumn<int>("configurationRead"); // -1 unchanged, 0 false

        QTest::newRow("firmware write") << Tag::FirmwareWrite << "Запись прошивки..." << false << false << -1 << -1;
        QTest::newRow("written") << Tag::Written << "Записано успешно!" << false << false << -1 << -1;
        QTest::newRow("write error") << Tag::WriteError << "Ошибка при записи!" << false << false << -1 << -1;
        QTest::newRow("firmware read") << Tag::FirmwareRead << "Чтение прошивки..." << false << false << -1 << -1;
        QTest::newRow("saved") << Tag::Saved << "Сохранено успешно!" << false << false << -1 << -1;
        QTest::newRow("save error") << Tag::SaveError << "Ошибка при сохранении!" << false << false << -1 << -1;
        QTest::newRow("config to file") << Tag::ConfigFileCopy << "Чтение конфигурации..." << false << false << 0 << -1;
        QTest::newRow("config read") << Tag::ConfigRead << "Чтение конфигурации..." << false << false << 0 << -1;
        QTest::newRow("read ok") << Tag::ReadOk << "Прочитано успешно!" << true << false << 1 << -1;
        QTest::newRow("read error") << Tag::ReadError << "Ошибка при чтении!" << true << false << 0 << -1;
        QTest::newRow("config from file") << Tag::ConfigFileLoad << "Запись конфигурации..." << false << false << 0 << -1;
        QTest::newRow("config write") << Tag::ConfigWrite << "Запись конфигурации..." << false << false << 0 << -1;
        QTest::newRow("name reading") << Tag::NameReading << "Поиск устройства..." << false << false << -1 << 0;
        QTest::newRow("name read") << Tag::NameRead << "Устройство обнаружено!" << false << false << -1 << -1;
        QTest::newRow("name not read") << Tag::NameNotRead << "Устройство не обнаружено!" << true << true << -1 << 0;
        QTest::newRow("transfer error") << Tag::TransferError << "Ошибка передачи!" << true << true << -1 << -1;
        QTest::newRow("monitoring") << Tag::Monitoring << "Мониторинг..." << false << false << -1 << -1;
        QTest::newRow("monitoring final state") << Tag::MonitoringOk << "..." << true << false << -1 << -1;
        QTest::newRow("idle") << QString() << "..." << true << false << -1 << -1;
    }
    void operationTags()
    {
        QFETCH(QString, tag);
        QFETCH(QString, shown);
        QFETCH(bool, freesLink);
        QFETCH(bool, closesPort);
        QFETCH(int, pagesRefreshed);
        QFETCH(int, configurationRead);
        Rig r;
        r.connectUnit();
        r.link.RPF_02VektorPriemaIsPorta = tag;
        r.queue.setLinkFree(false);
        r.configurationRead = true;
        r.supervisor.PagesRefreshed = tag != Tag::ReadOk;

        r.supervisor.tick();

        QCOMPARE(r.status.operation(), shown);
        QCOMPARE(r.queue.LinkFree(), freesLink);
        QCOMPARE(r.locks, QList<bool>{freesLink});
        QCOMPARE(r.link.isOpen(), !closesPort);
        QCOMPARE(r.supervisor.PagesRefreshed, pagesRefreshed == -1 ? tag != Tag::ReadOk : pagesRefreshed == 1);
        QCOMPARE(r.configurationRead, configurationRead == -1);
        QCOMPARE(r.refreshes, tag == Tag::ReadOk ? 1 : 0);
        // After a failed read only the settings pages: monitoring and firmware would empty the
        // byte counter that tells what came.
        QCOMPARE(r.settingsRefreshes, tag == Tag::ReadError ? 1 : 0);
        QCOMPARE(r.buttonChecks, 1);
    }

    void pagesRefilledOncePerRead()
    {
        Rig r;
        r.connectUnit();
        r.link.RPF_02VektorPriemaIsPorta = Tag::ReadOk;
        for (int i = 0; i < 4; ++i)
            r.supervisor.tick();
        QCOMPARE(r.refreshes, 1);
        r.link.RPF_02VektorPriemaIsPorta = Tag::ConfigRead;
        r.supervisor.tick();
        r.link.RPF_02VektorPriemaIsPorta = Tag::ReadOk;
        r.supervisor.tick();
        r.supervisor.tick();
        QCOMPARE(r.refreshes, 2);
    }

    void connectionState()
    {
        Rig r;
        r.link.OpenUsbComPort(QStringLiteral("3"));
        r.supervisor.tick();
        QCOMPARE(r.status.connection(), StatusModel::kPassive);
        r.link.UstroistvoNameClear = "ZORGEL-GSM8     ";
        r.supervisor.tick();
        QCOMPARE(r.status.connection(), StatusModel::kActive);
        QCOMPARE(r.offline, 0);
    }

    void closedPortResets_data()
    {
        QTest::addColumn<int>("check1");
        QTest::newRow("search on loss of connection") << 1;
        QTest::newRow("no search on loss") << 0;
    }
    void closedPortResets()
    {
        QFETCH(int, check1);
        Rig r;
        r.supervisor.searchOnLoss = check1 != 0;
        r.setLines({QStringLiteral("Доступный номер порта:4")});
        r.link.UstroistvoNameClear = "ZORGEL-GSM8     ";
        r.configurationRead = true;
        r.supervisor.PagesRefreshed = true;
        r.supervisor.tick();
        QCOMPARE(r.status.connection(), StatusModel::kNone);
        QVERIFY(r.link.UstroistvoNameClear.isEmpty());
        QVERIFY(!r.configurationRead);
        QVERIFY(!r.supervisor.PagesRefreshed);
        QCOMPARE(r.offline, 1);
        QCOMPARE(r.versionsCleared, 1);
        QCOMPARE(r.supervisor.Avtopoisk, check1 == 1);
        // The search switched on by the loss runs in the same tick.
        QCOMPARE(r.started.size(), check1 == 1 ? 1 : 0);
    }

    // A closed port reads "Нет"; why it broke stays in the tooltip until the next open.
    void brokenLinkReadsNoneWithTheReasonInTheTooltip()
    {
        Rig r;
        r.connectUnit();
        r.port.failReadsWith = 8020;
        r.link.receiveTick();
        r.supervisor.tick();
        r.supervisor.tick();
        QCOMPARE(r.status.connection(), QStringLiteral("Нет"));
        QVERIFY2(r.status.connectionToolTip().startsWith(QStringLiteral("Ошибка соединения 8020")),
                 qPrintable(r.status.connectionToolTip()));
        QCOMPARE(r.status.operation(), QStringLiteral("..."));
        r.port.failReadsWith = 0;
        r.link.OpenUsbComPort(QStringLiteral("3"));
        r.supervisor.tick();
        QCOMPARE(r.status.connection(), StatusModel::kPassive);
    }

    void automaticSearchWalksPortLines()
    {
        Rig r;
        r.setLines({QStringLiteral("Доступный номер порта:3"), QStringLiteral("  Доступный номер порта: 5 "),
                    QStringLiteral("Доступная скорость порта:9600"), QStringLiteral("Доступный номер порта:7"),
                    QStringLiteral("Акт индекс номера порта:3"), QStringLiteral("RPF_19.Check5:1")});
        r.supervisor.Avtopoisk = true;
        for (int i = 0; i < 5; ++i)
            r.supervisor.tick();
        // In file order; when the list runs out the search stops and the port found last goes once more.
        const QString p = Cmd::PoiskUstroistva + QLatin1Char(',');
        QCOMPARE(r.started, (QStringList{p + "3", p + "5", p + "7", p + "7"}));
        QVERIFY(!r.supervisor.Avtopoisk);
        // Switched on again, the search starts over at the first line.
        r.supervisor.Avtopoisk = true;
        r.supervisor.tick();
        QCOMPARE(r.started.last(), p + "3");
    }

    // A search the user starts begins at the first listed port, wherever the last round stopped.
    void searchByTheButtonStartsAtTheFirstPort()
    {
        Rig r;
        r.setLines({QStringLiteral("Доступный номер порта:3"), QStringLiteral("Доступный номер порта:5"),
                    QStringLiteral("Доступный номер порта:7"), QStringLiteral("RPF_19.Check5:1")});
        r.supervisor.Avtopoisk = true;
        r.supervisor.tick();
        r.supervisor.tick();
        r.supervisor.Avtopoisk = false;   // a unit answered on 5: the round stops there
        r.supervisor.searchFromFirstPort();
        r.supervisor.tick();
        const QString p = Cmd::PoiskUstroistva + QLatin1Char(',');
        QCOMPARE(r.started, (QStringList{p + "3", p + "5", p + "3"}));
    }

    // Only a port number from a port line reaches the queue, written as a plain number.
    void automaticSearchPostsOnlyPortNumbers_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("ports");
        QTest::newRow("plain") << "3" << QStringList{"3", "9", "9"};
        QTest::newRow("leading zeros") << "007" << QStringList{"7", "9", "9"};
        QTest::newRow("highest") << "32767" << QStringList{"32767", "9", "9"};
        QTest::newRow("too high") << "32768" << QStringList{"9", "9"};
        QTest::newRow("zero") << "0" << QStringList{"9", "9"};
        QTest::newRow("negative") << "-3" << QStringList{"9", "9"};
        QTest::newRow("two entries") << "3|4" << QStringList{"9", "9"};
        QTest::newRow("command smuggled in") << "1|ConfiguraciaWriteProcess," << QStringList{"9", "9"};
        QTest::newRow("text") << "COM3" << QStringList{"9", "9"};
    }
    void automaticSearchPostsOnlyPortNumbers()
    {
        QFETCH(QString, value);
        QFETCH(QStringList, ports);
        Rig r;
        r.setLines({kPortKey + value, kPortKey + QStringLiteral("9")});
        r.supervisor.Avtopoisk = true;
        for (int i = 0; i < 3; ++i)
            r.supervisor.tick();
        QStringList expected;
        for (const QString &port : ports)
            expected << Cmd::PoiskUstroistva + QLatin1Char(',') + port;
        QCOMPARE(r.started, expected);
        QVERIFY(r.messages.texts.isEmpty());
    }

    void automaticSearchWithoutPortLines()
    {
        Rig r;
        r.setLines({QStringLiteral("Доступная скорость порта:9600"), QStringLiteral("RPF_19.Check5:1"), QString()});
        r.supervisor.Avtopoisk = true;
        r.supervisor.tick();
        QCOMPARE(r.started, QStringList{Cmd::PoiskUstroistva + QLatin1Char(',')});
        QVERIFY(!r.supervisor.Avtopoisk);
        r.supervisor.tick();
        QCOMPARE(r.started.size(), 1);
    }

    void lastSuccessfulConnectionFirst()
    {
        Rig r;
        r.setLines({QStringLiteral("Доступный номер порта:4")});
        r.supervisor.Avtopoisk = true;
        r.supervisor.UseLastSucsessConnection = true;
        r.supervisor.tick();
        QVERIFY(!r.supervisor.UseLastSucsessConnection);
        r.supervisor.tick();
        const QString p = Cmd::PoiskUstroistva + QLatin1Char(',');
        QCOMPARE(r.started, (QStringList{p, p + "4"}));
    }

    void noSearchWhileAUnitIsKnownLinkBusyOrPortClosedByUser()
    {
        Rig r;
        r.setLines({QStringLiteral("Доступный номер порта:4")});
        r.supervisor.Avtopoisk = true;
        r.connectUnit();
        r.supervisor.tick();
        QVERIFY(r.started.isEmpty());
        // Without a unit the attempt is queued but waits for the link.
        r.link.UstroistvoNameClear.clear();
        r.link.RPF_02VektorPriemaIsPorta = Tag::ConfigRead;
        r.queue.setLinkFree(false);
        r.supervisor.tick();
        r.supervisor.tick();   // one waits, however long the link stays busy
        QVERIFY(r.started.isEmpty());
        QCOMPARE(r.queue.CommandQueueText(), Cmd::PoiskUstroistva + QStringLiteral(",4|"));
        // "Закрыть порт": neither the search waiting nor a monitoring request or read opens it again.
        r.queue.post(Cmd::MonitoringProcess);
        r.supervisor.closeByUser();
        r.queue.setLinkFree(true);
        for (int tick = 0; tick < 3; ++tick)
            r.supervisor.tick();
        QVERIFY(r.started.isEmpty());
    }

    void identificationFollowUp_data()
    {
        QTest::addColumn<int>("check2");
        QTest::addColumn<bool>("alreadyRead");
        QTest::addColumn<QStringList>("started");
        const QString save = kIdentified;
        const QString read = Cmd::ConfiguraciaReadProcess + QLatin1Char(',');
        QTest::newRow("read on detection") << 1 << false << QStringList{save, read};
        QTest::newRow("already read") << 1 << true << QStringList{save};
        QTest::newRow("option off") << 0 << false << QStringList{save};
    }
    void identificationFollowUp()
    {
        QFETCH(int, check2);
        QFETCH(bool, alreadyRead);
        QFETCH(QStringList, started);
        Rig r;
        r.supervisor.readOnDetection = check2 != 0;
        r.configurationRead = alreadyRead;
        r.supervisor.Avtopoisk = true;
        r.connectUnit();
        r.link.RPF_02VektorPriemaIsPorta = Tag::NameRead;
        for (int i = 0; i < 5; ++i)
            r.supervisor.tick();
        QVERIFY(!r.supervisor.Avtopoisk);
        QCOMPARE(r.online, 1);
        // Saved once per identification, not on every tick the tag stays.
        QCOMPARE(r.started, started);
        QCOMPARE(r.configurationRead, alreadyRead || check2 == 1);
    }

    // A search requested while a unit is known ends with that tick; after a loss only the option
    // for a lost connection may search again, and never after "Закрыть порт" until a search is asked.
    void searchRequestClearedWhileIdentified_data()
    {
        QTest::addColumn<int>("check1");
        QTest::addColumn<bool>("searchesAfterClose");
        QTest::newRow("search on loss off") << 0 << false;
        QTest::newRow("search on loss on") << 1 << true;
        QTest::newRow("search on loss on, closed by \"Закрыть порт\"") << 2 << false;
    }
    void searchRequestClearedWhileIdentified()
    {
        QFETCH(int, check1);
        QFETCH(bool, searchesAfterClose);
        Rig r;
        r.supervisor.searchOnLoss = check1 != 0;
        r.connectUnit();
        r.link.RPF_02VektorPriemaIsPorta = Tag::NameRead;
        r.supervisor.tick();
        r.started.clear();
        r.supervisor.Avtopoisk = true;   // "Найти устройство автоматически" or Check5 ticked
        r.supervisor.tick();
        QVERIFY(!r.supervisor.Avtopoisk);
        r.supervisor.closedByUser = check1 == 2;
        r.link.CloseUsbComPort();
        r.supervisor.tick();
        r.supervisor.tick();
        QCOMPARE(r.started.contains(Cmd::PoiskUstroistva + QLatin1Char(',')), searchesAfterClose);
    }

    void nextIdentificationIsFollowedUpAgain()
    {
        Rig r;
        r.port.onWrite = [&](const QByteArray &) { r.port.feed("#4000=ZORGEL-GSM8     \r\n"); };
        const auto identify = [&] {
            QString param = QStringLiteral("3");
            r.link.PoiskUstroistva(param);
            r.link.receiveTick();
        };
        identify();
        r.supervisor.tick();
        r.supervisor.tick();
        // A search started by hand and answered between two ticks: the tag never leaves "Имя прочитано".
        identify();
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameRead);
        r.supervisor.tick();
        r.supervisor.tick();
        QCOMPARE(r.started.count(kIdentified), 2);
        QCOMPARE(r.online, 2);
    }

    void endToEndIdentification()
    {
        Rig r;
        r.queue.setStarter(Cmd::PoiskUstroistva, [&](QString &param) { r.link.PoiskUstroistva(param); });
        r.port.onWrite = [&](const QByteArray &bytes) {
            if (bytes == "#4000" && r.port.portNumber == 5)
                r.port.feed("#4000=ZORGEL-GSM4T    \r\n");
        };
        r.setLines({QStringLiteral("Доступный номер порта:3"), QStringLiteral("Доступный номер порта:5")});
        r.supervisor.Avtopoisk = true;

        r.supervisor.tick();   // tries COM3
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameReading);
        for (int i = 0; i < 3; ++i)
            r.link.receiveTick();
        r.supervisor.tick();   // COM3 silent so far: the next attempt takes COM5
        QCOMPARE(r.status.operation(), QStringLiteral("Поиск устройства..."));
        QCOMPARE(r.port.portNumber, 5);
        r.link.receiveTick();
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameRead);
        r.supervisor.tick();
        QCOMPARE(r.status.operation(), QStringLiteral("Устройство обнаружено!"));
        QCOMPARE(r.status.connection(), StatusModel::kActive);
        QCOMPARE(r.status.port(), QStringLiteral("5"));
        QVERIFY(!r.supervisor.Avtopoisk);
        QCOMPARE(r.started, QStringList{kIdentified});
        QCOMPARE(r.link.deviceName(), QStringLiteral("ZORGEL-GSM4T    "));
    }

    void failedAttemptClosesThePort()
    {
        Rig r;
        r.queue.setStarter(Cmd::PoiskUstroistva, [&](QString &param) { r.link.PoiskUstroistva(param); });
        r.link.choices().setPortText(QStringLiteral("2"));
        r.queue.post(Cmd::PoiskUstroistva);
        r.supervisor.tick();
        for (int i = 0; i < 6; ++i)
            r.link.receiveTick();
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameNotRead);
        r.supervisor.tick();
        QCOMPARE(r.status.operation(), QStringLiteral("Устройство не обнаружено!"));
        QVERIFY(!r.link.isOpen());
        r.supervisor.tick();
        QCOMPARE(r.status.connection(), StatusModel::kNone);
        QCOMPARE(r.status.operation(), QStringLiteral("..."));
    }

    void loadEmptiesProgress()
    {
        Rig r;
        r.status.showProgress(10, 20);
        r.supervisor.PagesRefreshed = true;
        r.supervisor.load();
        QVERIFY(r.status.counter().isEmpty());
        QVERIFY(r.status.bar().isEmpty());
        QVERIFY(!r.supervisor.PagesRefreshed);
    }
};

QTEST_GUILESS_MAIN(TestSupervisor)
#include "tst_supervisor.moc"
