#include "settings/ProgramOptions.h"
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "link/StatusSupervisor.h"
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QtTest>

class TestProgramOptions : public QObject {
    Q_OBJECT
private slots:
    void captions_data();
    void captions();
    void loadStateRefusesBadValues_data();
    void loadStateRefusesBadValues();
    void clicks_data();
    void clicks();
    void activationClearsDirtyFlag();
};

void TestProgramOptions::captions_data()
{
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("editable");
    QTest::newRow("Check1") << 1 << "Автоматический поиск устройства при потере соединения" << true;
    QTest::newRow("Check2") << 2 << "Чтение конфигурации при обнаружении устройства" << false;
    QTest::newRow("Check3") << 3 << "Запуск мастера при старте программы" << false;
    QTest::newRow("Check4") << 4 << "Сохранять и использовать параметры последнего успешного подключения" << true;
    QTest::newRow("Check5") << 5 << "Однократный автоматический поиск устройства при старте программы" << true;
}

void TestProgramOptions::captions()
{
    QFETCH(int, check);
    QFETCH(QString, caption);
    QFETCH(bool, editable);
    QCOMPARE(ProgramOptions::caption(check), caption);
    QCOMPARE(ProgramOptions::isUserEditable(check), editable);
}

void TestProgramOptions::loadStateRefusesBadValues_data()
{
    QTest::addColumn<int>("check");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("unticked") << 1 << 0 << true;
    QTest::newRow("ticked") << 5 << 1 << true;
    QTest::newRow("greyed") << 3 << 2 << true;
    QTest::newRow("state 3") << 2 << 3 << false;
    QTest::newRow("negative state") << 4 << -1 << false;
    QTest::newRow("check 0") << 0 << 1 << false;
    QTest::newRow("check 6") << 6 << 1 << false;
}

void TestProgramOptions::loadStateRefusesBadValues()
{
    QFETCH(int, check);
    QFETCH(int, state);
    QFETCH(bool, accepted);
    ProgramOptions options;
    for (int n = 1; n <= ProgramOptions::kCount; ++n)
        QVERIFY(options.setCheckState(n, 1));
    QSignalSpy clicked(&options, &ProgramOptions::clicked);
    QCOMPARE(options.setCheckState(check, state), accepted);
    for (int n = 1; n <= ProgramOptions::kCount; ++n)
        QCOMPARE(options.checkState(n), accepted && n == check ? state : 1);
    // Loading is no change by the user and mirrors nothing by itself.
    QVERIFY(!options.saveEnabled());
    QVERIFY(clicked.isEmpty());
}

void TestProgramOptions::clicks_data()
{
    QTest::addColumn<int>("check");
    QTest::addColumn<int>("newState");
    QTest::addColumn<bool>("avtopoisk");
    QTest::addColumn<bool>("useLast");
    // Both Booleans start true when the box is to be unticked, false when it is to be ticked.
    QTest::newRow("Check5 ticked sets Avtopoisk") << 5 << 1 << true << false;
    QTest::newRow("Check5 unticked clears Avtopoisk") << 5 << 0 << false << true;
    QTest::newRow("Check4 unticked leaves UseLast") << 4 << 0 << true << true;
    QTest::newRow("Check4 ticked leaves UseLast") << 4 << 1 << false << false;
    QTest::newRow("Check1 touches neither") << 1 << 1 << false << false;
}

void TestProgramOptions::clicks()
{
    QFETCH(int, check);
    QFETCH(int, newState);
    QFETCH(bool, avtopoisk);
    QFETCH(bool, useLast);
    // The options as the window has them: the click reaches its unit's supervision.
    QTemporaryDir dir;
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    FakeSerialPort port;
    TarviksApp app(AppSetup{dir.path(), &port, &messages, &dialogs, &clock});
    ProgramOptions &options = app.options();
    StatusSupervisor &supervision = app.supervisor();
    options.setCheckState(check, 1 - newState);
    supervision.Avtopoisk = newState == 0;
    supervision.UseLastSucsessConnection = newState == 0;
    QSignalSpy changed(&options, &ProgramOptions::changed);
    QSignalSpy clicked(&options, &ProgramOptions::clicked);

    options.checkClicked(check, newState);
    QCOMPARE(options.checkState(check), newState);
    QVERIFY(options.saveEnabled());
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(supervision.Avtopoisk, avtopoisk);
    QCOMPARE(supervision.UseLastSucsessConnection, useLast);
    QVERIFY(changed.count() >= 1);

    // Clicking back to the state of the file still leaves the button enabled.
    options.checkClicked(check, 1 - newState);
    QVERIFY(options.saveEnabled());
}

void TestProgramOptions::activationClearsDirtyFlag()
{
    ProgramOptions options;
    options.checkClicked(1, 1);
    QVERIFY(options.saveEnabled());
    options.Form_Activate();
    QVERIFY(!options.saveEnabled());
    QCOMPARE(options.checkState(1), 1);
    // A click with a state the box cannot have changes nothing.
    options.checkClicked(1, 7);
    QVERIFY(!options.saveEnabled());
    QCOMPARE(options.checkState(1), 1);
}

QTEST_MAIN(TestProgramOptions)
#include "tst_programoptions.moc"
