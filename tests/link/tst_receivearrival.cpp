#include <QtTest>
#include "LinkRig.h"
#include "link/OperationTags.h"

// Bytes reaching the port between polls: handed over at once to an exchange that asked for it.
class TestReceiveArrival : public QObject {
    Q_OBJECT
private slots:
    void arrivalReachesOnlyExchangesThatAskForIt_data()
    {
        QTest::addColumn<bool>("onArrival");
        QTest::addColumn<bool>("tagSet");
        QTest::addColumn<int>("calls");      // handler calls from the arrival alone
        QTest::addColumn<QByteArray>("got");
        QTest::newRow("lock-step write") << true << true << 1 << QByteArray("OK");
        QTest::newRow("exchange that waits for the poll") << false << true << 0 << QByteArray();
        QTest::newRow("no exchange in progress") << true << false << 0 << QByteArray();
    }
    void arrivalReachesOnlyExchangesThatAskForIt()
    {
        QFETCH(bool, onArrival);
        QFETCH(bool, tagSet);
        QFETCH(int, calls);
        QFETCH(QByteArray, got);
        LinkRig rig;
        rig.link.OpenUsbComPort(QStringLiteral("1"));
        QByteArray received;
        int handlerCalls = 0;
        int idleSeen = -1;
        rig.link.setHandler(
            Tag::FirmwareWrite,
            [&](QByteArray &text, int &idle) {
                ++handlerCalls;
                received += text;
                idleSeen = idle;
            },
            onArrival ? SerialLink::Dispatch::OnArrival : SerialLink::Dispatch::OnPoll);
        if (tagSet)
            rig.link.RPF_02VektorPriemaIsPorta = Tag::FirmwareWrite;
        rig.link.IdlePollCount = 7;
        rig.port.arrive("OK");
        QCOMPARE(handlerCalls, calls);
        QCOMPARE(received, got);
        if (calls > 0)
            QCOMPARE(idleSeen, 0);
    }

    void handlerIsNeverReentered()
    {
        LinkRig rig;
        rig.link.OpenUsbComPort(QStringLiteral("1"));
        int depth = 0;
        int deepest = 0;
        QByteArray received;
        rig.link.setHandler(
            Tag::FirmwareWrite,
            [&](QByteArray &text, int &) {
                ++depth;
                deepest = qMax(deepest, depth);
                received += text;
                // A reply arriving while the handler runs (it sends, or shows a box) waits for later.
                if (text == "first")
                    rig.port.arrive("second");
                --depth;
            },
            SerialLink::Dispatch::OnArrival);
        rig.link.RPF_02VektorPriemaIsPorta = Tag::FirmwareWrite;
        rig.port.arrive("first");
        QCOMPARE(deepest, 1);
        QCOMPARE(received, QByteArray("first"));
        rig.link.receiveTick();
        QCOMPARE(received, QByteArray("firstsecond"));
    }

    void silenceIsCountedByPollsOnly()
    {
        LinkRig rig;
        rig.link.OpenUsbComPort(QStringLiteral("1"));
        QList<int> idles;
        rig.link.setHandler(
            Tag::FirmwareWrite, [&](QByteArray &, int &idle) { idles << idle; }, SerialLink::Dispatch::OnArrival);
        rig.link.RPF_02VektorPriemaIsPorta = Tag::FirmwareWrite;
        rig.link.receiveTick();
        rig.link.receiveTick();
        rig.port.arrive(QByteArray());   // a notification with nothing to read calls nobody
        rig.link.receiveTick();
        rig.port.arrive("O");
        rig.link.receiveTick();
        QCOMPARE(idles, (QList<int>{1, 2, 3, 0, 1}));
    }

    void readErrorOnArrivalDropsTheExchange()
    {
        LinkRig rig;
        rig.link.OpenUsbComPort(QStringLiteral("1"));
        QStringList dropped;
        connect(&rig.link, &SerialLink::exchangeDropped, this, [&](const QString &tag) { dropped << tag; });
        rig.link.setHandler(
            Tag::FirmwareWrite, [](QByteArray &, int &) {}, SerialLink::Dispatch::OnArrival);
        rig.link.RPF_02VektorPriemaIsPorta = Tag::FirmwareWrite;
        rig.port.failReadsWith = SerialPort::ReadError;
        rig.port.arrive("OK");
        QVERIFY(!rig.link.isOpen());
        QVERIFY(rig.link.RPF_02VektorPriemaIsPorta.isEmpty());
        QCOMPARE(dropped, QStringList{Tag::FirmwareWrite});
    }
};

QTEST_GUILESS_MAIN(TestReceiveArrival)
#include "tst_receivearrival.moc"
