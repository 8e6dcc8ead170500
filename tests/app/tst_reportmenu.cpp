#include <QtTest>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "FakeSerialDevices.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "monitor/MonitorExchange.h"
#include "shell/MainWindow.h"

namespace {
// What every page shows: each label's and box's text, by page and name.
QStringList shownTexts(MainWindow &window)
{
    QStringList texts;
    for (QWidget *child : window.childWindows()) {
        for (const QLabel *label : child->findChildren<QLabel *>())
            texts << child->objectName() + QLatin1Char('/') + label->objectName() + QLatin1Char('=') + label->text();
        for (const QLineEdit *box : child->findChildren<QLineEdit *>())
            texts << child->objectName() + QLatin1Char('/') + box->objectName() + QLatin1Char('=') + box->text()
                         + (box->isEnabled() ? QString() : QStringLiteral(" off"));
    }
    return texts;
}
}

// "Отчёт о настройке…" in the window, against the simulated unit in-process on virtual time.
class TestReportMenu : public QObject {
    Q_OBJECT
private slots:
    // The report of the unit read goes where the dialog says, offered as the unit's name and the
    // date; the pages show what they showed; a file that cannot be written is the file's message.
    void reportOfTheUnitRead()
    {
        QTemporaryDir folder;
        QDir(folder.path()).mkpath(QStringLiteral("Service/ports"));
        SimCore core(SimDefaults::image(), SimDefaults::firmware());
        SimLoopbackPort port(core, 1);
        RecordingMessageSink messages;
        ScriptedFileDialogs dialogs;
        FixedClock clock;
        FakeSerialDevices devices;
        TarviksApp app(AppSetup{folder.path(), &port, &messages, &dialogs, &clock, &devices});
        app.startUp(false);
        const auto stepUntil = [&](const std::function<bool()> &done) {
            for (int i = 0; i < 300 && !done(); ++i) {
                app.supervisor().tick();
                for (int poll = 0; poll < 4; ++poll) {
                    port.advance(50);
                    app.link().receiveTick();
                }
            }
            return done();
        };
        QVERIFY(stepUntil([&] { return app.status().operation() == QStringLiteral("Прочитано успешно!"); }));
        for (int frame = 0; frame < 2; ++frame) {
            app.monitorExchange().MonitoringProcess();
            QVERIFY(stepUntil([&] { return app.link().RPF_02VektorPriemaIsPorta == Tag::MonitoringOk; }));
        }
        const QStringList before = shownTexts(app.window());
        QAction *item = app.window().menuItem(QStringLiteral("mReport"));
        QVERIFY(item && item->text() == QStringLiteral("Отчёт о настройке…"));

        const QString path = folder.filePath(QStringLiteral("r.pdf"));
        dialogs.answers = {path};
        item->trigger();
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).defaultName,
                 Cp1251::decode(SimDefaults::deviceName()).trimmed() + QStringLiteral(" 2026-12-07.pdf"));
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly) && written.read(4) == "%PDF");
        QCOMPARE(shownTexts(app.window()), before);

        dialogs.answers = {folder.filePath(QStringLiteral("gone/r.pdf"))};
        item->trigger();
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY2(messages.texts.at(0).startsWith(QStringLiteral("Ошибка записи в файл: ") + folder.filePath(QStringLiteral("gone/r.pdf"))),
                 qPrintable(messages.texts.at(0)));
    }
};

QTEST_MAIN(TestReportMenu)
#include "tst_reportmenu.moc"
