#include <QtTest>
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/SerialPage.h"
#include "link/StatusModel.h"
#include "link/StatusPanel.h"
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

// The serial page and the status strip: their controls and how they follow the link.
class TestLinkPages : public QObject {
    Q_OBJECT

    struct Rig {
        QTemporaryDir dir;
        FakeSerialPort port;
        RecordingMessageSink messages;
        CommandQueue queue{messages};
        StatusModel status;
        SerialLink link{port, queue, status};
        SerialPage page{link};

        template <typename W>
        W *find(const QString &name)
        {
            return page.findChild<W *>(name);
        }
        QPushButton *button(const QString &name) { return find<QPushButton>(name); }
    };

private slots:
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("Command1") << "Command1" << "Найти устройство автоматически";
        QTest::newRow("Command3") << "Command3" << "Найти устройство";
        QTest::newRow("Комманда2") << "Комманда2" << "Открыть порт";
        QTest::newRow("Комманда3") << "Комманда3" << "Закрыть порт";
        QTest::newRow("Command2") << "Command2" << "Сохранить настройки";
        QTest::newRow("Label1") << "Label1" << "Номер порта";
        QTest::newRow("Label2") << "Label2" << "Скорость";
        QTest::newRow("Label3") << "Label3" << "Контроль передачи";
        QTest::newRow("Метка1") << "Метка1" << "Параметры: ";
        QTest::newRow("Метка2") << "Метка2" << "Состояние порта: ";
        QTest::newRow("Рамка1") << "Рамка1" << "Задать параметры вручную";
        QTest::newRow("header") << "R_Header" << "Соединение с компьютером";
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        Rig r;
        QWidget *w = r.page.findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QString shown;
        if (auto *b = qobject_cast<QPushButton *>(w))
            shown = b->text();
        else if (auto *l = qobject_cast<QLabel *>(w))
            shown = l->text();
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            shown = g->title();
        QCOMPARE(shown, text);
        // Every control lies inside the page.
        QVERIFY(r.page.rect().contains(QRect(w->mapTo(&r.page, QPoint(0, 0)), w->size())));
    }

    void listsAndHelp()
    {
        Rig r;
        QCOMPARE(r.page.objectName(), QStringLiteral("RPF_02"));
        QCOMPARE(r.page.size(), QSize(600, 400));
        auto *speeds = r.find<QComboBox>(QStringLiteral("Combo2"));
        QVERIFY(!speeds->isEnabled());
        QCOMPARE(speeds->count(), 3);
        QCOMPARE(speeds->currentText(), QStringLiteral("9600"));
        auto *handshakes = r.find<QComboBox>(QStringLiteral("Combo3"));
        QCOMPARE(handshakes->count(), 4);
        QCOMPARE(handshakes->itemText(3), QStringLiteral("RTSXonXoff"));
        for (int i = 1; i <= 3; ++i) {
            auto *help = r.find<QTextEdit>(QStringLiteral("RichTextBox%1").arg(i));
            QVERIFY(help && help->isReadOnly() && !help->toPlainText().isEmpty());
            QVERIFY(r.find<QGroupBox>(QStringLiteral("Frame%1").arg(i)));
        }
        QVERIFY(!r.find<QLabel>(QStringLiteral("Label4"))->isEnabled());
        QVERIFY(!r.find<QLabel>(QStringLiteral("Label5"))->isEnabled());
    }

    void followsThePortState()
    {
        Rig r;
        r.link.choices().setPortItems({QStringLiteral("3"), QStringLiteral("4")});
        r.link.choices().setPortText(QStringLiteral("4"));
        QCOMPARE(r.find<QComboBox>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("4"));
        r.port.missingPorts.insert(4);

        QTest::mouseClick(r.button(QStringLiteral("Комманда2")), Qt::LeftButton);
        auto *state = r.find<QLabel>(QStringLiteral("Label5"));
        QCOMPARE(state->text(), QStringLiteral("Com4 Error 8002"));
        QVERIFY(state->toolTip().contains(QStringLiteral("No such file or directory")));
        QVERIFY(r.button(QStringLiteral("Комманда2"))->isEnabled());
        QVERIFY(!r.button(QStringLiteral("Комманда3"))->isEnabled());

        auto *combo1 = r.find<QComboBox>(QStringLiteral("Combo1"));
        combo1->setCurrentIndex(0);
        emit combo1->activated(0);
        QCOMPARE(r.link.choices().portText(), QStringLiteral("3"));
        QTest::mouseClick(r.button(QStringLiteral("Комманда2")), Qt::LeftButton);
        QCOMPARE(state->text(), QStringLiteral("Com3 открыт."));
        QCOMPARE(r.find<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral("9600,N,8,1"));
        QVERIFY(!r.button(QStringLiteral("Комманда2"))->isEnabled());
        QVERIFY(r.button(QStringLiteral("Комманда3"))->isEnabled());

        QTest::mouseClick(r.button(QStringLiteral("Комманда3")), Qt::LeftButton);
        QCOMPARE(state->text(), QStringLiteral("Com3 закрыт."));
        QVERIFY(!r.port.isOpen());
    }

    void choicesMarkUnsavedChanges()
    {
        Rig r;
        r.page.show();   // activation disables the save button
        QVERIFY(!r.button(QStringLiteral("Command2"))->isEnabled());
        auto *combo3 = r.find<QComboBox>(QStringLiteral("Combo3"));
        combo3->setCurrentIndex(2);
        emit combo3->activated(2);
        QCOMPARE(r.link.choices().handshakeIndex(), 2);
        QVERIFY(r.button(QStringLiteral("Command2"))->isEnabled());
        QSignalSpy save(&r.page, &SerialPage::saveRequested);
        r.page.Command2_Click();
        QVERIFY(!r.button(QStringLiteral("Command2"))->isEnabled());
        QCOMPARE(save.size(), 1);
    }

    // The port box takes a typed port number as the choice; its list stays what the settings offer.
    void typedPortText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("portText");
        QTest::newRow("port number") << "12" << "12";
        QTest::newRow("five digits") << "32767" << "32767";
        QTest::newRow("letters refused") << "abc" << "";
        QTest::newRow("separators refused") << "3|4" << "34";
        QTest::newRow("past the last port") << "99999" << "9999";
    }
    void typedPortText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, portText);
        Rig r;
        r.link.choices().setPortItems({QStringLiteral("3"), QStringLiteral("4")});
        auto *combo1 = r.find<QComboBox>(QStringLiteral("Combo1"));
        combo1->clearEditText();
        QTest::keyClicks(combo1, typed);
        QTest::keyClick(combo1, Qt::Key_Return);
        QCOMPARE(r.link.choices().portText(), portText);
        QCOMPARE(combo1->count(), 2);
        QCOMPARE(r.link.choices().portItems(), (QStringList{QStringLiteral("3"), QStringLiteral("4")}));
    }

    void searchButtons()
    {
        Rig r;
        QTest::mouseClick(r.button(QStringLiteral("Command3")), Qt::LeftButton);
        QCOMPARE(r.queue.CommandQueueText(), QStringLiteral("PoiskUstroistva,|"));
        QSignalSpy autoSearch(&r.page, &SerialPage::autoSearchRequested);
        QVERIFY(autoSearch.isEmpty());
        QTest::mouseClick(r.button(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(autoSearch.size(), 1);
        QCOMPARE(r.queue.CommandQueueText(), QStringLiteral("PoiskUstroistva,|"));
    }

    void statusPanelMirrorsTheModel()
    {
        StatusModel model;
        StatusPanel panel(model);
        QCOMPARE(panel.objectName(), QStringLiteral("StatusForm"));
        QCOMPARE(panel.property("kindCode").toString(), QStringLiteral("S"));
        QCOMPARE(panel.width(), 13010 / 15);
        QVERIFY(panel.height() >= panel.fontMetrics().height());
        const auto text = [&](const char *name) { return panel.findChild<QLabel *>(QLatin1String(name))->text(); };
        QCOMPARE(text("Label1"), QStringLiteral("Соединение:"));
        QCOMPARE(text("Label3"), QStringLiteral("Состояние:"));
        QCOMPARE(text("Label16"), QStringLiteral("Com:"));
        QCOMPARE(text("Label2"), QStringLiteral("Нет"));
        QCOMPARE(text("Label4"), QStringLiteral("..."));

        model.setConnection(QStringLiteral("Ошибка соединения 8020"), QStringLiteral("Input/output error"));
        model.setOperation(QStringLiteral("Чтение конфигурации..."));
        model.setPort(QStringLiteral("7"), QStringLiteral("/dev/pts/3"));
        model.showProgress(1024, 2370);
        QCOMPARE(text("Label2"), QStringLiteral("Ошибка соединения 8020"));
        QCOMPARE(panel.findChild<QLabel *>(QStringLiteral("Label2"))->toolTip(), QStringLiteral("Input/output error"));
        QCOMPARE(text("Label4"), QStringLiteral("Чтение конфигурации..."));
        QCOMPARE(text("Label5"), QStringLiteral("7"));
        QCOMPARE(text("Label7"), model.counter());
        QCOMPARE(text("Label6"), model.bar());
        for (const char *value : {"Label2", "Label4", "Label5", "Label6", "Label7"})
            QCOMPARE(panel.findChild<QLabel *>(QLatin1String(value))->accessibleDescription(), text(value));
    }

    // "<count> / <total> байт" and a bar of round-half-even(count * 50 / total) letters "I" after a blank.
    void progressTexts_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("counter");
        QTest::addColumn<int>("letters");
        QTest::newRow("nothing yet") << qint64(0) << qint64(62720) << QStringLiteral("0 / 62720 байт") << 0;
        QTest::newRow("just under one letter") << qint64(627) << qint64(62720) << QStringLiteral("627 / 62720 байт") << 0;
        QTest::newRow("one letter") << qint64(1254) << qint64(62720) << QStringLiteral("1254 / 62720 байт") << 1;
        QTest::newRow("half to even, down") << qint64(1) << qint64(4) << QStringLiteral("1 / 4 байт") << 12;
        QTest::newRow("half to even, up") << qint64(3) << qint64(4) << QStringLiteral("3 / 4 байт") << 38;
        QTest::newRow("all") << qint64(62720) << qint64(62720) << QStringLiteral("62720 / 62720 байт") << 50;
        QTest::newRow("no total") << qint64(5) << qint64(0) << QStringLiteral("5 / 0 байт") << 0;
        QTest::newRow("twice too many") << qint64(4740) << qint64(2370) << QStringLiteral("4740 / 2370 байт") << 100;
        QTest::newRow("negative") << qint64(-1) << qint64(10) << QStringLiteral("-1 / 10 байт") << 0;
        QTest::newRow("largest") << qint64(9223372036854775807) << qint64(-9223372036854775807 - 1)
                                 << QStringLiteral("9223372036854775807 / -9223372036854775808 байт") << 0;
    }
    void progressTexts()
    {
        QFETCH(qint64, count);
        QFETCH(qint64, total);
        QFETCH(QString, counter);
        QFETCH(int, letters);
        const QString bar = QStringLiteral(" ") + QString(letters, QLatin1Char('I'));
        StatusModel model;
        model.showProgress(count, total);
        QCOMPARE(model.counter(), counter);
        QCOMPARE(model.bar(), bar);
        // Written over by someone else, or cleared, the texts come back with the next progress.
        model.setCounter(QStringLiteral("x"));
        model.setBar(QLatin1Char('x') + QString(letters, QLatin1Char('I')));
        model.showProgress(count, total);
        QCOMPARE(model.counter(), counter);
        QCOMPARE(model.bar(), bar);
        model.clearProgress();
        model.showProgress(count, total);
        QCOMPARE(model.counter(), counter);
        QCOMPARE(model.bar(), bar);
    }

    // Every value of the strip fits its box at its longest, the full progress bar included, and the
    // strip keeps its width.
    void statusPanelFitsItsLongestTexts_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::newRow("bar, all 50 marks") << "Label6" << QStringLiteral(" ") + QString(50, QLatin1Char('I'));
        QTest::newRow("connection passive") << "Label2" << "Пассивно";
        QTest::newRow("connection error") << "Label2" << "Ошибка соединения 8020";
        QTest::newRow("send error") << "Label2" << "Ошибка передачи 8018";
        QTest::newRow("unit not found") << "Label4" << "Устройство не обнаружено!";
        QTest::newRow("save error") << "Label4" << "Ошибка при сохранении!";
        QTest::newRow("edits kept") << "Label4" << "Не прочитано: есть изменения";
        QTest::newRow("firmware counter") << "Label7" << "62720 / 62720 байт";
        QTest::newRow("highest port") << "Label5" << "32767";
    }
    void statusPanelFitsItsLongestTexts()
    {
        QFETCH(QString, label);
        QFETCH(QString, text);
        StatusModel model;
        StatusPanel panel(model);
        panel.show();
        QCOMPARE(panel.width(), 13010 / 15);
        auto *box = panel.findChild<QLabel *>(label);
        QVERIFY(box);
        box->setText(text);
        QVERIFY2(box->contentsRect().width() >= box->fontMetrics().horizontalAdvance(text),
                 qPrintable(QStringLiteral("%1 < %2").arg(box->contentsRect().width())
                                .arg(box->fontMetrics().horizontalAdvance(text))));
    }

    // Progress shown on every poll: whatever steps came before, the texts read are those of the last
    // numbers, and the strip hears of a change only when the numbers (or texts) change.
    void progressStepsReadAtTheEnd_data()
    {
        QTest::addColumn<QList<qint64>>("steps");   // count, total, count, total, ...
        QTest::addColumn<QString>("counter");
        QTest::addColumn<int>("letters");
        QTest::addColumn<int>("changes");
        QTest::newRow("one step") << QList<qint64>{64, 62720} << QStringLiteral("64 / 62720 байт") << 0 << 1;
        QTest::newRow("many steps") << QList<qint64>{0, 62720, 64, 62720, 31360, 62720, 62720, 62720}
                                    << QStringLiteral("62720 / 62720 байт") << 50 << 4;
        QTest::newRow("same numbers again") << QList<qint64>{1, 4, 1, 4, 1, 4} << QStringLiteral("1 / 4 байт") << 12 << 1;
        QTest::newRow("back down") << QList<qint64>{3, 4, 1, 4} << QStringLiteral("1 / 4 байт") << 12 << 2;
        QTest::newRow("other total") << QList<qint64>{2368, 2368, 10, 2370} << QStringLiteral("10 / 2370 байт") << 0 << 2;
    }
    void progressStepsReadAtTheEnd()
    {
        QFETCH(QList<qint64>, steps);
        QFETCH(QString, counter);
        QFETCH(int, letters);
        QFETCH(int, changes);
        StatusModel model;
        int changed = 0;
        connect(&model, &StatusModel::changed, this, [&changed] { ++changed; });
        for (qsizetype i = 0; i + 1 < steps.size(); i += 2)
            model.showProgress(steps.at(i), steps.at(i + 1));
        QCOMPARE(changed, changes);
        QCOMPARE(model.counter(), counter);
        QCOMPARE(model.bar(), QStringLiteral(" ") + QString(letters, QLatin1Char('I')));
        // Set otherwise, the counter stays so until the next progress.
        model.setCounter(QStringLiteral("x"));
        QCOMPARE(model.counter(), QStringLiteral("x"));
        QCOMPARE(model.bar(), QStringLiteral(" ") + QString(letters, QLatin1Char('I')));
    }
};

QTEST_MAIN(TestLinkPages)
#include "tst_linkpages.moc"
