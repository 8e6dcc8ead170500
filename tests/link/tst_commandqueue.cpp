#include <QtTest>
#include "TestSeams.h"
#include "link/CommandQueue.h"

// Posting and starting internal commands one at a time while the link is free.
class TestCommandQueue : public QObject {
    Q_OBJECT

    struct Rig {
        RecordingMessageSink messages;
        CommandQueue queue{messages};
        QStringList started;   // "name,param"
        Rig()
        {
            for (const char *name : {"PoiskUstroistva", "TXconfigLoadParam", "TXconfigSaveParam"})
                queue.setStarter(QLatin1String(name), [this, name](QString &param) {
                    started << QLatin1String(name) + QLatin1Char(',') + param;
                });
        }
    };

private slots:
    void postModeEmptiesItsArguments()
    {
        Rig r;
        QString name = QStringLiteral("TXconfigLoadParam");
        QString param;
        r.queue.QueueCommand(name, param);
        name = QStringLiteral("PoiskUstroistva");
        param = QStringLiteral("3");
        r.queue.setLinkFree(true);
        r.queue.QueueCommand(name, param);
        QVERIFY(name.isEmpty());
        QVERIFY(param.isEmpty());
        // Posting never starts anything, free link or not.
        QVERIFY(r.started.isEmpty());
        QCOMPARE(r.queue.CommandQueueText(), QStringLiteral("TXconfigLoadParam,|PoiskUstroistva,3|"));
    }

    void pumpStartsOnePerCallInOrder()
    {
        Rig r;
        r.queue.post(QStringLiteral("PoiskUstroistva"), QStringLiteral("3"));
        r.queue.post(QStringLiteral("TXconfigSaveParam"));
        r.queue.post(QStringLiteral("PoiskUstroistva"), QStringLiteral("3"));
        r.queue.pump();
        QVERIFY(r.started.isEmpty());   // the link is not free yet
        r.queue.setLinkFree(true);
        QString none1, none2;
        r.queue.QueueCommand(none1, none2);
        QCOMPARE(r.started, QStringList{"PoiskUstroistva,3"});
        QCOMPARE(r.queue.CommandName(), QStringLiteral("PoiskUstroistva"));
        QCOMPARE(r.queue.CommandParam(), QStringLiteral("3"));
        r.queue.pump();
        QCOMPARE(r.queue.CommandParam(), QString());
        r.queue.pump();
        r.queue.pump();   // empty queue: nothing more
        QCOMPARE(r.started, (QStringList{"PoiskUstroistva,3", "TXconfigSaveParam,", "PoiskUstroistva,3"}));
        QVERIFY(r.queue.CommandQueueText().isEmpty());
    }

    void busyCommandHoldsBackTheRest()
    {
        Rig r;
        r.queue.setStarter(QStringLiteral("ConfiguraciaReadProcess"), [&](QString &) { r.queue.setLinkFree(false); });
        r.queue.post(QStringLiteral("ConfiguraciaReadProcess"));
        r.queue.post(QStringLiteral("TXconfigSaveParam"));
        r.queue.setLinkFree(true);
        r.queue.pump();
        r.queue.pump();
        QVERIFY(r.started.isEmpty());
        r.queue.setLinkFree(true);
        r.queue.pump();
        QCOMPARE(r.started, QStringList{"TXconfigSaveParam,"});
    }

    void unknownNameIsReportedOnceAndSkipped()
    {
        Rig r;
        r.queue.post(QStringLiteral("Nonsense"));
        r.queue.post(QStringLiteral("poiskustroistva"));   // names are case-sensitive
        r.queue.post(QStringLiteral("TXconfigLoadParam"));
        r.queue.setLinkFree(true);
        r.queue.pump();
        QCOMPARE(r.messages.texts, QStringList{QStringLiteral("Невыполнимая внутренняя команда!")});
        r.queue.pump();
        r.queue.pump();
        QCOMPARE(r.messages.texts.size(), 2);
        QCOMPARE(r.started, QStringList{"TXconfigLoadParam,"});
    }

    // A separator inside a name or parameter would end its entry early and start what follows it.
    void separatorsCannotBreakOutOfAnEntry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("param");
        QTest::addColumn<bool>("queued");
        QTest::newRow("port number") << "PoiskUstroistva" << "3" << true;
        QTest::newRow("empty parameter") << "PoiskUstroistva" << "" << true;
        QTest::newRow("bar in parameter") << "PoiskUstroistva" << "3|4" << false;
        QTest::newRow("command smuggled in") << "PoiskUstroistva" << "1|ConfiguraciaWriteProcess," << false;
        QTest::newRow("comma in parameter") << "PoiskUstroistva" << "1,2" << false;
        QTest::newRow("bar in name") << "TXconfigSaveParam|PoiskUstroistva" << "" << false;
    }
    void separatorsCannotBreakOutOfAnEntry()
    {
        QFETCH(QString, name);
        QFETCH(QString, param);
        QFETCH(bool, queued);
        Rig r;
        QCOMPARE(r.queue.post(name, param), queued);
        QCOMPARE(r.queue.CommandQueueText(), queued ? name + QLatin1Char(',') + param + QLatin1Char('|') : QString());
        QCOMPARE(r.messages.texts.size(), queued ? 0 : 1);
        r.queue.setLinkFree(true);
        r.queue.pump();
        r.queue.pump();
        QCOMPARE(r.started, queued ? QStringList{name + QLatin1Char(',') + param} : QStringList());
    }

    void nestedPumpSeesOnlyLaterEntries()
    {
        Rig r;
        QStringList seenInside;
        r.queue.setStarter(QStringLiteral("TXconfigSaveParam"), [&](QString &) {
            seenInside << r.queue.CommandQueueText();
            r.queue.pump();   // as a timer firing while the job waits in a message box
        });
        r.queue.post(QStringLiteral("TXconfigSaveParam"));
        r.queue.post(QStringLiteral("PoiskUstroistva"), QStringLiteral("7"));
        r.queue.setLinkFree(true);
        r.queue.pump();
        QCOMPARE(seenInside, QStringList{"PoiskUstroistva,7|"});
        QCOMPARE(r.started, QStringList{"PoiskUstroistva,7"});
        QVERIFY(r.queue.CommandQueueText().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandQueue)
#include "tst_commandqueue.moc"
