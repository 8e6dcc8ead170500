#include <QtTest>
#include "monitor/MonitorDecoder.h"

// A 64-byte reply: the given counts as big-endian words 1, 2, …, then zeros, the kind in byte 64.
static QByteArray frame(const QList<int> &words, int kind = 0)
{
    QByteArray bytes(MonitorDecoder::kFrameSize, '\0');
    for (int k = 0; k < words.size(); ++k) {
        bytes[2 * k] = char((words.at(k) >> 8) & 0xFF);
        bytes[2 * k + 1] = char(words.at(k) & 0xFF);
    }
    bytes[MonitorDecoder::kFrameSize - 1] = char(kind);
    return bytes;
}

// Counts of a measurement frame: every input row at `input`, then battery, supply, T1 and reference.
static QList<int> counts(int input, int battery, int supply, int reference)
{
    QList<int> w(13, input);
    w << battery << supply << 0 << reference;
    return w;
}

// A sensor text frame: the items, blank filler, kind 1 in byte 64.
static QByteArray sensorFrame(const QByteArray &items)
{
    QByteArray bytes = items.leftJustified(MonitorDecoder::kFrameSize - 1, ' ', true);
    bytes.append(char(1));
    return bytes;
}

static MonitorDecoder::Thresholds fixedRange(const QString &upper, const QString &lower)
{
    return [upper, lower](int, bool isUpper) { return isUpper ? upper : lower; };
}

class TestMonitorDecoder : public QObject {
    Q_OBJECT
private slots:
    void frameKind_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("kind");
        const int m = int(MonitorDecoder::Kind::Measurement), s = int(MonitorDecoder::Kind::Sensors),
                  bad = int(MonitorDecoder::Kind::Invalid);
        QTest::newRow("last byte 0") << frame(counts(447, 877, 389, 375), 0) << m;
        QTest::newRow("last byte 1") << frame({}, 1) << s;
        QTest::newRow("last byte 2") << frame(counts(447, 877, 389, 375), 2) << bad;
        QTest::newRow("last byte FF") << frame({}, 0xFF) << bad;
        QTest::newRow("63 bytes") << frame({}, 0).left(63) << bad;
        QTest::newRow("65 bytes") << frame({}, 0) + QByteArray(1, '\0') << bad;
        QTest::newRow("full scale is a count") << frame(counts(1023, 1023, 1023, 1023)) << m;
        // A count above 1023 spoils its own values, not the frame.
        QTest::newRow("reference above full scale") << frame(counts(447, 877, 389, 1024)) << m;
        QTest::newRow("input with the high bit set") << frame(counts(0x8001, 877, 389, 375)) << m;
        QTest::newRow("uninterpreted word 18 may hold anything") << frame(counts(447, 877, 389, 375) << 0xFFFF) << m;
    }
    void frameKind()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, kind);
        QCOMPARE(int(MonitorDecoder::kindOf(reply)), kind);
    }

    void measurementValues_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("volt");      // every input row
        QTest::addColumn<QString>("percent");
        QTest::addColumn<QString>("battery");
        QTest::addColumn<QString>("supply");
        QTest::addColumn<QString>("cpu");
        QTest::addColumn<QString>("state");     // against 80 / 20
        // Reference 512, battery 300: 1023*1.2095/512 = 2.4166 V, 300*1.2095/512*133.6/30 = 3.1560 V.
        QTest::newRow("worked case, decimal comma") << frame(counts(200, 300, 400, 512)) << "ru_RU" << "2,06 "
                                                   << "65 " << "3,16" << "10,39" << "2,42" << "n";
        QTest::newRow("worked case, decimal point") << frame(counts(200, 300, 400, 512)) << "C" << "2.06 " << "65 "
                                                   << "3.16" << "10.39" << "2.42" << "n";
        QTest::newRow("half the battery") << frame(counts(447, 877, 389, 375)) << "C" << "6.30 " << "50 " << "12.60"
                                          << "13.80" << "3.30" << "n";
        QTest::newRow("high input") << frame(counts(805, 877, 389, 375)) << "C" << "11.34 " << "90 " << "12.60"
                                    << "13.80" << "3.30" << "H";
        QTest::newRow("low input") << frame(counts(89, 877, 389, 375)) << "C" << "1.25 " << "10 " << "12.60"
                                   << "13.80" << "3.30" << "L";
        QTest::newRow("no group separator above 1000 V") << frame(counts(1023, 1023, 1023, 1)) << "ru_RU"
                                                         << "5402,96 " << "98 " << "5510,19" << "13610,50"
                                                         << "1237,32" << "H";
        QTest::newRow("reference 0: placeholders, no letter")
            << frame(counts(447, 877, 389, 0)) << "C" << "— " << "— " << "—" << "—" << "—" << "";
        QTest::newRow("battery 0: volts shown, no level, no letter")
            << frame(counts(447, 0, 389, 375)) << "C" << "6.30 " << "— " << "0.00" << "13.80" << "3.30" << "";
    }
    void measurementValues()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, locale);
        QFETCH(QString, volt);
        QFETCH(QString, percent);
        QFETCH(QString, battery);
        QFETCH(QString, supply);
        QFETCH(QString, cpu);
        QFETCH(QString, state);
        MonitorReadings shown;
        shown.sensors[3] = QStringLiteral("21.0");
        QCOMPARE(MonitorDecoder::decode(reply, fixedRange(QStringLiteral("80"), QStringLiteral("20")),
                                        QLocale(locale), shown),
                 MonitorDecoder::Kind::Measurement);
        for (int row = 1; row <= MonitorReadings::kRows; ++row) {
            QCOMPARE(shown.volt[row], volt);
            QCOMPARE(shown.percent[row], percent);
        }
        for (int input = 1; input <= MonitorReadings::kInputs; ++input) {
            QCOMPARE(shown.state[input], state);
            QCOMPARE(shown.range[input], QStringLiteral("20 - 80"));
        }
        QCOMPARE(shown.battery, battery);
        QCOMPARE(shown.supply, supply);
        QCOMPARE(shown.cpu, cpu);
        // A measurement frame leaves the sensors as they were.
        QCOMPARE(shown.sensors[3], QStringLiteral("21.0"));
    }

    // Half the battery on every input (6.30 V, 50 %), battery 12.60, supply 13.80, processor 3.30;
    // one word above 1023 turns what is computed from it into "—" without a state letter.
    void outOfRangeCountSpoilsItsOwnValues_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("row1");      // volt, percent and state of row 1
        QTest::addColumn<QString>("row2");
        QTest::addColumn<QString>("supplies");  // battery, supply, processor
        QTest::newRow("input 1 at 1024") << 1 << 1024 << "— |— |" << "6.30 |50 |n" << "12.60|13.80|3.30";
        QTest::newRow("input 1 at 0xFFFF") << 1 << 0xFFFF << "— |— |" << "6.30 |50 |n" << "12.60|13.80|3.30";
        QTest::newRow("input 1 at 1023 is a count") << 1 << 1023 << "14.41 |114 |H" << "6.30 |50 |n"
                                                    << "12.60|13.80|3.30";
        QTest::newRow("control row") << 13 << 2000 << "6.30 |50 |n" << "6.30 |50 |n" << "12.60|13.80|3.30";
        QTest::newRow("battery: its volts and every level") << 14 << 1024 << "6.30 |— |" << "6.30 |— |"
                                                            << "—|13.80|3.30";
        QTest::newRow("supply") << 15 << 0x8000 << "6.30 |50 |n" << "6.30 |50 |n" << "12.60|—|3.30";
        QTest::newRow("T1 channel, not shown") << 16 << 0xFFFF << "6.30 |50 |n" << "6.30 |50 |n"
                                               << "12.60|13.80|3.30";
        QTest::newRow("reference: every value") << 17 << 1024 << "— |— |" << "— |— |" << "—|—|—";
    }
    void outOfRangeCountSpoilsItsOwnValues()
    {
        QFETCH(int, word);
        QFETCH(int, count);
        QFETCH(QString, row1);
        QFETCH(QString, row2);
        QFETCH(QString, supplies);
        QList<int> w = counts(447, 877, 389, 375);
        w[word - 1] = count;
        MonitorReadings shown;
        QCOMPARE(MonitorDecoder::decode(frame(w), fixedRange(QStringLiteral("80"), QStringLiteral("20")),
                                        QLocale::c(), shown),
                 MonitorDecoder::Kind::Measurement);
        const auto row = [&shown](int r) { return QStringList{shown.volt[r], shown.percent[r], shown.state[r]}.join('|'); };
        QCOMPARE(row(1), row1);
        QCOMPARE(row(2), row2);
        QCOMPARE(QStringList({shown.battery, shown.supply, shown.cpu}).join('|'), supplies);
        // The range column shows the inputs page's boxes whatever the counts.
        QCOMPARE(shown.range[1], QStringLiteral("20 - 80"));
    }

    void wordsAreUnsignedBigEndian()
    {
        const MonitorDecoder::Words w = MonitorDecoder::words(frame({0x0102, 0x8000, 0xFFFF}));
        QCOMPARE(int(w[1]), 0x0102);
        QCOMPARE(int(w[2]), 0x8000);
        QCOMPARE(int(w[3]), 0xFFFF);
        QCOMPARE(int(w[4]), 0);
    }

    void rangesComeFromEachInput()
    {
        // Input j's range is "L - U" of its own boxes, as they stand.
        MonitorReadings shown;
        const auto thresholds = [](int input, bool upper) {
            if (input == 12)
                return QStringLiteral("нет данных");
            return QString::number(upper ? 50 + input : input);
        };
        MonitorDecoder::decode(frame(counts(447, 877, 389, 375)), thresholds, QLocale::c(), shown);
        QCOMPARE(shown.range[1], QStringLiteral("1 - 51"));
        QCOMPARE(shown.range[7], QStringLiteral("7 - 57"));
        QCOMPARE(shown.state[7], QStringLiteral("n"));
        QCOMPARE(shown.range[12], QStringLiteral("нет данных - нет данных"));
        QCOMPARE(shown.state[12], QString());
    }

    void stateLetter_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("lower");
        QTest::addColumn<QString>("letter");
        QTest::newRow("between") << 50.0 << "80" << "20" << "n";
        QTest::newRow("equal to the upper bound") << 80.0 << "80" << "20" << "H";
        QTest::newRow("above the upper bound") << 80.4 << "80" << "20" << "H";
        QTest::newRow("equal to the lower bound") << 20.0 << "80" << "20" << "L";
        QTest::newRow("below the lower bound") << 0.0 << "80" << "20" << "L";
        QTest::newRow("decimal point in a bound") << 80.4 << "80.5" << "20" << "n";
        QTest::newRow("number followed by text") << 90.0 << "85 %" << "20" << "H";
        QTest::newRow("no data in the boxes") << 50.0 << "нет данных" << "нет данных" << "";
        QTest::newRow("empty boxes") << 0.0 << "" << "" << "";
        QTest::newRow("only the upper bound numeric") << 95.0 << "80" << "нет данных" << "";
        QTest::newRow("bounds crossed") << 50.0 << "20" << "80" << "H";
    }
    void stateLetter()
    {
        QFETCH(double, percent);
        QFETCH(QString, upper);
        QFETCH(QString, lower);
        QFETCH(QString, letter);
        QCOMPARE(MonitorDecoder::stateLetter(percent, upper, lower), letter);
    }

    void noLevelNoLetter()
    {
        QCOMPARE(MonitorDecoder::stateLetter(std::nullopt, QStringLiteral("80"), QStringLiteral("20")), QString());
    }

    void numberTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("volts");
        QTest::addColumn<QString>("percent");
        QTest::newRow("half rounds to even, down") << 0.125 << "C" << "0.12" << "0";
        QTest::newRow("half rounds to even, up") << 0.375 << "C" << "0.38" << "0";
        QTest::newRow("whole half down") << 2.5 << "C" << "2.50" << "2";
        QTest::newRow("whole half up") << 3.5 << "ru_RU" << "3,50" << "4";
        QTest::newRow("zero") << 0.0 << "ru_RU" << "0,00" << "0";
    }
    void numberTexts()
    {
        QFETCH(double, value);
        QFETCH(QString, locale);
        QFETCH(QString, volts);
        QFETCH(QString, percent);
        QCOMPARE(MonitorDecoder::voltText(value, QLocale(locale)), volts);
        QCOMPARE(MonitorDecoder::percentText(value), percent);
    }

    void sensorFrames_data()
    {
        QTest::addColumn<QByteArray>("items");
        QTest::addColumn<QStringList>("readings");   // T1 … T6
        QTest::newRow("T2 and T5 only") << QByteArray("T2=19.0C;T5=-3.5C;")
                                        << QStringList{"", "19.0", "", "", "-3.5", ""};
        QTest::newRow("all six") << QByteArray("T1=23.5C;T2=-4.5C;T3=19.0C;T4=21.0C;T5=18.5C;T6=25.0C;")
                                 << QStringList{"23.5", "-4.5", "19.0", "21.0", "18.5", "25.0"};
        QTest::newRow("any order") << QByteArray("T6=1.0C;T3=2.0C;T1=3.0C;T5=4.0C;")
                                   << QStringList{"3.0", "", "2.0", "", "4.0", "1.0"};
        QTest::newRow("marker right before the semicolon") << QByteArray("T1=;T2=5.0C;")
                                                          << QStringList{"", "5.0", "", "", "", ""};
        QTest::newRow("only the unit") << QByteArray("T1=C;") << QStringList{"", "", "", "", "", ""};
        QTest::newRow("no semicolon after the last item") << QByteArray("T1=1.5C;T2=2.5C")
                                                         << QStringList{"1.5", "", "", "", "", ""};
        QTest::newRow("no items") << QByteArray() << QStringList{"", "", "", "", "", ""};
    }
    void sensorFrames()
    {
        QFETCH(QByteArray, items);
        QFETCH(QStringList, readings);
        MonitorReadings shown;
        shown.battery = QStringLiteral("12,60");
        QCOMPARE(MonitorDecoder::decode(sensorFrame(items), {}, QLocale::c(), shown), MonitorDecoder::Kind::Sensors);
        for (int n = 1; n <= MonitorReadings::kSensors; ++n)
            QCOMPARE(shown.sensors[n], readings.at(n - 1));
        // A sensor frame leaves the voltages as they were.
        QCOMPARE(shown.battery, QStringLiteral("12,60"));
        QCOMPARE(shown.volt[1], MonitorReadings::kDesignText);
    }

    void invalidFrameChangesNothing()
    {
        MonitorReadings shown;
        shown.battery = QStringLiteral("12,60");
        shown.sensors[1] = QStringLiteral("23.5");
        QByteArray reply = sensorFrame("T1=1.0C;");
        reply[63] = char(2);
        QCOMPARE(MonitorDecoder::decode(reply, {}, QLocale::c(), shown), MonitorDecoder::Kind::Invalid);
        QCOMPARE(shown.battery, QStringLiteral("12,60"));
        QCOMPARE(shown.sensors[1], QStringLiteral("23.5"));
    }

    void rowLayout_data()
    {
        QTest::addColumn<int>("inputs");
        QTest::addColumn<QStringList>("captions");   // rows 1 … 12; " " marks a hidden row
        QTest::newRow("4 inputs") << 4 << QStringList{"1 ", " ", " ", "2 ", " ", " ", "3 ", " ", " ", "4 ", " ", " "};
        QTest::newRow("8 inputs") << 8
                                  << QStringList{"1 ", "2 ", "3 ", "4 ", " ", " ", "5 ", "6 ", "7 ", "8 ", " ", " "};
        QTest::newRow("12 inputs") << 12 << QStringList{"1 ", "2 ", "3 ", "4 ", "5 ", "6 ", "7 ", "8 ", "9 ", "10 ",
                                                        "11 ", "12 "};
    }
    void rowLayout()
    {
        QFETCH(int, inputs);
        QFETCH(QStringList, captions);
        const std::optional<MonitorDecoder::Layout> layout = MonitorDecoder::rowLayout(inputs);
        QVERIFY(layout);
        for (int r = 1; r <= MonitorReadings::kInputs; ++r) {
            QCOMPARE((*layout)[r].caption, captions.at(r - 1));
            QCOMPARE((*layout)[r].visible, captions.at(r - 1) != QLatin1String(" "));
        }
    }

    void noLayoutForOtherCounts_data()
    {
        QTest::addColumn<int>("inputs");
        QTest::newRow("unknown") << 0;
        QTest::newRow("5") << 5;
        QTest::newRow("16") << 16;
    }
    void noLayoutForOtherCounts()
    {
        QFETCH(int, inputs);
        QVERIFY(!MonitorDecoder::rowLayout(inputs));
    }

    void pictureIndex_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("index");
        QTest::newRow("GSM4") << "ЗОРГЕЛ-GSM4" << 0;
        QTest::newRow("GSM4T") << "ЗОРГЕЛ-GSM4T" << 1;
        QTest::newRow("GSM8") << "ЗОРГЕЛ-GSM8" << 2;
        QTest::newRow("GSM8T") << "ЗОРГЕЛ-GSM8T" << 3;
        QTest::newRow("GSM12") << "ЗОРГЕЛ-GSM12" << 4;
        QTest::newRow("GSM12T") << "ЗОРГЕЛ-GSM12T" << 5;
        QTest::newRow("no data") << "нет данных" << -1;
        QTest::newRow("not exact") << "ЗОРГЕЛ-GSM8T " << -1;
    }
    void pictureIndex()
    {
        QFETCH(QString, model);
        QFETCH(int, index);
        QCOMPARE(MonitorDecoder::pictureIndex(model), index);
    }
};

QTEST_GUILESS_MAIN(TestMonitorDecoder)
#include "tst_monitordecoder.moc"
