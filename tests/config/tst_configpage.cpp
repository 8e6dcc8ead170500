#include <QtTest>
#include <QGroupBox>
#include <QPushButton>
#include <QTextEdit>
#include "ConfigTestRig.h"
#include "config/ConfigPage.h"
#include "link/OperationTags.h"

class TestConfigPage : public QObject {
    Q_OBJECT
private slots:
    // "Записать" names the boxes whose typed value was refused and asks whether to write the rest.
    void writeWithRefusedBoxes_data()
    {
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("queued");
        QTest::newRow("none refused") << QStringList{} << QList<bool>{} << "" << "write 0";
        QTest::newRow("one refused, write the rest")
            << QStringList{"Входы: Вход 2 Верхний (H)"} << QList<bool>{true}
            << "Значения, выделенные красным, не приняты и не будут записаны в устройство:\n"
               "Входы: Вход 2 Верхний (H)\nЗаписать в устройство остальные настройки?"
            << "write 0";
        QTest::newRow("two refused, stay")
            << QStringList{"Базовые настройки (с SIM-карты): Parol", "Входы: Вход 2 Верхний (H)"}
            << QList<bool>{false}
            << "Значения, выделенные красным, не приняты и не будут записаны в устройство:\n"
               "Базовые настройки (с SIM-карты): Parol\nВходы: Вход 2 Верхний (H)\n"
               "Записать в устройство остальные настройки?"
            << "";
        QTest::newRow("refused, then accepted") << QStringList{"-Входы: Вход 2 Верхний (H)"} << QList<bool>{} << ""
                                                << "write 0";
    }
    void writeWithRefusedBoxes()
    {
        QFETCH(QStringList, refused);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, question);
        QFETCH(QString, queued);
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        for (const QString &box : refused) {
            // "-box": refused, then an edit of the same box was stored.
            rig.image.setRefusedEdit(box.startsWith(QLatin1Char('-')) ? box.mid(1) : box, true);
            if (box.startsWith(QLatin1Char('-')))
                rig.image.setRefusedEdit(box.mid(1), false);
        }
        rig.messages.answers = answers;
        ConfigPage page(rig.exchange, rig.files, rig.transfer, rig.operations, rig.status, rig.messages);
        page.show();
        page.setOnlineControlsEnabled(true);
        QTest::mouseClick(page.button(QStringLiteral("Command2")), Qt::LeftButton);
        QCOMPARE(rig.messages.questions, question.isEmpty() ? QStringList{} : QStringList{question});
        QCOMPARE(rig.operations.started.join(QLatin1Char('|')), queued);
        QVERIFY(rig.messages.texts.isEmpty());
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<bool>("shown");
        QTest::newRow("read") << "Command1" << "Прочитать" << "Frame5" << true;
        QTest::newRow("write") << "Command2" << "Записать" << "Frame5" << true;
        QTest::newRow("copy") << "Command3" << "Копировать в файл" << "Frame5" << false;
        QTest::newRow("load") << "Command4" << "Загрузить из файла" << "Frame5" << false;
        QTest::newRow("open") << "Command8" << "Открыть" << "Frame6" << false;
        QTest::newRow("save") << "Command10" << "Сохранить" << "Frame6" << false;
        QTest::newRow("standard") << "Command11" << "Стандартный" << "Frame6" << false;
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, frame);
        QFETCH(bool, shown);
        ConfigTestRig rig;
        ConfigPage page(rig.exchange, rig.files, rig.transfer, rig.operations, rig.status, rig.messages);
        page.show();
        QPushButton *button = page.button(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->parentWidget()->objectName(), frame);
        QCOMPARE(button->isVisible(), shown);
        QCOMPARE(button->size(), QSize(1935 / 15, 495 / 15));
    }

    void onlyOneFrameAndTheHelpAreShown()
    {
        ConfigTestRig rig;
        ConfigPage page(rig.exchange, rig.files, rig.transfer, rig.operations, rig.status, rig.messages);
        page.show();
        QCOMPARE(page.objectName(), QStringLiteral("RPF_17"));
        QVERIFY(page.findChild<QGroupBox *>(QStringLiteral("Frame5"))->isVisible());
        QVERIFY(!page.findChild<QGroupBox *>(QStringLiteral("Frame6"))->isVisible());
        QCOMPARE(page.findChild<QGroupBox *>(QStringLiteral("Frame5"))->title(),
                 QStringLiteral("Конфигурация устройства"));
        auto *help = page.findChild<QTextEdit *>(QStringLiteral("RichTextBox1"));
        QVERIFY(help && help->isVisible() && help->isReadOnly());
        const QString text = help->toPlainText();
        QVERIFY(text.contains(QStringLiteral("между программой \"Тарвикс\" и блоком ЗОРГЕЛ")));
        QVERIFY(text.contains(QStringLiteral("4. Записать измененную конфигурацию в устройство.")));
        QVERIFY(text.contains(QStringLiteral("непосредственно из файла.")));
    }

    void readAndWriteButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QString>("queued");
        QTest::newRow("read, unit active") << "Command1" << StatusModel::kActive << "read 0";
        QTest::newRow("write, unit active") << "Command2" << StatusModel::kActive << "write 0";
        QTest::newRow("read, passive") << "Command1" << StatusModel::kPassive << "";
        QTest::newRow("write, no port") << "Command2" << StatusModel::kNone << "";
    }
    void readAndWriteButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, connection);
        QFETCH(QString, queued);
        ConfigTestRig rig;
        rig.status.setConnection(connection);
        ConfigPage page(rig.exchange, rig.files, rig.transfer, rig.operations, rig.status, rig.messages);
        page.show();
        page.setOnlineControlsEnabled(true);
        QTest::mouseClick(page.button(button), Qt::LeftButton);
        QCOMPARE(rig.operations.started.join(QLatin1Char('|')), queued);
        QCOMPARE(rig.messages.texts,
                 queued.isEmpty() ? QStringList{ConfigFileTransfer::kNoConnection} : QStringList{});
        // The page sends nothing itself.
        QVERIFY(rig.port.written().isEmpty());
    }

    void onlineControls()
    {
        ConfigTestRig rig;
        ConfigPage page(rig.exchange, rig.files, rig.transfer, rig.operations, rig.status, rig.messages);
        const QStringList online{"Command1", "Command2", "Command3", "Command4"};
        for (bool enabled : {true, false}) {
            page.setOnlineControlsEnabled(enabled);
            for (const QString &name : online)
                QCOMPARE(page.button(name)->isEnabled(), enabled);
            QVERIFY(page.button(QStringLiteral("Command8"))->isEnabled());
        }
    }

    void showingOrLeavingClearsProgress()
    {
        ConfigTestRig rig;
        ConfigPage page(rig.exchange, rig.files, rig.transfer, rig.operations, rig.status, rig.messages);
        rig.status.showProgress(640, 2370);
        page.show();
        QVERIFY(rig.status.counter().isEmpty() && rig.status.bar().isEmpty());
        rig.status.showProgress(640, 2370);
        page.hide();
        QVERIFY(rig.status.counter().isEmpty() && rig.status.bar().isEmpty());
    }
};

QTEST_MAIN(TestConfigPage)
#include "tst_configpage.moc"
