#include <QtTest>
#include "MonitorTestRig.h"

using Kind = MonitorDecoder::Kind;

class TestMonitorExchange : public QObject {
    Q_OBJECT
private slots:
    // The monitoring exchange's literal timings and texts, written out as the unit and the user know
    // them, beside the constants the exchange uses.
    void timingsAndTexts_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("used");
        const auto n = [](double v) { return QString::number(v); };
        QTest::newRow("request") << "#6002" << QString::fromLatin1(MonitorExchange::kRequest);
        QTest::newRow("reply bytes") << "64" << n(MonitorExchange::kReplySize);
        QTest::newRow("whole reply: silent polls after it") << "1" << n(MonitorExchange::kCompleteQuietPolls);
        QTest::newRow("give-up: more than this many silent polls") << "100" << n(MonitorExchange::kGiveUpPolls);
        QTest::newRow("scroll bar range and design position")
            << "1 10 5"
            << QStringLiteral("%1 %2 %3").arg(MonitorExchange::kMinPosition).arg(MonitorExchange::kMaxPosition)
                   .arg(MonitorExchange::kDesignPosition);
        QTest::newRow("reference volts") << "1.2095" << n(MonitorDecoder::kVrefVolt);
        QTest::newRow("full scale") << "1023" << n(MonitorDecoder::kFullScale);
        QTest::newRow("tag in progress") << "Мониторинг в процессе" << Tag::Monitoring;
        QTest::newRow("tag received") << "Получено успешно" << Tag::MonitoringOk;
        QTest::newRow("tag refused") << "Выполнение невозможно" << Tag::MonitoringRefused;
        QTest::newRow("tag transfer error") << "Ошибка передачи" << Tag::TransferError;
        QTest::newRow("command") << "MonitoringProcess" << Cmd::MonitoringProcess;
        QTest::newRow("frame kind message") << "Ошибка кадра." << MonitorExchange::kFrameError;
        QTest::newRow("no answer notice") << "Устройство не ответило на запрос мониторинга (подряд: 2)"
                                          << MonitorExchange::kNoAnswer + MonitorExchange::kInRow.arg(2);
    }
    void timingsAndTexts()
    {
        QFETCH(QString, literal);
        QFETCH(QString, used);
        QCOMPARE(used, literal);
    }

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

    // A whole reply is taken once, at the first silent poll after its last piece.
    void wholeReplyAfterQuiet_data()
    {
        QTest::addColumn<QList<int>>("pieces");   // bytes per poll; 0 is a silent poll
        QTest::addColumn<QStringList>("counters");
        QTest::newRow("one piece") << QList<int>{64} << QStringList{"64 / 64 байт"};
        QTest::newRow("20, 20 and 24") << QList<int>{20, 20, 24}
                                       << QStringList{"20 / 64 байт", "40 / 64 байт", "64 / 64 байт"};
        QTest::newRow("63 then 1") << QList<int>{63, 1} << QStringList{"63 / 64 байт", "64 / 64 байт"};
        QTest::newRow("63, five silent polls, then 1")
            << QList<int>{63, 0, 0, 0, 0, 0, 1}
            << QStringList{"63 / 64 байт", "63 / 64 байт", "63 / 64 байт", "63 / 64 байт", "63 / 64 байт",
                           "63 / 64 байт", "64 / 64 байт"};
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
            QCOMPARE(rig.tag(), Tag::Monitoring);
        }
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
        QTest::addColumn<bool>("endsAtOnce");   // more bytes than a reply has are not waited out
        QTest::newRow("silent unit") << 0 << " " << false;
        QTest::newRow("one byte") << 1 << " I" << false;
        QTest::newRow("half") << 32 << " " + QString(25, QLatin1Char('I')) << false;
        QTest::newRow("63 bytes") << 63 << " " + QString(49, QLatin1Char('I')) << false;
        QTest::newRow("70 bytes") << 70 << " " + QString(55, QLatin1Char('I')) << true;
    }
    void wrongCountAfterLongSilence()
    {
        QFETCH(int, count);
        QFETCH(QString, bar);
        QFETCH(bool, endsAtOnce);
        MonitorTestRig rig;
        QSignalSpy decoded(&rig.exchange, &MonitorExchange::readingsChanged);
        rig.exchange.MonitoringProcess();
        if (count > 0) {
            rig.port.feed(measurementReply().leftJustified(count, 'Z', true));
            rig.poll();
        }
        if (!endsAtOnce) {
            rig.poll(MonitorExchange::kGiveUpPolls);
            QCOMPARE(rig.tag(), Tag::Monitoring);
            QVERIFY(!rig.queue.LinkFree());
            rig.poll();
        }
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
        QTest::addColumn<int>("endsAt");  // the poll that ends it: the deadline, or more than 64 bytes
        QTest::newRow("one byte every poll") << 1 << 1 << 65;
        QTest::newRow("one byte every fifth poll") << 1 << 5 << 201;
        QTest::newRow("a whole frame every poll") << 64 << 1 << 2;
    }
    void deadlineFromRequest()
    {
        QFETCH(int, bytesPerPoll);
        QFETCH(int, every);
        QFETCH(int, endsAt);
        MonitorTestRig rig;
        rig.exchange.MonitoringProcess();
        for (int poll = 1; poll < endsAt; ++poll) {
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
        rig.poll(MonitorExchange::kCompleteQuietPolls);
        const QString battery = rig.exchange.readings().battery;
        QCOMPARE(battery, QStringLiteral("12.60"));

        QSignalSpy decoded(&rig.exchange, &MonitorExchange::readingsChanged);
        rig.exchange.MonitoringProcess();
        QByteArray reply = measurementReply(805);
        reply[63] = char(2);
        rig.deliver(reply, 64);
        rig.poll(MonitorExchange::kCompleteQuietPolls);
        QCOMPARE(rig.tag(), Tag::TransferError);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.messages.texts, QStringList{MonitorExchange::kFrameError});
        QCOMPARE(rig.exchange.readings().battery, battery);
        QCOMPARE(rig.exchange.readings().state[1], QStringLiteral("n"));
        QCOMPARE(decoded.count(), 0);
        QCOMPARE(rig.exchange.journal().size(), 1);
    }

    // A count above 1023 in a word the page does not show, or in any other, keeps the frame and the
    // link: no message, the reply is taken and only the values of that count show "—".
    void countAboveFullScaleKeepsTheLink_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("inputs");
        QTest::addColumn<QString>("row2");   // volts of row 2 as shown
        QTest::newRow("T1 channel, never shown") << 16 << 8 << "6.30 ";
        QTest::newRow("row hidden on a 4-input unit") << 2 << 4 << "— ";
        QTest::newRow("shown input") << 2 << 8 << "— ";
    }
    void countAboveFullScaleKeepsTheLink()
    {
        QFETCH(int, word);
        QFETCH(int, inputs);
        QFETCH(QString, row2);
        MonitorTestRig rig;
        rig.inputs = inputs;
        rig.exchange.pollTick();
        QByteArray reply = measurementReply();
        reply[2 * word - 2] = char(0xFF);
        reply[2 * word - 1] = char(0xFF);
        rig.deliver(reply, 64);
        rig.poll();
        QCOMPARE(rig.tag(), Tag::MonitoringOk);
        QVERIFY(rig.queue.LinkFree());
        QVERIFY(rig.link.isOpen());
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.exchange.readings().volt[2], row2);
        QCOMPARE(rig.exchange.readings().battery, QStringLiteral("12.60"));
    }

    void stopWhileRequestIsOut()
    {
        MonitorTestRig rig;
        rig.exchange.Command1_Click();
        rig.exchange.MonitoringProcess();
        rig.exchange.Command2_Click();
        QVERIFY(!rig.exchange.pollTimer().isActive());
        rig.deliver(measurementReply(805), 64);
        rig.poll(MonitorExchange::kCompleteQuietPolls);
        QCOMPARE(rig.tag(), Tag::MonitoringOk);
        QCOMPARE(rig.exchange.readings().state[4], QStringLiteral("H"));
        QVERIFY(!rig.exchange.pollTimer().isActive());
    }

    // The next request is due one period after the last one went out, not after its reply; the
    // first goes out at once. Times in ms on the test's clock.
    void requestsKeepThePeriod_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("replyEndsAfter");   // ms after the request
        QTest::addColumn<int>("dueAfterReply");    // ms from the reply's end to the next request
        QTest::newRow("0.5 s, reply after 67 ms") << 1 << 67 << 433;
        QTest::newRow("0.5 s, reply after 150 ms") << 1 << 150 << 350;
        QTest::newRow("2.5 s, reply after 100 ms") << 5 << 100 << 2400;
        QTest::newRow("5 s, reply after 300 ms") << 10 << 300 << 4700;
        QTest::newRow("0.5 s, reply after 600 ms: at once") << 1 << 600 << 0;
    }
    void requestsKeepThePeriod()
    {
        QFETCH(int, position);
        QFETCH(int, replyEndsAfter);
        QFETCH(int, dueAfterReply);
        MonitorTestRig rig;
        rig.exchange.setPosition(position);
        QCOMPARE(rig.exchange.dueInMs(), 0);
        rig.exchange.Command1_Click();
        // The first request is due at once.
        QVERIFY(rig.exchange.dueTimer().isActive());
        QCOMPARE(rig.exchange.dueTimer().interval(), 0);
        rig.exchange.pollTick();
        QCOMPARE(rig.port.writes, QList<QByteArray>{"#6002"});
        QVERIFY(!rig.exchange.dueTimer().isActive());
        QVERIFY(rig.exchange.pollTimer().isActive());
        QCOMPARE(rig.exchange.pollTimer().interval(), position * 500);
        rig.clock.time = rig.clock.time.addMSecs(replyEndsAfter);
        rig.port.feed(measurementReply());
        rig.poll();
        // The timer keeps running while the reply comes.
        QVERIFY(rig.exchange.pollTimer().isActive());
        rig.poll();
        QCOMPARE(rig.tag(), Tag::MonitoringOk);
        QCOMPARE(rig.exchange.dueInMs(), dueAfterReply);
    }

    // "Стоп" and "Старт" within a period wait for the rest of it; a longer pause polls at once.
    void restartWithinAPeriod_data()
    {
        QTest::addColumn<int>("pause");
        QTest::addColumn<bool>("due");
        QTest::addColumn<int>("interval");
        QTest::newRow("after 200 ms") << 200 << true << 300;
        QTest::newRow("after 499 ms") << 499 << true << 1;
        QTest::newRow("after 500 ms") << 500 << true << 0;
        QTest::newRow("after 3 s") << 3000 << true << 0;
    }
    void restartWithinAPeriod()
    {
        QFETCH(int, pause);
        QFETCH(bool, due);
        QFETCH(int, interval);
        MonitorTestRig rig;
        rig.exchange.setPosition(1);
        rig.exchange.Command1_Click();
        rig.exchange.pollTick();
        rig.deliver(measurementReply(), 64);
        rig.poll();
        rig.exchange.Command2_Click();
        QVERIFY(!rig.exchange.dueTimer().isActive());
        rig.clock.time = rig.clock.time.addMSecs(pause);
        rig.exchange.Command1_Click();
        QCOMPARE(rig.exchange.dueTimer().isActive(), due);
        QCOMPARE(rig.exchange.dueTimer().interval(), interval);
    }

    // A poll that finds the link held goes out as soon as the link is free again.
    void pollWhileTheLinkIsHeld_data()
    {
        QTest::addColumn<QString>("holder");   // the tag of the exchange that holds the link
        QTest::addColumn<bool>("soonTimer");   // the own reply: the request leaves from the event loop
        QTest::newRow("own reply still coming") << Tag::Monitoring << true;
        QTest::newRow("configuration read") << Tag::ConfigRead << false;
        QTest::newRow("firmware write") << Tag::FirmwareWrite << false;
    }
    void pollWhileTheLinkIsHeld()
    {
        QFETCH(QString, holder);
        QFETCH(bool, soonTimer);
        MonitorTestRig rig;
        rig.exchange.setPosition(1);
        rig.exchange.Command1_Click();
        rig.exchange.pollTick();
        rig.port.writes.clear();
        if (holder != Tag::Monitoring) {
            rig.deliver(measurementReply(), 64);
            rig.poll();
        }
        rig.link.RPF_02VektorPriemaIsPorta = holder;
        rig.queue.setLinkFree(false);
        rig.exchange.dueTimer().stop();
        rig.exchange.pollTick();
        QVERIFY(rig.port.writes.isEmpty());
        if (holder == Tag::Monitoring) {
            rig.deliver(measurementReply(), 64);
            rig.poll();
            QCOMPARE(rig.tag(), Tag::MonitoringOk);
        } else {
            rig.link.RPF_02VektorPriemaIsPorta = Tag::ReadOk;
            rig.queue.setLinkFree(true);
        }
        QCOMPARE(rig.exchange.dueTimer().isActive(), soonTimer);
        if (soonTimer) {
            QCOMPARE(rig.exchange.dueTimer().interval(), 0);
            return;
        }
        // The supervision's re-check sends it; with no supervision at hand, a read's final tag
        // still waits for its follow-up, so the request is queued.
        rig.exchange.ProverkaKnopok();
        QCOMPARE(rig.queue.CommandQueueText(), QStringLiteral("MonitoringProcess,|"));
    }

    // A request posted while the link is free starts at once, unless the last exchange still
    // waits for the supervision's follow-up.
    void requestStartsAtOnce_data()
    {
        QTest::addColumn<QString>("lastTag");
        QTest::addColumn<bool>("sent");
        QTest::newRow("idle") << "" << true;
        QTest::newRow("after a reply") << Tag::MonitoringOk << true;
        QTest::newRow("after a refusal") << Tag::MonitoringRefused << true;
        QTest::newRow("transfer error: the port must close first") << Tag::TransferError << false;
        QTest::newRow("read done: the pages refill first") << Tag::ReadOk << false;
        QTest::newRow("unit found: the follow-up first") << Tag::NameRead << false;
    }
    void requestStartsAtOnce()
    {
        QFETCH(QString, lastTag);
        QFETCH(bool, sent);
        MonitorTestRig rig;
        rig.link.RPF_02VektorPriemaIsPorta = lastTag;
        rig.exchange.pollTick();
        QCOMPARE(rig.port.written(), sent ? QByteArray("#6002") : QByteArray());
        QCOMPARE(rig.queue.CommandQueueText(), sent ? QString() : QStringLiteral("MonitoringProcess,|"));
        // With the supervision at hand, it is asked to start the queue now.
        MonitorTestRig wired;
        int ticks = 0;
        wired.link.RPF_02VektorPriemaIsPorta = lastTag;
        MonitorExchange::Hooks hooks;
        hooks.inputCount = [] { return 8; };
        hooks.startQueued = [&] {
            ++ticks;
            wired.queue.pump();
        };
        wired.exchange.setHooks(hooks);
        wired.exchange.pollTick();
        QCOMPARE(ticks, 1);
        QCOMPARE(wired.port.written(), QByteArray("#6002"));
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
        QTest::addColumn<int>("sent");
        QTest::newRow("link free: starts at once") << true << 1 << "" << 1 << 1;
        QTest::newRow("second tick while the reply comes") << true << 2 << "" << 1 << 1;
        QTest::newRow("link busy") << false << 1 << "" << 0 << 0;
    }
    void pollTickQueuesOneRequest()
    {
        QFETCH(bool, linkFree);
        QFETCH(int, ticks);
        QFETCH(QString, queued);
        QFETCH(int, refreshes);
        QFETCH(int, sent);
        MonitorTestRig rig;
        rig.queue.setLinkFree(linkFree);
        for (int i = 0; i < ticks; ++i)
            rig.exchange.pollTick();
        QCOMPARE(rig.queue.CommandQueueText(), queued);
        QCOMPARE(rig.inputRefreshes, refreshes);
        QCOMPARE(rig.deviceRefreshes, refreshes);
        QCOMPARE(int(rig.port.writes.count(QByteArray("#6002"))), sent);
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

    // A model read that failed is tried again when the page is shown again, not on a refill.
    void modelReadRetriedWhenThePageIsShown_data()
    {
        QTest::addColumn<QString>("between");
        QTest::addColumn<QString>("queued");
        QTest::newRow("page shown again") << "shown" << "ConfiguraciaReadProcess,|MonitoringProcess,|";
        QTest::newRow("pages refilled") << "activate" << "MonitoringProcess,|";
        QTest::newRow("nothing") << "" << "MonitoringProcess,|";
    }
    void modelReadRetriedWhenThePageIsShown()
    {
        QFETCH(QString, between);
        QFETCH(QString, queued);
        MonitorTestRig rig;
        rig.inputs = std::nullopt;
        rig.link.RPF_02VektorPriemaIsPorta = Tag::ReadError;
        rig.exchange.Command1_Click();
        rig.exchange.pollTick();
        QCOMPARE(rig.queue.CommandQueueText(), QStringLiteral("ConfiguraciaReadProcess,|MonitoringProcess,|"));
        rig.queue.pump();   // the read, which fails (no starter here)
        rig.queue.pump();
        rig.link.RPF_02VektorPriemaIsPorta = Tag::ReadError;
        rig.queue.setLinkFree(true);
        if (between == QLatin1String("shown"))
            rig.exchange.pageShown();
        else if (between == QLatin1String("activate"))
            rig.exchange.Form_Activate();
        rig.exchange.pollTick();
        QCOMPARE(rig.queue.CommandQueueText(), queued);
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
        QCOMPARE(rig.port.written(), QByteArray("#6002"));
    }

    // What the page tells besides the values: whether they are live, why polling waits, and how
    // many requests in a row went unanswered.
    void liveAndNotice_data()
    {
        QTest::addColumn<QString>("actions");
        QTest::addColumn<bool>("live");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<int>("unanswered");
        const QString old = QStringLiteral("Показания от 09:05:03");
        QTest::newRow("before any reply") << "start" << false << "" << 0;
        QTest::newRow("reply while polling") << "start request reply" << true << "" << 0;
        QTest::newRow("stopped") << "start request reply stop" << false << old << 0;
        QTest::newRow("reply to a request sent before Стоп") << "start request stop reply" << false << old << 0;
        QTest::newRow("port closed") << "start request reply offline" << false << old << 0;
        QTest::newRow("page hidden") << "start request reply hide check" << false << old << 0;
        QTest::newRow("firmware transfer holds the link")
            << "start request reply firmware check" << false
            << "Опрос приостановлен: идёт обмен прошивкой; показания от 09:05:03" << 0;
        QTest::newRow("configuration read holds the link")
            << "start request reply read check" << false
            << "Опрос приостановлен: связь занята другим обменом; показания от 09:05:03" << 0;
        QTest::newRow("held link while stopped: no notice but the time")
            << "request reply firmware check" << false << old << 0;
        QTest::newRow("one unanswered request")
            << "start request silence" << false << "Устройство не ответило на запрос мониторинга (подряд: 1)" << 1;
        QTest::newRow("a reply, then none: old since the reply")
            << "start request reply request silence" << false
            << "Устройство не ответило на запрос мониторинга (подряд: 1); показания от 09:05:03" << 1;
        QTest::newRow("a reply, then a short one") << "start request reply request short" << false << old << 0;
        QTest::newRow("three in a row, across a closed port")
            << "start request silence offline online request silence request silence" << false
            << "Устройство не ответило на запрос мониторинга (подряд: 3)" << 3;
        QTest::newRow("wrong count is not silence") << "start request short" << false << "" << 0;
        QTest::newRow("answered again") << "start request silence request silence request reply" << true << "" << 0;
    }
    void liveAndNotice()
    {
        QFETCH(QString, actions);
        QFETCH(bool, live);
        QFETCH(QString, notice);
        QFETCH(int, unanswered);
        MonitorTestRig rig;
        for (const QString &action : actions.split(QLatin1Char(' '))) {
            if (action == QLatin1String("start"))
                rig.exchange.Command1_Click();
            else if (action == QLatin1String("stop"))
                rig.exchange.Command2_Click();
            else if (action == QLatin1String("request"))
                rig.exchange.MonitoringProcess();
            else if (action == QLatin1String("reply")) {
                rig.deliver(measurementReply(), 64);
                rig.poll();
            } else if (action == QLatin1String("short")) {
                rig.deliver(measurementReply().left(40), 64);
                rig.poll(101);
            } else if (action == QLatin1String("silence"))
                rig.poll(101);
            else if (action == QLatin1String("offline"))
                rig.exchange.goOffline();
            else if (action == QLatin1String("online"))
                rig.exchange.goOnline();
            else if (action == QLatin1String("hide"))
                rig.visible = false;
            else if (action == QLatin1String("check"))
                rig.exchange.ProverkaKnopok();
            else if (action == QLatin1String("firmware") || action == QLatin1String("read")) {
                rig.link.RPF_02VektorPriemaIsPorta = action == QLatin1String("read") ? Tag::ConfigRead : Tag::FirmwareWrite;
                rig.queue.setLinkFree(false);
            } else
                QFAIL(qPrintable(action));
        }
        QCOMPARE(rig.exchange.readingsLive(), live);
        QCOMPARE(rig.exchange.notice(), notice);
        QCOMPARE(rig.exchange.unansweredInRow(), unanswered);
    }

    void activationClearsProgressAndWords()
    {
        MonitorTestRig rig;
        rig.exchange.MonitoringProcess();
        rig.deliver(measurementReply(), 64);
        rig.poll(MonitorExchange::kCompleteQuietPolls);
        QCOMPARE(int(rig.exchange.SlovaKadra[14]), 877);
        rig.exchange.Form_Activate();
        QCOMPARE(rig.status.counter(), QString());
        QCOMPARE(rig.status.bar(), QString());
        QCOMPARE(int(rig.exchange.SlovaKadra[14]), 0);
        QCOMPARE(rig.exchange.readings().battery, QStringLiteral("12.60"));
    }

    // The window's journal goes to a file of its own as the rows come, one file per unit, so
    // neither its memory limit nor closing the window loses a row; a save past that limit says
    // where the older rows are. The unit's name is a text cell there, never a formula.
    void journalGoesToItsFileAsTheRowsCome()
    {
        QTemporaryDir dir;
        auto rig = std::make_unique<MonitorTestRig>();
        rig->exchange.setJournalFolder(dir.filePath(QStringLiteral("Журналы")));
        rig->exchange.startJournal(QStringLiteral("=Склад\x07"));
        const auto frame = [&rig](const QByteArray &reply = measurementReply()) {
            rig->exchange.MonitoringProcess();
            rig->deliver(reply, 64);
            rig->poll();
        };
        const auto lines = [](const QString &path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split("\r\n") : QStringList();
        };
        frame();
        const QString first = rig->exchange.journalFile();
        QCOMPARE(lines(first).size(), 3);   // header, the row, before any end (as a kill leaves it)
        QVERIFY(lines(first).at(1).startsWith("'=Склад\\x07,"));
        // A sensor frame's readings: on the disk at once, then in the next measurement row.
        frame(QByteArray("T1=23.5C;").leftJustified(63, ' ') + '\x01');
        QVERIFY(lines(first).at(2).endsWith(",23.5,,,,,"));
        frame();
        QCOMPARE(lines(first).size(), 4);
        QVERIFY(lines(first).at(2).endsWith(",23.5,,,,,") && !lines(first).at(2).contains(",,,,,,,"));
        for (int i = 3; i <= 50001; ++i)
            frame();
        QCOMPARE(lines(first).size(), 50003);
        QCOMPARE(rig->exchange.journal().size(), 50000);
        ScriptedFileDialogs dialogs;
        dialogs.answers = {dir.filePath(QStringLiteral("saved.csv"))};
        QVERIFY(rig->exchange.saveJournal(dialogs, QString()));
        QCOMPARE(rig->messages.texts, QStringList{"Сохранены последние 50000 строк журнала; все строки, с более "
                                                  "ранними (1), — в файле " + first});
        // Another unit: a file of its own, complete when the window closes.
        rig->exchange.startJournal(QStringLiteral("Цех"));
        frame();
        const QString second = rig->exchange.journalFile();
        rig.reset();
        QVERIFY(second != first);
        QCOMPARE(lines(second).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestMonitorExchange)
#include "tst_monitorexchange.moc"
