#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsPage.h"
#include "app/TarviksApp.h"
#include "link/StatusSupervisor.h"
#include "shell/MainWindow.h"
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

namespace {

// The page as the window has it, so its save and its Check5 reach the program settings and the
// unit the way the program wires them.
struct Rig {
    QTemporaryDir dir;
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    FakeSerialPort port;
    TarviksApp app{AppSetup{dir.path(), &port, &messages, &dialogs, &clock}};
    ProgramOptions &options = app.options();
    ProgramSettings &settings = app.settings();
    SerialLink &link = app.link();
    SettingsPage &page = *qobject_cast<SettingsPage *>(app.page(QStringLiteral("RPF_19")));

    Rig()
    {
        QDir(dir.path()).mkpath(QStringLiteral("Service"));
        app.window().show();
    }
    void load(const QStringList &lines)
    {
        QFile f(settings.filePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        for (const QString &line : lines)
            f.write(Cp1251::encode(line) + "\r\n");
        f.close();
        settings.TXconfigLoadParam();
    }
    QByteArray file() const
    {
        QFile f(settings.filePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

class TestSettingsPage : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void loadShowsStates();
    void showingDisablesSave();
    void clickCheck5ActsAtOnce();
    void clickCheck4WaitsForNextStart();
    void clickGreyedUnticks();
    void saveWritesOptionsAndSerialSettings();
};

void TestSettingsPage::layout()
{
    Rig rig;
    QCOMPARE(rig.page.objectName(), QStringLiteral("RPF_19"));
    QCOMPARE(rig.page.header()->text(), QStringLiteral("Настройки программы"));
    QList<QCheckBox *> boxes = rig.page.findChildren<QCheckBox *>();
    QCOMPARE(boxes.size(), 5);
    std::sort(boxes.begin(), boxes.end(), [](QCheckBox *a, QCheckBox *b) { return a->y() < b->y(); });
    QStringList order;
    for (QCheckBox *box : boxes) {
        order << box->objectName();
        const int n = box->objectName().mid(5).toInt();
        QCOMPARE(box->text(), ProgramOptions::caption(n));
        QCOMPARE(box->isEnabled(), n != 2 && n != 3);
    }
    QCOMPARE(order, (QStringList{"Check1", "Check5", "Check4", "Check2", "Check3"}));
    QCOMPARE(rig.page.saveButton()->text(), QStringLiteral("Сохранить настройки"));
    QCOMPARE(rig.page.saveButton()->objectName(), QStringLiteral("Command2"));
    QVERIFY(rig.page.saveButton()->y() > boxes.last()->y() + boxes.last()->height() - 1);
}

void TestSettingsPage::loadShowsStates()
{
    Rig rig;
    rig.load({"RPF_19.Check1:1", "RPF_19.Check2:1", "RPF_19.Check3:2", "RPF_19.Check4:0", "RPF_19.Check5:1"});
    QCOMPARE(rig.page.check(1)->checkState(), Qt::Checked);
    QCOMPARE(rig.page.check(2)->checkState(), Qt::Checked);
    QCOMPARE(rig.page.check(3)->checkState(), Qt::PartiallyChecked);
    QCOMPARE(rig.page.check(4)->checkState(), Qt::Unchecked);
    QCOMPARE(rig.page.check(5)->checkState(), Qt::Checked);
    QVERIFY(!rig.page.saveButton()->isEnabled());
}

void TestSettingsPage::showingDisablesSave()
{
    Rig rig;
    rig.options.setSaveEnabled(true);
    rig.page.show();
    QVERIFY(!rig.page.saveButton()->isEnabled());
    // Ticking and unticking again leaves the button enabled.
    rig.page.check(1)->click();
    rig.page.check(1)->click();
    QCOMPARE(rig.options.checkState(1), 0);
    QVERIFY(rig.page.saveButton()->isEnabled());
    rig.page.hide();
    rig.page.show();
    QVERIFY(!rig.page.saveButton()->isEnabled());
}

void TestSettingsPage::clickCheck5ActsAtOnce()
{
    Rig rig;
    rig.load({"RPF_19.Check5:1"});
    QVERIFY(rig.app.supervisor().Avtopoisk);
    rig.page.check(5)->click();
    QCOMPARE(rig.options.checkState(5), 0);
    QVERIFY(!rig.app.supervisor().Avtopoisk);
    rig.page.check(5)->click();
    QVERIFY(rig.app.supervisor().Avtopoisk);
}

void TestSettingsPage::clickCheck4WaitsForNextStart()
{
    Rig rig;
    rig.load({"RPF_19.Check4:1"});
    QVERIFY(rig.app.supervisor().UseLastSucsessConnection);
    rig.page.check(4)->click();
    QCOMPARE(rig.options.checkState(4), 0);
    QCOMPARE(rig.page.check(4)->checkState(), Qt::Unchecked);
    QVERIFY(rig.app.supervisor().UseLastSucsessConnection);
}

void TestSettingsPage::clickGreyedUnticks()
{
    Rig rig;
    rig.load({"RPF_19.Check1:2"});
    QCOMPARE(rig.page.check(1)->checkState(), Qt::PartiallyChecked);
    rig.page.check(1)->click();
    QCOMPARE(rig.options.checkState(1), 0);
    QCOMPARE(rig.page.check(1)->checkState(), Qt::Unchecked);
    rig.page.check(1)->click();
    QCOMPARE(rig.options.checkState(1), 1);
    QCOMPARE(rig.page.check(1)->checkState(), Qt::Checked);
}

void TestSettingsPage::saveWritesOptionsAndSerialSettings()
{
    Rig rig;
    rig.load({"Доступная скорость порта:9600", "Доступная скорость порта:19200", "Акт индекс номера порта:1",
              "Акт индекс скорости:1", "Акт индекс контр передачи:1", "RPF_19.Check1:0", "RPF_19.Check5:0"});
    rig.page.show();
    rig.link.UsbComPortNumber = 6;
    rig.link.choices().setSpeedIndex(1);
    rig.link.choices().setHandshakeIndex(1);
    rig.page.check(1)->click();
    QVERIFY(rig.page.saveButton()->isEnabled());

    rig.page.saveButton()->click();

    QCOMPARE(rig.file(), Cp1251::encode(QStringLiteral("Доступная скорость порта:9600\r\n"
                                                       "Доступная скорость порта:19200\r\n"
                                                       "Акт индекс номера порта:6\r\n"
                                                       "Акт индекс скорости:2\r\n"
                                                       "Акт индекс контр передачи:2\r\n"
                                                       "RPF_19.Check1:1\r\n"
                                                       "RPF_19.Check5:0\r\n")));
    QVERIFY(!rig.page.saveButton()->isEnabled());
    QVERIFY(rig.messages.texts.isEmpty());
}

QTEST_MAIN(TestSettingsPage)
#include "tst_settingspage.moc"
