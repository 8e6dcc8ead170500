#include <QtTest>
#include "LinkRig.h"
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"

// Device search: "#4000" out, the 24-character reply in through the receive pump.
class TestIdentification : public QObject {
    Q_OBJECT

    using Rig = LinkRig;

    static QByteArray reply(const QByteArray &name) { return "#4000=" + name + "\r\n"; }

private slots:
    void reply_data()
    {
        QTest::addColumn<QList<QByteArray>>("polls");   // one entry per poll, "" a silent one
        QTest::addColumn<int>("decidedAtPoll");         // 1-based poll after which the tag is final
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QByteArray>("name");

        const QByteArray whole = reply("ZORGEL-GSM8T    ");
        const QList<QByteArray> silence(6, QByteArray());
        QTest::newRow("24 characters in one poll") << QList<QByteArray>{whole} << 1 << Tag::NameRead
                                                   << QByteArray("ZORGEL-GSM8T    ");
        QTest::newRow("10 and 14 characters in two polls") << QList<QByteArray>{whole.left(10), whole.mid(10)} << 2
                                                           << Tag::NameRead << QByteArray("ZORGEL-GSM8T    ");
        QTest::newRow("pieces with silence between")
            << QList<QByteArray>{whole.left(3), "", "", "", whole.mid(3, 5), "", whole.mid(8)} << 7 << Tag::NameRead
            << QByteArray("ZORGEL-GSM8T    ");
        // The name is always characters 7-22, wherever the marker stands.
        QTest::newRow("marker not at the start") << QList<QByteArray>{"xx#4000=ABCDEFGHIJKLMNOP"} << 1 << Tag::NameRead
                                                 << QByteArray("0=ABCDEFGHIJKLMN");
        QTest::newRow("Windows-1251 name kept as bytes")
            << QList<QByteArray>{reply("\xC7\xCE\xD0\xC3\xC5\xCB-GSM12    ")} << 1 << Tag::NameRead
            << QByteArray("\xC7\xCE\xD0\xC3\xC5\xCB-GSM12    ");
        QTest::newRow("silence only") << silence << 6 << Tag::NameNotRead << QByteArray();
        QTest::newRow("23 characters") << QList<QByteArray>{whole.left(23)} + silence << 7 << Tag::NameNotRead
                                       << QByteArray();
        // Past 24 characters the reply can never be accepted: the attempt ends on that poll.
        QTest::newRow("25 characters") << QList<QByteArray>{whole + "!"} << 1 << Tag::NameNotRead << QByteArray();
        QTest::newRow("24 then more") << QList<QByteArray>{whole.left(20), whole.mid(20) + "#4000="} << 2
                                      << Tag::NameNotRead << QByteArray();
        QTest::newRow("a stream after the reply, in the same read")
            << QList<QByteArray>{whole + QByteArray(4096, 'x')} << 1 << Tag::NameNotRead << QByteArray();
        QTest::newRow("garbage without the marker") << QList<QByteArray>{QByteArray(24, '\xFF')} + silence << 7
                                                    << Tag::NameNotRead << QByteArray();
        QTest::newRow("marker split over polls")
            << QList<QByteArray>{"#40", "00=ABCDEFGHIJKLMNOP\r\n"} << 2 << Tag::NameRead
            << QByteArray("ABCDEFGHIJKLMNOP");
    }
    void reply()
    {
        QFETCH(QList<QByteArray>, polls);
        QFETCH(int, decidedAtPoll);
        QFETCH(QString, tag);
        QFETCH(QByteArray, name);
        Rig r;
        QString param = QStringLiteral("3");
        r.link.PoiskUstroistva(param);
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameReading);
        for (int i = 0; i < polls.size(); ++i) {
            r.port.feed(polls.at(i));
            r.link.receiveTick();
            const bool decided = i + 1 >= decidedAtPoll;
            QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, decided ? tag : Tag::NameReading);
        }
        QCOMPARE(r.link.UstroistvoNameClear, name);
        QCOMPARE(r.link.identificationCount(), tag == Tag::NameRead ? 1 : 0);
        // "Номер порта" names the port the unit answered on.
        QCOMPARE(r.link.choices().portText(), tag == Tag::NameRead ? QStringLiteral("3") : QString());
    }

    void fiveSilentPollsWaitTheSixthGivesUp()
    {
        Rig r;
        QString param = QStringLiteral("3");
        r.link.PoiskUstroistva(param);
        for (int i = 0; i < 5; ++i)
            r.link.receiveTick();
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameReading);
        r.link.receiveTick();
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameNotRead);
        // After the verdict the pump neither hands nor drops what comes.
        r.port.feed(reply("ZORGEL-GSM8T    "));
        r.link.receiveTick();
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameNotRead);
        QVERIFY(r.link.UstroistvoNameClear.isEmpty());
    }

    void requestGoesOutAloneAfterStaleInput()
    {
        Rig r;
        r.link.OpenUsbComPort(QStringLiteral("3"));
        r.port.feed("#4000=OLD-NAME-FROM-BEFO\r\n");
        r.port.onWrite = [&](const QByteArray &) { r.port.feed(reply("ZORGEL-GSM4     ")); };
        QString param = QStringLiteral("3");
        r.link.PoiskUstroistva(param);
        QCOMPARE(r.port.writes, QList<QByteArray>{"#4000"});
        r.link.receiveTick();
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameRead);
        QCOMPARE(r.link.deviceName(), QStringLiteral("ZORGEL-GSM4     "));
        QVERIFY(r.queue.LinkFree());
    }

    void emptyParameterUsesThePageChoice()
    {
        Rig r;
        r.link.choices().setPortText(QStringLiteral("6"));
        QString param;
        r.link.PoiskUstroistva(param);
        QCOMPARE(r.port.portNumber, 6);
    }

    void failures_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<int>("writeError");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<int>("writes");
        QTest::newRow("port cannot open") << true << 0 << StatusModel::kNone << 0;
        QTest::newRow("send fails") << false << 8012 << QStringLiteral("Ошибка передачи 8012") << 0;
    }
    void failures()
    {
        QFETCH(bool, missing);
        QFETCH(int, writeError);
        QFETCH(QString, connection);
        QFETCH(int, writes);
        Rig r;
        if (missing)
            r.port.missingPorts.insert(3);
        r.port.failWritesWith = writeError;
        r.queue.setLinkFree(false);
        QString param = QStringLiteral("3");
        r.link.PoiskUstroistva(param);
        QCOMPARE(r.link.RPF_02VektorPriemaIsPorta, Tag::NameNotRead);
        QCOMPARE(r.status.connection(), connection);
        QCOMPARE(int(r.port.writes.size()), writes);
        QVERIFY(r.queue.LinkFree());
        QVERIFY(r.messages.texts.isEmpty());
    }

    void newSearchForgetsTheOldName()
    {
        Rig r;
        QString param = QStringLiteral("3");
        r.link.PoiskUstroistva(param);
        r.port.feed(reply("ZORGEL-GSM4     "));
        r.link.receiveTick();
        QCOMPARE(r.link.UstroistvoNameClear, QByteArray("ZORGEL-GSM4     "));
        param = QStringLiteral("3");
        r.link.PoiskUstroistva(param);
        QVERIFY(r.link.UstroistvoNameClear.isEmpty());
        QVERIFY(r.link.UstroistvoName.isEmpty());
        QCOMPARE(r.link.NameByteCount, 0);
        r.port.feed(reply("ZORGEL-GSM12T   ").left(12));
        r.link.receiveTick();
        r.port.feed(reply("ZORGEL-GSM12T   ").mid(12));
        r.link.receiveTick();
        QCOMPARE(r.link.UstroistvoNameClear, QByteArray("ZORGEL-GSM12T   "));
        QCOMPARE(r.link.identificationCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestIdentification)
#include "tst_identification.moc"
