#include <QtTest>
#include "TestSeams.h"
#include "monitor/MonitorJournal.h"

// A measurement frame: every input row at `input`, then battery, supply, T1 channel and reference.
static QByteArray measurementFrame(int input, int battery = 877, int supply = 389, int reference = 375)
{
    QList<int> words(13, input);
    words << battery << supply << 0 << reference;
    QByteArray bytes(MonitorDecoder::kFrameSize, '\0');
    for (int k = 0; k < words.size(); ++k) {
        bytes[2 * k] = char(words.at(k) >> 8);
        bytes[2 * k + 1] = char(words.at(k) & 0xFF);
    }
    return bytes;
}

static QByteArray sensorFrame(const QByteArray &items)
{
    QByteArray bytes = items.leftJustified(MonitorDecoder::kFrameSize - 1, ' ', true);
    bytes.append(char(1));
    return bytes;
}

// What the page shows after these frames, against the range 20 … 80 on every input.
static MonitorReadings decoded(const QList<QByteArray> &frames)
{
    MonitorReadings r;
    for (const QByteArray &frame : frames)
        MonitorDecoder::decode(frame, [](int, bool upper) { return upper ? QStringLiteral("80") : QStringLiteral("20"); },
                               QLocale::c(), r);
    return r;
}

static MonitorReadings readings(double battery)
{
    // 447 counts on every input are 6.30 V, 50 % of a 12.60 V battery (877 counts).
    MonitorReadings r = decoded({measurementFrame(447, battery > 0 ? 877 : 0),
                                 sensorFrame("T1=23.5C;T2=-4.5C;")});
    r.state[4] = QStringLiteral("H");
    return r;
}

class TestMonitorJournal : public QObject {
    Q_OBJECT
private slots:
    void csvFollowsTheShownRows()
    {
        MonitorJournal journal;
        journal.append(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3, 250)), readings(12.6));
        MonitorReadings undefined = decoded({measurementFrame(447, 877, 389, 0)});
        undefined.counts[1] = 1024;
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
        QCOMPARE(lines.at(1), QByteArray("2026-12-07 09:05:03.250,6.30,50,n,6.30,50,H,6.30,50,n,6.30,50,n,"
                                         "6.30,50,12.60,13.80,3.30,23.5,-4.5,,,,\r"));
        // Reference 0: nothing can be computed.
        QCOMPARE(lines.at(2), QByteArray("2026-12-07 09:05:04.000,,,,,,,,,,,,,,,,,,,,,,,\r"));
    }

    // A row per measurement frame; a sensor frame's readings go into the next row, not a row of
    // their own, and a row without a sensor frame before it leaves the sensor columns empty.
    void rowPerMeasurementFrame_data()
    {
        QTest::addColumn<QString>("frames");   // m measurement (input count 447 or 805), s sensors
        QTest::addColumn<QStringList>("rows"); // time second, input 1 volts, T1, T2 of each row
        QTest::newRow("measurement, sensors, measurement")
            << "m447 s m805" << QStringList{"00,6.30,,", "02,11.34,23.5,-4.5"};
        QTest::newRow("sensors first") << "s m447" << QStringList{"01,6.30,23.5,-4.5"};
        QTest::newRow("two measurements: no sensors repeated")
            << "s m447 m805" << QStringList{"01,6.30,23.5,-4.5", "02,11.34,,"};
        QTest::newRow("sensors last: a row of their own at the end")
            << "m447 s" << QStringList{"00,6.30,,", "01,,23.5,-4.5"};
        QTest::newRow("the later of two sensor frames")
            << "s s2 m447" << QStringList{"02,6.30,7.0,"};
    }
    void rowPerMeasurementFrame()
    {
        QFETCH(QString, frames);
        QFETCH(QStringList, rows);
        MonitorJournal journal;
        MonitorReadings r;
        const QDateTime start(QDate(2026, 12, 7), QTime(9, 0, 0));
        const QStringList list = frames.split(QLatin1Char(' '));
        for (int i = 0; i < list.size(); ++i) {
            const QString f = list.at(i);
            const QByteArray frame = f.startsWith(QLatin1Char('m')) ? measurementFrame(f.mid(1).toInt())
                : f == QLatin1String("s2")                          ? sensorFrame("T1=7.0C;")
                                                                    : sensorFrame("T1=23.5C;T2=-4.5C;");
            const MonitorDecoder::Kind kind = MonitorDecoder::decode(frame, {}, QLocale::c(), r);
            journal.appendFrame(start.addSecs(i), r, kind);
        }
        QCOMPARE(journal.size(), rows.size());
        const QList<QByteArray> lines = journal.csv(MonitorDecoder::designLayout()).split('\n');
        for (int i = 0; i < rows.size(); ++i) {
            const QStringList fields = QString::fromUtf8(lines.at(i + 1)).trimmed().split(QLatin1Char(','));
            QCOMPARE(fields.size(), 48);   // time, 12 inputs, УПР, three supplies, six sensors
            const QString got = fields.at(0).mid(17, 2) + QLatin1Char(',') + fields.at(1) + QLatin1Char(',')
                + fields.at(42) + QLatin1Char(',') + fields.at(43);
            QCOMPARE(got, rows.at(i));
        }
    }

    // The saved file opens in a spreadsheet in the user's locale: it names its unit, and the date
    // and the time of day stand in columns of their own.
    void spreadsheetFormat_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("start");   // the header up to the first input
        QTest::addColumn<QString>("row");     // the first row up to the battery
        QTest::newRow("Russian: decimal comma, semicolons")
            << "ru_RU" << "\uFEFFУстройство;Дата;Время;мс;Вход 1 Вольт;"
            << "СКЛАД-2;2026-12-07;09:05:03;250;6,30;50;n;";
        QTest::newRow("German: decimal comma, semicolons")
            << "de_DE" << "\uFEFFУстройство;Дата;Время;мс;Вход 1 Вольт;"
            << "СКЛАД-2;2026-12-07;09:05:03;250;6,30;50;n;";
        QTest::newRow("English: decimal point, commas")
            << "en_US" << "\uFEFFУстройство,Дата,Время,мс,Вход 1 Вольт,"
            << "СКЛАД-2,2026-12-07,09:05:03,250,6.30,50,n,";
    }
    void spreadsheetFormat()
    {
        QFETCH(QString, locale);
        QFETCH(QString, start);
        QFETCH(QString, row);
        MonitorJournal journal;
        journal.setUnit(QStringLiteral("СКЛАД-2         "));
        journal.append(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3, 250)), readings(12.6));
        const QString text = QString::fromUtf8(journal.csv(MonitorJournal::spreadsheetFormat(QLocale(locale))));
        QVERIFY2(text.startsWith(start), qPrintable(text.left(60)));
        QVERIFY2(text.split('\n').at(1).startsWith(row), qPrintable(text.split('\n').at(1)));
        // A sensor reading "-4,5" under a comma locale needs no quotes: the separator is ";".
        QVERIFY(!text.contains('"'));
    }

    // Rows are kept as numbers, so an hour at the shortest period stays small.
    void rowsStaySmall()
    {
        QVERIFY2(MonitorJournal::rowBytes() <= 100, qPrintable(QString::number(MonitorJournal::rowBytes())));
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
        QCOMPARE(journal.save(dialogs, messages, layout, MonitorJournal::plainFormat(), dir.path(),
                              QDateTime(QDate(2026, 12, 7), QTime(9, 5))),
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
