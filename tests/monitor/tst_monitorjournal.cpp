#include <QtTest>
#include "TestSeams.h"
#include "monitor/MonitorJournal.h"

static MonitorReadings readings(double battery)
{
    MonitorReadings r;
    for (int row = 1; row <= MonitorReadings::kRows; ++row) {
        r.voltValue[row] = row + 0.5;
        r.percentValue[row] = 10.0 * row + 0.4;
    }
    for (int input = 1; input <= MonitorReadings::kInputs; ++input)
        r.state[input] = input == 4 ? QStringLiteral("H") : QStringLiteral("n");
    r.batteryValue = battery;
    r.supplyValue = 13.8;
    r.cpuValue = 3.3;
    r.sensors[1] = QStringLiteral("23.5");
    r.sensors[2] = QStringLiteral("a,\"b\"");
    r.sensors[3] = QString();
    return r;
}

class TestMonitorJournal : public QObject {
    Q_OBJECT
private slots:
    void csvFollowsTheShownRows()
    {
        MonitorJournal journal;
        journal.append(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3, 250)), readings(12.6));
        MonitorReadings undefined = readings(0);
        undefined.voltValue[1] = std::nullopt;
        undefined.percentValue[1] = std::nullopt;
        undefined.state[1] = QString();
        undefined.batteryValue = std::nullopt;
        journal.append(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 4)), undefined);
        QCOMPARE(journal.size(), 2);

        const QList<QByteArray> lines = journal.csv(*MonitorDecoder::rowLayout(4)).split('\n');
        QCOMPARE(lines.size(), 4);   // header, two rows, and the empty text after the last CR LF
        QCOMPARE(QString::fromUtf8(lines.at(0)),
                 QStringLiteral("Время,Вход 1 Вольт,Вход 1 %,Вход 1 Сост.,Вход 2 Вольт,Вход 2 %,Вход 2 Сост.,"
                                "Вход 3 Вольт,Вход 3 %,Вход 3 Сост.,Вход 4 Вольт,Вход 4 %,Вход 4 Сост.,"
                                "Вход УПР Вольт,Вход УПР %,Аккумулятор Вольт,Блок питания Вольт,Процессор Вольт,"
                                "T1,T2,T3,T4,T5,T6\r"));
        // Row 4 is input 2 on a 4-input unit; numbers with a point whatever the locale.
        QCOMPARE(lines.at(1), QByteArray("2026-12-07 09:05:03.250,1.50,10,n,4.50,40,H,7.50,70,n,10.50,100,n,"
                                         "13.50,130,12.60,13.80,3.30,23.5,\"a,\"\"b\"\"\",,,,\r"));
        QVERIFY(lines.at(2).startsWith("2026-12-07 09:05:04.000,,,,4.50,40,H,"));
        QVERIFY(lines.at(2).contains(",130,,13.80,3.30,"));
    }

    void oldestRowsGoBeyondTheLimit()
    {
        MonitorJournal journal;
        const QDateTime start(QDate(2026, 12, 7), QTime(0, 0));
        for (int i = 0; i < MonitorJournal::kMaxRows + 3; ++i)
            journal.append(start.addMSecs(500LL * i), readings(12.6));
        QCOMPARE(journal.size(), MonitorJournal::kMaxRows);
        const QList<QByteArray> lines = journal.csv(MonitorDecoder::designLayout()).split('\n');
        QVERIFY(lines.at(1).startsWith("2026-12-07 00:00:01.500,"));
    }

    void save_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("answer");   // "cancel", "ok" or "missing folder"
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("message");
        QTest::newRow("written") << 2 << "ok" << true << "";
        QTest::newRow("cancelled") << 2 << "cancel" << false << "";
        QTest::newRow("nothing polled yet") << 0 << "ok" << false << MonitorJournal::kEmpty;
        QTest::newRow("folder missing") << 2 << "missing folder" << false << MonitorJournal::kSaveFailed;
    }
    void save()
    {
        QFETCH(int, rows);
        QFETCH(QString, answer);
        QFETCH(bool, saved);
        QFETCH(QString, message);
        QTemporaryDir dir;
        MonitorJournal journal;
        for (int i = 0; i < rows; ++i)
            journal.append(QDateTime(QDate(2026, 12, 7), QTime(9, 0, i)), readings(12.6));
        ScriptedFileDialogs dialogs;
        RecordingMessageSink messages;
        const QString path = answer == QLatin1String("missing folder") ? dir.filePath(QStringLiteral("no/such/j.csv"))
                                                                        : dir.filePath(QStringLiteral("j.csv"));
        if (answer != QLatin1String("cancel"))
            dialogs.answers = {path};
        const MonitorDecoder::Layout layout = MonitorDecoder::designLayout();
        QCOMPARE(journal.save(dialogs, messages, layout, dir.path(), QDateTime(QDate(2026, 12, 7), QTime(9, 5))),
                 saved);
        QCOMPARE(QFile::exists(path), saved);
        if (saved) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), journal.csv(layout));
            QCOMPARE(dialogs.requests.first().defaultName, QStringLiteral("Мониторинг 20261207-090500"));
        }
        if (message.isEmpty())
            QVERIFY(messages.texts.isEmpty());
        else
            QVERIFY2(messages.texts.size() == 1 && messages.texts.first().startsWith(message),
                     qPrintable(messages.texts.join(QLatin1Char('|'))));
        // Nothing is left behind by an atomic save.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
                 saved ? QStringList{QStringLiteral("j.csv")} : QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestMonitorJournal)
#include "tst_monitorjournal.moc"
