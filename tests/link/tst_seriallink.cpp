#include <QtTest>
#include "LinkRig.h"
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"

// Opening, closing and the state texts of the serial page, and the 50 ms receive pump.
class TestSerialLink : public QObject {
    Q_OBJECT

    struct Rig : LinkRig {
        // What each registered handler was given: tag, bytes, idle count.
        QList<std::tuple<QString, QByteArray, int>> calls;

        void registerAll()
        {
            for (const QString &tag : {Tag::FirmwareWrite, Tag::FirmwareRead, Tag::ConfigFileLoad, Tag::ConfigFileCopy,
                                       Tag::ConfigWrite, Tag::ConfigRead, Tag::Monitoring}) {
                link.setHandler(tag, [this, tag](QByteArray &bytes, int &idle) { calls.append({tag, bytes, idle}); });
            }
        }
    };

private slots:
    void openAndState_data()
    {
        QTest::addColumn<QString>("listText");     // Combo1
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("failure");          // 0, 8002 missing, 8010 busy
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("toolTipPart");

        QTest::newRow("list choice") << "3" << "" << 0 << 3 << "Com3 открыт." << "/fake/COM3";
        QTest::newRow("argument beats the list") << "5" << "12" << 0 << 12 << "Com12 открыт." << "/fake/COM12";
        QTest::newRow("empty list keeps the number") << "" << "" << 0 << 4 << "Com4 открыт." << "/fake/COM4";
        QTest::newRow("zero in the list keeps the number") << "0" << "" << 0 << 4 << "Com4 открыт." << "/fake/COM4";
        QTest::newRow("missing port") << "3" << "" << 8002 << 3 << "Com3 Error 8002" << "No such file or directory";
        QTest::newRow("busy port") << "" << "6" << 8010 << 6 << "Com6 Error 8010" << "Permission denied";
    }
    void openAndState()
    {
        QFETCH(QString, listText);
        QFETCH(QString, argument);
        QFETCH(int, failure);
        QFETCH(int, number);
        QFETCH(QString, state);
        QFETCH(QString, toolTipPart);
        Rig r;
        r.link.UsbComPortNumber = 4;
        r.link.choices().setPortText(listText);
        (failure == 8002 ? r.port.missingPorts : r.port.busyPorts).insert(failure ? number : -1);
        r.link.UstroistvoName = "stale";
        r.link.UstroistvoNameClear = "stale";
        r.link.IdlePollCount = 9;

        r.link.OpenUsbComPort(argument);

        QCOMPARE(r.link.UsbComPortNumber, number);
        QCOMPARE(r.link.isOpen(), failure == 0);
        QCOMPARE(r.link.RPF_02ComError, failure);
        QCOMPARE(r.link.portStateText(), state);
        QVERIFY2(r.link.portStateToolTip().contains(toolTipPart), qPrintable(r.link.portStateToolTip()));
        QCOMPARE(r.status.port(), QString::number(number));
        QVERIFY(r.link.UstroistvoName.isEmpty());
        QVERIFY(r.link.UstroistvoNameClear.isEmpty());
        QCOMPARE(r.link.IdlePollCount, 0);
        // The poll runs from the first attempt on, also after a failed one.
        QVERIFY(r.link.pollTimer().isActive());
    }

    void failedOpenStaysOnDisplayWhenClosedAgain()
    {
        Rig r;
        r.port.missingPorts.insert(3);
        r.link.OpenUsbComPort(QStringLiteral("3"));
        r.link.CloseUsbComPort();
        QCOMPARE(r.link.portStateText(), QStringLiteral("Com3 Error 8002"));
        r.link.receiveTick();
        QCOMPARE(r.link.portStateText(), QStringLiteral("Com3 Error 8002"));
        QCOMPARE(r.port.openCount, 0);
    }

    // Every poll shows the port's state: a change between polls shows at the next one.
    void stateFollowsChangesBetweenPolls_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("statusPort");
        QTest::newRow("nothing") << "" << "Com3 открыт." << "/fake/COM3" << "3";
        QTest::newRow("port number") << "number" << "Com7 открыт." << "/fake/COM7" << "7";
        QTest::newRow("RTSXonXoff")
            << "handshaking" << "Com3 открыт."
            << "RTSXonXoff: аппаратный контроль RTS/CTS, программный XON/XOFF вместе с ним не поддерживается\n/fake/COM3"
            << "3";
    }
    void stateFollowsChangesBetweenPolls()
    {
        QFETCH(QString, change);
        QFETCH(QString, state);
        QFETCH(QString, toolTip);
        QFETCH(QString, statusPort);
        Rig r;
        r.link.OpenUsbComPort(QStringLiteral("3"));
        r.link.receiveTick();
        if (change == QLatin1String("number"))
            r.link.UsbComPortNumber = 7;
        else if (change == QLatin1String("handshaking"))
            r.link.UsbComPortHandshaking = 4;
        r.link.receiveTick();
        QCOMPARE(r.link.portStateText(), state);
        QCOMPARE(r.link.portStateToolTip(), toolTip);
        QCOMPARE(r.status.port(), statusPort);
        // And back: the texts made before are not kept by mistake.
        r.link.UsbComPortNumber = 3;
        r.link.UsbComPortHandshaking = 1;
        r.link.receiveTick();
        QCOMPARE(r.link.portStateText(), QStringLiteral("Com3 открыт."));
        QCOMPARE(r.link.portStateToolTip(), QStringLiteral("/fake/COM3"));
        QCOMPARE(r.status.port(), QStringLiteral("3"));
    }

    void closeClearsUnitAndExchange()
    {
        Rig r;
        r.link.OpenUsbComPort(QStringLiteral("3"));
        r.link.UstroistvoNameClear = "ZORGEL-GSM8     ";
        r.link.RPF_02VektorPriemaIsPorta = Tag::ConfigRead;
        r.link.CloseUsbComPort();
        QVERIFY(!r.link.isOpen());
        QCOMPARE(r.link.portStateText(), QStringLiteral("Com3 закрыт."));
        QVERIFY(r.link.UstroistvoNameClear.isEmpty());
        QVERIFY(r.link.RPF_02VektorPriemaIsPorta.isEmpty());
        QVERIFY(!r.link.pollTimer().isActive());
    }

    void reopenClosesFirst()
    {
        Rig r;
        r.link.OpenUsbComPort(QStringLiteral("3"));
        r.link.OpenUsbComPort(QStringLiteral("5"));
        QCOMPARE(r.port.closeCount, 1);
        QCOMPARE(r.port.openCount, 2);
        QCOMPARE(r.port.portNumber, 5);
        QCOMPARE(r.link.portStateText(), QStringLiteral("Com5 открыт."));
        QCOMPARE(r.link.RPF_02ComError, 0);
    }

    void lineSettings_data()
    {
        QTest::addColumn<int>("handshakeIndex");
        QTest::addColumn<int>("speedIndex");
        QTest::addColumn<int>("speed");
        QTest::newRow("None, 9600") << 0 << 0 << 9600;
        QTest::newRow("XonXoff, 19200") << 1 << 1 << 19200;
        QTest::newRow("RTS, 115200") << 2 << 2 << 115200;
        QTest::newRow("RTSXonXoff, 19200") << 3 << 1 << 19200;
    }
    void lineSettings()
    {
        QFETCH(int, handshakeIndex);
        QFETCH(int, speedIndex);
        QFETCH(int, speed);
        Rig r;
        r.link.choices().setHandshakeIndex(handshakeIndex);
        r.link.choices().setSpeedIndex(speedIndex);
        r.link.OpenUsbComPort(QStringLiteral("2"));
        QCOMPARE(r.port.handshaking, handshakeIndex);
        QCOMPARE(r.link.UsbComPortHandshaking, handshakeIndex + 1);
        QCOMPARE(r.port.speed, speed);
        QCOMPARE(r.link.UsbComPortSpeed, speed);
        QCOMPARE(r.link.settingsText(), QString::number(speed) + QStringLiteral(",N,8,1"));
    }

    void choicesRefuseOutOfRange()
    {
        Rig r;
        r.link.choices().setSpeedIndex(1);
        r.link.choices().setSpeedIndex(3);
        r.link.choices().setHandshakeIndex(2);
        r.link.choices().setHandshakeIndex(-1);
        QCOMPARE(r.link.choices().speedText(), QStringLiteral("19200"));
        QCOMPARE(r.link.choices().handshakeIndex(), 2);
        r.link.choices().setSpeedItems({});
        QCOMPARE(r.link.choices().speedText(), QString());
    }

    void numericValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "12" << 12;
        QTest::newRow("blanks") << "  7 " << 7;
        QTest::newRow("trailing text") << "9600 бод" << 9600;
        QTest::newRow("letters first") << "COM3" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("too large") << "99999999999" << 0;
    }
    void numericValue()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(SerialLink::numericValue(text), value);
    }

    // Which poll results reach which handler, and what is left of them.
    void dispatch_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<bool>("handled");        // the handler registered for the tag is called
        QTest::addColumn<QByteArray>("leftOver"); // RPF_02PortImport after the tick

        for (const QString &tag : {Tag::FirmwareWrite, Tag::FirmwareRead, Tag::ConfigFileLoad, Tag::ConfigFileCopy,
                                   Tag::ConfigWrite, Tag::ConfigRead, Tag::Monitoring})
            QTest::newRow(qPrintable(tag)) << tag << true << QByteArray("ab");
        QTest::newRow("idle") << QString() << false << QByteArray();
        QTest::newRow("final state") << Tag::ReadOk << false << QByteArray();
        QTest::newRow("monitoring final state") << Tag::MonitoringOk << false << QByteArray();
        QTest::newRow("name not read keeps the bytes") << Tag::NameNotRead << false << QByteArray("ab");
        QTest::newRow("unknown text") << QStringLiteral("Мониторинг") << false << QByteArray();
    }
    void dispatch()
    {
        QFETCH(QString, tag);
        QFETCH(bool, handled);
        QFETCH(QByteArray, leftOver);
        Rig r;
        r.registerAll();
        r.link.OpenUsbComPort(QStringLiteral("1"));
        r.link.RPF_02VektorPriemaIsPorta = tag;
        r.link.IdlePollCount = 4;
        r.port.feed("ab");
        r.link.receiveTick();
        QCOMPARE(r.calls.size(), handled ? 1 : 0);
        if (handled) {
            QCOMPARE(std::get<0>(r.calls.first()), tag);
            QCOMPARE(std::get<1>(r.calls.first()), QByteArray("ab"));
            QCOMPARE(std::get<2>(r.calls.first()), 0);
        }
        QCOMPARE(r.link.RPF_02PortImport, leftOver);
        QCOMPARE(r.link.IdlePollCount, 0);
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, tag);
    }

    void unregisteredHandlerDropsInput()
    {
        Rig r;
        r.link.OpenUsbComPort(QStringLiteral("1"));
        r.link.RPF_02VektorPriemaIsPorta = Tag::ConfigRead;
        r.port.feed("ab");
        r.link.receiveTick();
        QVERIFY(r.link.RPF_02PortImport.isEmpty());
        QCOMPARE(r.link.IdlePollCount, 0);
    }

    void idleCounting_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QList<int>>("idleAfterEachPoll");
        // Polls: "ab", silent, silent, "cd", silent.
        QTest::newRow("in progress") << Tag::ConfigRead << QList<int>{0, 1, 2, 0, 1};
        QTest::newRow("name not read") << Tag::NameNotRead << QList<int>{0, 1, 2, 0, 1};
        QTest::newRow("idle tag resets") << QString() << QList<int>{0, 0, 0, 0, 0};
    }
    void idleCounting()
    {
        QFETCH(QString, tag);
        QFETCH(QList<int>, idleAfterEachPoll);
        Rig r;
        r.registerAll();
        r.link.OpenUsbComPort(QStringLiteral("1"));
        r.link.RPF_02VektorPriemaIsPorta = tag;
        const QList<QByteArray> polls{"ab", "", "", "cd", ""};
        for (int i = 0; i < polls.size(); ++i) {
            r.port.feed(polls.at(i));
            r.link.receiveTick();
            QCOMPARE(r.link.IdlePollCount, idleAfterEachPoll.at(i));
        }
        if (tag == Tag::ConfigRead) {
            // A reply in pieces reaches the handler piece by piece, each with the idle count of its poll.
            QCOMPARE(r.calls.size(), 5);
            QCOMPARE(std::get<1>(r.calls.at(0)), QByteArray("ab"));
            QCOMPARE(std::get<1>(r.calls.at(3)), QByteArray("cd"));
            QCOMPARE(std::get<2>(r.calls.at(3)), 0);
            QCOMPARE(std::get<2>(r.calls.at(2)), 2);
        }
    }

    // The handler a poll calls is the one registered for the tag at that poll, whatever earlier polls
    // of the same tag found.
    void handlerRegisteredBetweenPolls_data()
    {
        QTest::addColumn<bool>("firstRegistered");   // a handler for the tag before the first poll
        QTest::addColumn<QString>("firstCalls");     // handlers called by the first poll, then by the second
        QTest::addColumn<QString>("secondCalls");
        QTest::newRow("replaced") << true << "a:x" << "b:y";
        QTest::newRow("registered after a poll without one") << false << "" << "b:y";
    }
    void handlerRegisteredBetweenPolls()
    {
        QFETCH(bool, firstRegistered);
        QFETCH(QString, firstCalls);
        QFETCH(QString, secondCalls);
        Rig r;
        QStringList calls;
        const auto handler = [&calls](const QString &name) {
            return [&calls, name](QByteArray &bytes, int &) { calls << name + QLatin1Char(':') + QString::fromLatin1(bytes); };
        };
        if (firstRegistered)
            r.link.setHandler(Tag::ConfigRead, handler(QStringLiteral("a")));
        r.link.OpenUsbComPort(QStringLiteral("1"));
        r.link.RPF_02VektorPriemaIsPorta = Tag::ConfigRead;
        r.port.feed("x");
        r.link.receiveTick();
        QCOMPARE(calls.join(QLatin1Char(' ')), firstCalls);
        calls.clear();
        r.link.setHandler(Tag::ConfigRead, handler(QStringLiteral("b")));
        r.port.feed("y");
        r.link.receiveTick();
        QCOMPARE(calls.join(QLatin1Char(' ')), secondCalls);
    }

    void handlerEndingTheExchangeIsNotCalledAgain()
    {
        Rig r;
        int calls = 0;
        r.link.setHandler(Tag::Monitoring, [&](QByteArray &, int &) {
            ++calls;
            r.link.RPF_02VektorPriemaIsPorta = Tag::MonitoringOk;
        });
        r.link.OpenUsbComPort(QStringLiteral("1"));
        r.link.RPF_02VektorPriemaIsPorta = Tag::Monitoring;
        r.port.feed("x");
        r.link.receiveTick();
        r.port.feed("late bytes");
        r.link.receiveTick();
        QCOMPARE(calls, 1);
        QVERIFY(r.link.RPF_02PortImport.isEmpty());
    }

    void readErrorClosesThePort()
    {
        Rig r;
        r.registerAll();
        r.link.OpenUsbComPort(QStringLiteral("3"));
        r.link.pollTimer().stop();
        r.link.UstroistvoNameClear = "ZORGEL-GSM4     ";
        r.link.RPF_02VektorPriemaIsPorta = Tag::ConfigRead;
        r.port.failReadsWith = 8020;
        r.link.receiveTick();

        QVERIFY(!r.link.isOpen());
        QCOMPARE(r.status.connection(), QStringLiteral("Ошибка соединения 8020"));
        QCOMPARE(r.link.connectionError(), QStringLiteral("Ошибка соединения 8020"));
        QVERIFY(r.link.RPF_02VektorPriemaIsPorta.isEmpty());
        QVERIFY(r.link.UstroistvoNameClear.isEmpty());
        QVERIFY(r.calls.isEmpty());   // the exchange ends without its handler
        QCOMPARE(r.link.portStateText(), QStringLiteral("Com3 закрыт."));

        // Later polls only refresh the display; the next open forgets the failure.
        r.link.receiveTick();
        QCOMPARE(r.port.closeCount, 1);
        r.port.failReadsWith = 0;
        r.link.OpenUsbComPort(QStringLiteral("3"));
        QVERIFY(r.link.connectionError().isEmpty());
    }

    void pollTimerSurvivesItsTick()
    {
        Rig r;
        r.link.OpenUsbComPort(QStringLiteral("1"));
        QVERIFY(r.link.pollTimer().isActive());
        bool activeInside = true;
        r.link.setHandler(Tag::ConfigRead, [&](QByteArray &, int &) { activeInside = r.link.pollTimer().isActive(); });
        r.link.RPF_02VektorPriemaIsPorta = Tag::ConfigRead;
        r.link.receiveTick();
        QVERIFY(!activeInside);
        QVERIFY(r.link.pollTimer().isActive());
        // A tick while the poll is paused (settings file in use) does not restart it.
        r.link.pollTimer().stop();
        r.link.receiveTick();
        QVERIFY(!r.link.pollTimer().isActive());
    }

    void unloadClosesThePort()
    {
        Rig r;
        r.link.OpenUsbComPort(QStringLiteral("1"));
        r.link.Form_Unload();
        QVERIFY(!r.port.isOpen());
        QVERIFY(!r.link.pollTimer().isActive());
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
