#include <QtTest>
#include "MonitorTestRig.h"

using Kind = MonitorDecoder::Kind;

class TestMonitorExchange : public QObject {
    Q_OBJECT
private slots:
    void start_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<int>("writeError");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<bool>("linkFree");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("active unit") << true << 0 << Tag::Monitoring << false << QByteArray("#6002");
        QTest::newRow("port not active") << false << 0 << Tag::MonitoringRefused << true << QByteArray();
        QTest::newRow("send fails") << true << 8018 << Tag::TransferError << true << QByteArray();
    }
    void start()
    {
        QFETCH(bool, active);
        QFETCH(int, writeError);
        QFETCH(QString, tag);
        QFETCH(bool, linkFree);
        QFETCH(QByteArray, written);
        MonitorTestRig rig;
        if (!active)
            rig.status.setConnection(StatusModel::kPassive);
        rig.port.failWritesWith = writeError;
        rig.port.feed("stale");
        rig.queue.post(Cmd::MonitoringProcess);
        rig.queue.pump();
        QCOMPARE(rig.tag(), tag);
        QCOMPARE(rig.queue.LinkFree(), linkFree);
        QCOMPARE(rig.port.written(), written);
        // Stale input never counts as the reply.
        rig.poll();
        QCOMPARE(rig.exchange.SchetchikMonitoringa, qint64(0));
    }

    // A whole reply is taken once, more than five silent polls after its last piece.
    void wholeReplyAfterQuiet_data()
    {
        QTest::addColumn<QList<int>>("pieces");
        QTest::addColumn<QStringList>("counters");
        QTest::newRow("one piece") << QList<int>{64} << QStringList{"64 / 64 байт"};
        QTest::newRow("20, 20 and 24") << QList<int>{20, 20, 24}
                                       << QStringList{"20 / 64 байт", "40 / 64 байт", "64 / 64 байт"};
        QTest::newRow("63 then 1") << QList<int>{63, 1} << QStringList{"63 / 64 байт", "64 / 64 байт"};
    }
    void wholeReplyAfterQuiet()
    {
        QFETCH(QList<int>, pieces);
        QFETCH(QStringList, counters);
        MonitorTestRig rig;
        QSignalSpy decoded(&rig.exchange, &MonitorExchange::readingsChanged);
        rig.exchange.MonitoringProcess();
        const QByteArray reply = measurementReply();
        qsizetype at = 0;
        for (int i = 0; i < pieces.size(); ++i) {
            rig.port.feed(reply.mid(at, pieces.at(i)));
            at += pieces.at(i);
            rig.poll();
            QCOMPARE(rig.status.counter(), counters.at(i));
        }
        rig.poll(MonitorExchange::kQuietPolls);
        QCOMPARE(rig.tag(), Tag::Monitoring);
        QCOMPARE(decoded.count(), 0);
        rig.poll();
        QCOMPARE(rig.tag(), Tag::MonitoringOk);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(decoded.count(), 1);
        QCOMPARE(rig.exchange.readings().battery, QStringLiteral("12.60"));
        QCOMPARE(int(rig.exchange.SlovaKadra[17]), 375);
        QCOMPARE(rig.status.bar(), QStringLiteral(" ") + QString(50, QLatin1Char('I')));
        QCOMPARE(rig.exchange.journal().size(), 1);
        rig.poll(20);
        QCOMPARE(decoded.count(), 1);
    }

    // Any other count, nothing at all included, ends as a transfer error after a long silence.
    void wrongCountAfterLongSilence_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("bar");
        QTest::newRow("silent unit") << 0 << " ";
        QTest::newRow("one byte") << 1 << " I";
        QTest::newRow("half") << 32 << " " + QString(25, QLatin1Char('I'));
        QTest::newRow("63 bytes") << 63 << " " + QString(49, QLatin1Char('I'));
        QTest::newRow("70 bytes") << 70 << " " + QString(55, QLatin1Char('I'));
    }
    void wrongCountAfterLongSilence()
    {
        QFETCH(int, count);
        QFETCH(QString, bar);
        MonitorTestRig rig;
        QSignalSpy decoded(&rig.exchange, &MonitorExchange::readingsChanged);
        rig.exchange.MonitoringProcess();
        if (count > 0) {
            rig.port.feed(measurementReply().leftJustified(count, 'Z', true));
            rig.poll();
        }
        rig.poll(MonitorExchange::kGiveUpPolls);
        QCOMPARE(rig.tag(), Tag::Monitoring);
        QVERIFY(!rig.queue.LinkFree());
        rig.poll();
        QCOMPARE(rig.tag(), Tag::TransferError);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.status.counter(), QStringLiteral("%1 / 64 байт").arg(count));
        QCOMPARE(rig.status.bar(), bar);
        QCOMPARE(decoded.count(), 0);
        QVERIFY(rig.messages.texts.isEmpty());
    }

    // A unit that never falls silent gets a fixed number of polls from the request.
    void deadlineFromRequest_data()
    {
        QTest::addColumn<int>("bytesPerPoll");
        QTest::addColumn<int>("every");   // polls between bytes
        QTest::newRow("one byte every poll") << 1 << 1;
        QTest::newRow("one byte every fifth poll") << 1 << 5;
        QTest::newRow("a whole frame every poll") << 64 << 1;
    }
    void deadlineFromRequest()
    {
        QFETCH(int, bytesPerPoll);
        QFETCH(int, every);
        MonitorTestRig rig;
        rig.exchange.MonitoringProcess();
        for (int poll = 1; poll <= MonitorExchange::kDeadlinePolls; ++poll) {
            if (poll % every == 0)
                rig.port.feed(QByteArray(bytesPerPoll, 'Z'));
            rig.poll();
        }
        QCOMPARE(rig.tag(), Tag::Monitoring);
        rig.port.feed(QByteArray(bytesPerPoll, 'Z'));
        rig.poll();
        QCOMPARE(rig.tag(), Tag::TransferError);
        QVERIFY(rig.queue.LinkFree());
        QVERIFY(rig.exchange.BuferMonitoringa.size() <= MonitorExchange::kBufferLimit);
    }

    void wrongFrameKindIsRejected()
    {
        MonitorTestRig rig;
        rig.exchange.MonitoringProcess();
        rig.deliver(measurementReply(), 64);
        rig.poll(MonitorExchange::kQuietPolls + 1);
        const QString battery = rig.exchange.readings().battery;
        QCOMPARE(battery, QStringLiteral("12.60"));

        QSignalSpy decoded(&rig.exchange, &MonitorExchange::readingsChanged);
        rig.exchange.MonitoringProcess();
        QByteArray reply = measurementReply(805);
        reply[63] = char(2);
        rig.deliver(reply, 64);
        rig.poll(MonitorExchange::kQuietPolls + 1);
        QCOMPARE(rig.tag(), Tag::TransferError);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.messages.texts, QStringList{MonitorExchange::kFrameError});
        QCOMPARE(rig.exchange.readings().battery, battery);
        QCOMPARE(rig.exchange.readings().state[1], QStringLiteral("n"));
        QCOMPARE(decoded.count(), 0);
        QCOMPARE(rig.exchange.journal().size(), 1);
    }

    void stopWhileRequestIsOut()
    {
        MonitorTestRig rig;
        rig.exchange.Command1_Click();
        rig.exchange.MonitoringProcess();
        rig.exchange.Command2_Click();
        QVERIFY(!rig.exchange.pollTimer().isActive());
        rig.deliver(measurementReply(805), 64);
        rig.poll(MonitorExchange::kQuietPolls + 1);
        QCOMPARE(rig.tag(), Tag::MonitoringOk);
        QCOMPARE(rig.exchange.readings().state[4], QStringLiteral("H"));
        QVERIFY(!rig.exchange.pollTimer().isActive());
    }

    void receivingStopsThePollTimer()
    {
        MonitorTestRig rig;
        rig.exchange.Command1_Click();
        rig.exchange.MonitoringProcess();
        QVERIFY(rig.exchange.pollTimer().isActive());
        rig.poll();
        QVERIFY(!rig.exchange.pollTimer().isActive());
        // The supervision's re-check turns it on again.
        rig.exchange.ProverkaKnopok();
        QVERIFY(rig.exchange.pollTimer().isActive());
    }

    // The timer switch and what drives it: buttons, page visibility, the status panel.
    void timerSwitch_data()
    {
        QTest::addColumn<QString>("actions");
        QTest::addColumn<bool>("start");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<bool>("timer");
        QTest::newRow("as designed") << "check" << true << true << false;
        QTest::newRow("start") << "start" << false << true << true;
        QTest::newRow("start then stop") << "start stop check" << true << false << false;
        QTest::newRow("offline") << "start offline check" << false << false << false;
        QTest::newRow("offline then online") << "offline online check" << false << true << true;
        QTest::newRow("online while stopped") << "start stop online check" << true << true << false;
        QTest::newRow("hidden page") << "start hide check" << false << true << false;
        QTest::newRow("shown again") << "start hide check show check" << false << true << true;
        QTest::newRow("deactivated") << "start deactivate" << false << true << false;
    }
    void timerSwitch()
    {
        QFETCH(QString, actions);
        QFETCH(bool, start);
        QFETCH(bool, stop);
        QFETCH(bool, timer);
        MonitorTestRig rig;
        for (const QString &action : actions.split(QLatin1Char(' '))) {
            if (action == QLatin1String("check"))
                rig.exchange.ProverkaKnopok();
            else if (action == QLatin1String("start"))
                rig.exchange.Command1_Click();
            else if (action == QLatin1String("stop"))
                rig.exchange.Command2_Click();
            else if (action == QLatin1String("offline"))
                rig.exchange.goOffline();
            else if (action == QLatin1String("online"))
                rig.exchange.goOnline();
            else if (action == QLatin1String("hide"))
                rig.visible = false;
            else if (action == QLatin1String("show"))
                rig.visible = true;
            else if (action == QLatin1String("deactivate"))
                rig.exchange.Form_Deactivate();
            else
                QFAIL(qPrintable(action));
        }
        QCOMPARE(rig.exchange.startEnabled(), start);
        QCOMPARE(rig.exchange.stopEnabled(), stop);
        QCOMPARE(rig.exchange.pollTimer().isActive(), timer);
    }

    void period_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("interval");
        QTest::newRow("1") << 1 << 500;
        QTest::newRow("5") << 5 << 2500;
        QTest::newRow("10") << 10 << 5000;
        QTest::newRow("below the range") << 0 << 500;
        QTest::newRow("above the range") << 11 << 5000;
    }
    void period()
    {
        QFETCH(int, position);
        QFETCH(int, interval);
        MonitorTestRig rig;
        QCOMPARE(rig.exchange.pollTimer().interval(), 2500);
        rig.exchange.setPosition(position);
        QCOMPARE(rig.exchange.pollTimer().interval(), interval);
        QCOMPARE(rig.exchange.PeriodOprosa(), interval / 1000.0);
    }

    void pollTickQueuesOneRequest_data()
    {
        QTest::addColumn<bool>("linkFree");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QString>("queued");
        QTest::addColumn<int>("refreshes");
        QTest::newRow("link free") << true << 1 << "MonitoringProcess,|" << 1;
        QTest::newRow("two ticks before the queue runs") << true << 2 << "MonitoringProcess,|" << 2;
        QTest::newRow("link busy") << false << 1 << "" << 0;
    }
    void pollTickQueuesOneRequest()
    {
        QFETCH(bool, linkFree);
        QFETCH(int, ticks);
        QFETCH(QString, queued);
        QFETCH(int, refreshes);
        MonitorTestRig rig;
        rig.queue.setLinkFree(linkFree);
        for (int i = 0; i < ticks; ++i)
            rig.exchange.pollTick();
        QCOMPARE(rig.queue.CommandQueueText(), queued);
        QCOMPARE(rig.inputRefreshes, refreshes);
        QCOMPARE(rig.deviceRefreshes, refreshes);
    }

    void unknownModelQueuesOneConfigurationRead()
    {
        MonitorTestRig rig;
        rig.inputs = std::nullopt;
        rig.model = QStringLiteral("нет данных");
        rig.exchange.Command1_Click();
        for (int tick = 0; tick < 5; ++tick) {
            rig.exchange.pollTick();
            rig.queue.pump();   // both commands run; the read ends at once without a reply handler
            rig.queue.pump();
            rig.queue.setLinkFree(true);
        }
        QCOMPARE(rig.queue.CommandQueueText(), QString());
        QCOMPARE(rig.port.writes.count(QByteArray("#6002")), 5);
        QCOMPARE(rig.messages.texts.count(CommandQueue::kUnknownCommand), 1);   // the one read, no starter here
        // A new start may try once more.
        rig.exchange.Command1_Click();
        rig.exchange.pollTick();
        QCOMPARE(rig.queue.CommandQueueText(), QStringLiteral("ConfiguraciaReadProcess,|MonitoringProcess,|"));
        QCOMPARE(rig.exchange.layout()[2].caption, QStringLiteral("2 "));
        QCOMPARE(rig.exchange.pictureIndex(), -1);
    }

    void layoutFollowsTheModel_data()
    {
        QTest::addColumn<int>("inputs");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("picture");
        QTest::addColumn<QString>("row4");
        QTest::addColumn<bool>("row5");
        QTest::newRow("GSM4") << 4 << "ЗОРГЕЛ-GSM4" << 0 << "2 " << false;
        QTest::newRow("GSM8T") << 8 << "ЗОРГЕЛ-GSM8T" << 3 << "4 " << false;
        QTest::newRow("GSM12T") << 12 << "ЗОРГЕЛ-GSM12T" << 5 << "4 " << true;
    }
    void layoutFollowsTheModel()
    {
        QFETCH(int, inputs);
        QFETCH(QString, model);
        QFETCH(int, picture);
        QFETCH(QString, row4);
        QFETCH(bool, row5);
        MonitorTestRig rig;
        rig.inputs = inputs;
        rig.model = model;
        rig.exchange.pollTick();
        QCOMPARE(rig.exchange.pictureIndex(), picture);
        QCOMPARE(rig.exchange.layout()[4].caption, row4);
        QCOMPARE(rig.exchange.layout()[5].visible, row5);
        QCOMPARE(rig.queue.CommandQueueText(), QStringLiteral("MonitoringProcess,|"));
    }

    void activationClearsProgressAndWords()
    {
        MonitorTestRig rig;
        rig.exchange.MonitoringProcess();
        rig.deliver(measurementReply(), 64);
        rig.poll(MonitorExchange::kQuietPolls + 1);
        QCOMPARE(int(rig.exchange.SlovaKadra[14]), 877);
        rig.exchange.Form_Activate();
        QCOMPARE(rig.status.counter(), QString());
        QCOMPARE(rig.status.bar(), QString());
        QCOMPARE(int(rig.exchange.SlovaKadra[14]), 0);
        QCOMPARE(rig.exchange.readings().battery, QStringLiteral("12.60"));
    }
};

QTEST_GUILESS_MAIN(TestMonitorExchange)
#include "tst_monitorexchange.moc"
