#include <QtTest>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include "MonitorTestRig.h"
#include "monitor/ModelPictureWidget.h"
#include "monitor/MonitorPage.h"
#include "monitor/TrendChart.h"

// The page widget mirrors the exchange: names, texts, visibility and the status panel's routines.
class TestMonitorPage : public QObject {
    Q_OBJECT

    struct PageRig : MonitorTestRig {
        ScriptedFileDialogs dialogs;
        QTemporaryDir dir;
        MonitorPage page{exchange, dialogs, dir.path()};
        PageRig()
        {
            page.show();
            visible = true;
        }
        void decode(const QByteArray &reply)
        {
            exchange.MonitoringProcess();
            deliver(reply, 64);
            poll(MonitorExchange::kCompleteQuietPolls);
        }
        // The shown widget carrying an accessible name; null when none or several.
        QWidget *named(const QString &name) const
        {
            QWidget *found = nullptr;
            for (QWidget *w : page.findChildren<QWidget *>()) {
                if (w->accessibleName() != name || !w->isVisibleTo(&page))
                    continue;
                if (found)
                    return nullptr;
                found = w;
            }
            return found;
        }
    };

private slots:
    void namesFollowTheRowCaptions_data()
    {
        QTest::addColumn<int>("inputs");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("object");
        QTest::newRow("4 inputs, input 2 is row 4") << 4 << "Вход 2 Вольт" << "Label8_4";
        QTest::newRow("4 inputs, input 4 state") << 4 << "Вход 4 Сост." << "Label15_10";
        QTest::newRow("8 inputs, input 5 level") << 8 << "Вход 5 %" << "Label11_7";
        QTest::newRow("8 inputs, input 8 range") << 8 << "Вход 8 Норма" << "Label12_10";
        QTest::newRow("12 inputs, input 12") << 12 << "Вход 12 Вольт" << "Label8_12";
        QTest::newRow("control row") << 4 << "Вход УПР %" << "Label11_13";
        QTest::newRow("battery") << 8 << "Аккумулятор Вольт" << "Label8_14";
        QTest::newRow("power supply") << 8 << "Блок питания Вольт" << "Label8_15";
        QTest::newRow("processor") << 8 << "Процессор Вольт" << "Label8_17";
        QTest::newRow("sensor 1") << 8 << "T1" << "Label8_21";
        QTest::newRow("sensor 6") << 8 << "T6" << "Label8_26";
        QTest::newRow("start") << 8 << "Старт" << "Command1";
        QTest::newRow("stop") << 8 << "Стоп" << "Command2";
        QTest::newRow("period") << 8 << "Интервал" << "HScroll1";
        QTest::newRow("journal") << 8 << "Сохранить журнал" << "Command3";
    }
    void namesFollowTheRowCaptions()
    {
        QFETCH(int, inputs);
        QFETCH(QString, name);
        QFETCH(QString, object);
        PageRig rig;
        rig.inputs = inputs;
        rig.exchange.pollTick();
        QWidget *w = rig.named(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->objectName(), object);
    }

    void hiddenRowsHoldNoNames()
    {
        PageRig rig;
        rig.inputs = 4;
        rig.exchange.pollTick();
        for (int input = 5; input <= 12; ++input)
            QVERIFY(!rig.named(QStringLiteral("Вход %1 Вольт").arg(input)));
        QVERIFY(!rig.page.valueLabel(QStringLiteral("Label8"), 2)->isVisibleTo(&rig.page));
        QCOMPARE(rig.page.valueLabel(QStringLiteral("Label3"), 2)->text(), QStringLiteral(" "));
        QCOMPARE(rig.page.valueLabel(QStringLiteral("Label3"), 13)->text(), QStringLiteral("УПР "));
    }

    void valuesAndDescriptionsFollowTheReadings()
    {
        PageRig rig;
        rig.decode(measurementReply(805));
        const QList<std::pair<QString, QString>> expected{{"Вход 1 Вольт", "11.34 "}, {"Вход 1 %", "90 "},
                                                          {"Вход 1 Норма", "20 - 80"}, {"Вход 1 Сост.", "H"},
                                                          {"Аккумулятор Вольт", "12.60"}, {"Блок питания Вольт", "13.80"},
                                                          {"Процессор Вольт", "3.30"}};
        for (const auto &[name, text] : expected) {
            auto *label = qobject_cast<QLabel *>(rig.named(name));
            QVERIFY2(label, qPrintable(name));
            QCOMPARE(label->text(), text);
            QCOMPARE(label->accessibleDescription(), text);
        }
        QByteArray sensors = QByteArray("T3=7.5C;").leftJustified(63, ' ');
        sensors.append(char(1));
        rig.decode(sensors);
        auto *t3 = qobject_cast<QLabel *>(rig.named(QStringLiteral("T3")));
        QCOMPARE(t3->text(), QStringLiteral("7.5"));
        QCOMPARE(t3->accessibleDescription(), QStringLiteral("7.5"));
        QCOMPARE(qobject_cast<QLabel *>(rig.named(QStringLiteral("T1")))->text(), QString());
        QCOMPARE(qobject_cast<QLabel *>(rig.named(QStringLiteral("Вход 1 Сост.")))->text(), QStringLiteral("H"));
    }

    void pictureOfTheModel_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("shown");
        QTest::newRow("GSM4T") << "ЗОРГЕЛ-GSM4T" << 1;
        QTest::newRow("GSM12") << "ЗОРГЕЛ-GSM12" << 4;
        QTest::newRow("unknown") << "нет данных" << -1;
    }
    void pictureOfTheModel()
    {
        QFETCH(QString, model);
        QFETCH(int, shown);
        PageRig rig;
        rig.model = model;
        rig.exchange.PokazatIzobrazhenie();
        for (int i = 0; i < 6; ++i)
            QCOMPARE(rig.page.picture(i)->isVisibleTo(&rig.page), i == shown);
    }

    void offlineAndOnline()
    {
        PageRig rig;
        rig.page.setOnline(false);
        QVERIFY(!rig.page.startButton()->isEnabled());
        QVERIFY(!rig.page.stopButton()->isEnabled());
        QVERIFY(!rig.page.scrollBar()->isEnabled());
        QVERIFY(rig.page.header()->isEnabled());
        QVERIFY(rig.page.journalButton()->isEnabled());
        QVERIFY(!rig.exchange.pollTimer().isActive());

        rig.page.setOnline(true);
        QVERIFY(!rig.page.startButton()->isEnabled());
        QVERIFY(rig.page.stopButton()->isEnabled());
        QVERIFY(rig.page.scrollBar()->isEnabled());
        QVERIFY(rig.page.journalButton()->isEnabled());
        // The value labels stay as the offline routine left them.
        QVERIFY(!rig.page.valueLabel(QStringLiteral("Label8"), 14)->isEnabled());
        rig.exchange.ProverkaKnopok();
        QVERIFY(rig.exchange.pollTimer().isActive());

        rig.page.stopButton()->click();
        QVERIFY(rig.page.startButton()->isEnabled());
        QVERIFY(!rig.page.stopButton()->isEnabled());
        QVERIFY(!rig.exchange.pollTimer().isActive());
    }

    void scrollBarSetsThePeriod()
    {
        PageRig rig;
        QCOMPARE(rig.page.scrollBar()->value(), 5);
        rig.page.scrollBar()->setValue(1);
        QCOMPARE(rig.exchange.pollTimer().interval(), 500);
    }

    // "Интервал" is reached by Tab and moved by the arrow keys.
    void intervalByKeyboard()
    {
        PageRig rig;
        rig.page.setOnline(true);
        QScrollBar *interval = rig.page.scrollBar();
        QVERIFY(interval->focusPolicy() & Qt::TabFocus);
        interval->setFocus();
        QTest::keyClick(interval, Qt::Key_Right);
        QTest::keyClick(interval, Qt::Key_Right);
        QCOMPARE(rig.exchange.PeriodOprosa(), 3.5);
        QTest::keyClick(interval, Qt::Key_Left);
        QCOMPARE(rig.exchange.PeriodOprosa(), 3.0);
    }

    void trendKeepsTheLastMinutes()
    {
        TrendChart chart;
        MonitorReadings r;
        r.batteryValue = 12.6;
        r.supplyValue = 13.8;
        r.percentValue[1] = 50;
        r.sensors[1] = QStringLiteral("23.5");
        const QDateTime start(QDate(2026, 12, 7), QTime(9, 0));
        const int perSample = 4;   // battery, supply, input 1, T1
        const int window = TrendChart::kWindowSeconds;
        for (int s = 0; s <= window; s += 30)
            chart.addSample(start.addSecs(s), r);
        QCOMPARE(chart.pointCount(), perSample * (window / 30 + 1));
        chart.addSample(start.addSecs(window + 60), r);   // the two oldest samples fall out
        QCOMPARE(chart.pointCount(), perSample * (window / 30));
    }

    // "Интервал" shows the period it sets.
    void periodIsShown_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::newRow("shortest") << "ru_RU" << 1 << "0,5 с";
        QTest::newRow("one second") << "ru_RU" << 2 << "1 с";
        QTest::newRow("as designed") << "ru_RU" << 5 << "2,5 с";
        QTest::newRow("longest") << "ru_RU" << 10 << "5 с";
        QTest::newRow("decimal point locale") << "C" << 1 << "0.5 с";
    }
    void periodIsShown()
    {
        QFETCH(QString, locale);
        QFETCH(int, position);
        QFETCH(QString, text);
        PageRig rig;
        rig.exchange.setLocale(QLocale(locale));
        rig.page.scrollBar()->setValue(position == 5 ? 4 : 5);
        rig.page.scrollBar()->setValue(position);
        QCOMPARE(rig.page.periodLabel()->text(), text);
        QCOMPARE(rig.page.periodLabel()->accessibleDescription(), text);
        QVERIFY(rig.named(QStringLiteral("Период опроса")));
    }

    void stateLettersExplainThemselves()
    {
        PageRig rig;
        const QString help = QStringLiteral("H — уровень не ниже верхнего порога нормы\n"
                                            "L — уровень не выше нижнего порога нормы\n"
                                            "n — уровень в норме, между порогами\n"
                                            "пусто — уровень или пороги неизвестны");
        QCOMPARE(rig.page.findChild<QLabel *>(QStringLiteral("Label9"))->toolTip(), help);
        for (int input = 1; input <= 12; ++input)
            QCOMPARE(rig.page.valueLabel(QStringLiteral("Label15"), input)->toolTip(), help);
    }

    // Readings from before the link went or polling stopped keep their text, drawn grey; the notice
    // over the header says why polling waits or that the unit did not answer.
    void staleReadingsAndNotice_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("grey");
        QTest::addColumn<QString>("notice");
        QTest::newRow("live") << "" << false << "";
        QTest::newRow("stopped") << "stop" << true << "Показания от 09:05:03";
        QTest::newRow("port closed") << "offline" << true << "Показания от 09:05:03";
        QTest::newRow("firmware transfer")
            << "firmware" << true << "Опрос приостановлен: идёт обмен прошивкой; показания от 09:05:03";
        QTest::newRow("unanswered request")
            << "silence" << true << "Устройство не ответило на запрос мониторинга (подряд: 1); показания от 09:05:03";
    }
    void staleReadingsAndNotice()
    {
        QFETCH(QString, after);
        QFETCH(bool, grey);
        QFETCH(QString, notice);
        PageRig rig;
        rig.page.startButton()->click();
        rig.exchange.pollTick();
        rig.deliver(measurementReply(805), 64);
        rig.poll();
        if (after == QLatin1String("stop")) {
            rig.page.stopButton()->click();
        } else if (after == QLatin1String("offline")) {
            rig.page.setOnline(false);
        } else if (after == QLatin1String("firmware")) {
            rig.link.RPF_02VektorPriemaIsPorta = Tag::FirmwareRead;
            rig.queue.setLinkFree(false);
            rig.exchange.ProverkaKnopok();
        } else if (after == QLatin1String("silence")) {
            rig.exchange.MonitoringProcess();
            rig.poll(101);
            rig.page.setOnline(false);   // the status panel closes the port after the transfer error
        }
        QLabel *battery = rig.page.valueLabel(QStringLiteral("Label8"), 14);
        QCOMPARE(battery->text(), QStringLiteral("12.60"));
        const QColor text = battery->palette().color(battery->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                                     QPalette::WindowText);
        QCOMPARE(text == QColor(0x55, 0x55, 0x55), grey);
        // Shown whole, or elided with the whole text in the tooltip.
        QLabel *label = rig.page.noticeLabel();
        QCOMPARE(label->accessibleDescription(), notice);
        QCOMPARE(label->text() == notice ? notice : label->toolTip(), notice);
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
        QVERIFY(rig.page.noticeLabel()->isVisibleTo(&rig.page));
    }

    // The legend names every line drawn and nothing else; a break in polling breaks the lines
    // without a second entry; both value axes carry their unit.
    void trendLegendAndGaps_data()
    {
        QTest::addColumn<QString>("samples");   // m measurement, s sensors, g gap
        QTest::addColumn<int>("chosen");        // row chosen for the band, 0 as it comes
        QTest::addColumn<QStringList>("legend");
        QTest::addColumn<int>("pieces");        // line pieces in the chart
        QTest::newRow("measurements") << "m m" << 0 << QStringList{"Акк., В", "БП, В", "Вход 1, %"} << 3;
        QTest::newRow("with sensors")
            << "m s m s" << 0 << QStringList{"Акк., В", "БП, В", "Вход 1, %", "T1, °C", "T2, °C"} << 5;
        QTest::newRow("input 4 chosen") << "m m" << 4 << QStringList{"Акк., В", "БП, В", "Вход 4, %"} << 3;
        QTest::newRow("across gaps")
            << "m s g m s g m s" << 0 << QStringList{"Акк., В", "БП, В", "Вход 1, %", "T1, °C", "T2, °C"}
            << 3 * 5;
        QTest::newRow("input 4 chosen after gaps: drawn in pieces")
            << "m g m g m" << 4 << QStringList{"Акк., В", "БП, В", "Вход 4, %"} << 3 * 3;
        QTest::newRow("gap before any sample") << "g m" << 0 << QStringList{"Акк., В", "БП, В", "Вход 1, %"} << 3;
        QTest::newRow("nothing yet") << "" << 0 << QStringList{} << 0;
    }
    void trendLegendAndGaps()
    {
        QFETCH(QString, samples);
        QFETCH(int, chosen);
        QFETCH(QStringList, legend);
        QFETCH(int, pieces);
        TrendChart chart;
        chart.resize(336, 186);
        chart.show();
        chart.setRows(*MonitorDecoder::rowLayout(8));
        MonitorReadings r;
        r.batteryValue = 12.6;
        r.supplyValue = 13.8;
        for (int row = 1; row <= 13; ++row)
            r.percentValue[row] = 10.0 * row;
        r.sensors[1] = QStringLiteral("23.5");
        r.sensors[2] = QStringLiteral("-4.5");
        QDateTime time(QDate(2026, 12, 7), QTime(9, 0));
        for (const QString &s : samples.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            time = time.addMSecs(500);
            if (s == QLatin1String("g")) {
                chart.markGap();
                time = time.addSecs(10);
                continue;
            }
            chart.addSample(time, r, s == QLatin1String("m") ? MonitorDecoder::Kind::Measurement
                                                             : MonitorDecoder::Kind::Sensors);
        }
        // Another input chosen afterwards is drawn from what the window holds, gaps kept.
        if (chosen > 0) {
            auto *choice = chart.findChild<QComboBox *>(QStringLiteral("TrendInput"));
            choice->setCurrentIndex(choice->findData(chosen));
        }
        QCoreApplication::processEvents();
        QCOMPARE(chart.legendNames(), legend);
        QCOMPARE(chart.drawnLines(), legend.size());
        QCOMPARE(chart.pieceCount(), pieces);
        QCOMPARE(chart.leftAxisTitle(), QStringLiteral("В"));
        QCOMPARE(chart.rightAxisTitle(), QStringLiteral("%, °C"));
    }

    void journalButtonWritesTheFile()
    {
        PageRig rig;
        rig.decode(measurementReply());
        const QString path = rig.dir.filePath(QStringLiteral("journal.csv"));
        rig.dialogs.answers = {path};
        rig.page.journalButton()->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        // UTF-8 with a byte-order mark; the rig's locale has a decimal point, so commas separate.
        QVERIFY(lines.first().startsWith("\xEF\xBB\xBF" + QStringLiteral("Дата,Время,мс,Вход 1 Вольт,Вход 1 %,Вход 1 Сост.").toUtf8()));
        QCOMPARE(rig.dialogs.requests.first().defaultSuffix, QStringLiteral("csv"));
    }
};

QTEST_MAIN(TestMonitorPage)
#include "tst_monitorpage.moc"
