#include <QtTest>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include "E2eProgram.h"
#include "SimProcess.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "monitor/MonitorExchange.h"
#include "monitor/ModelPictureWidget.h"
#include "monitor/MonitorPage.h"
#include "shell/MainWindow.h"

// Monitoring in the real program (real port, real timers) against zorgel-sim on a pseudo-terminal.
class TestE2eMonitor : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 90000;   // generous: a busy machine slows the programs, not the checks

    struct Program : E2e::Program {
        using E2e::Program::Program;
        MonitorPage *page() { return qobject_cast<MonitorPage *>(app.page(MonitorPage::kFormName)); }
        QString text(const QString &accessibleName)
        {
            for (QLabel *label : page()->findChildren<QLabel *>())
                if (label->accessibleName() == accessibleName && label->isVisibleTo(page()))
                    return label->text();
            return QStringLiteral("<none>");
        }
    };

    // Found, read, then the monitoring page at the shortest period.
    static void startMonitoring(Program &program)
    {
        TarviksApp &app = program.app;
        QTRY_COMPARE_WITH_TIMEOUT(app.status().operation(), QStringLiteral("Прочитано успешно!"), kTimeoutMs);
        app.window().showPage(QStringLiteral("m03"));
        program.page()->scrollBar()->setValue(MonitorExchange::kMinPosition);
        // After the unit came on line "Стоп" is enabled, so polling runs without "Старт".
        QVERIFY(program.page()->stopButton()->isEnabled());
    }

private slots:
    void valuesOfTheUnit()
    {
        QTemporaryDir folder;
        E2e::writeSettings(folder.path(), {});   // port 1, configuration read on detection
        SimProcess sim;
        QVERIFY2(sim.start(folder.path()), qPrintable(sim.errorText()));
        Program program(folder.path());
        startMonitoring(program);
        if (QTest::currentTestFailed())
            return;

        // The factory unit has 8 inputs, range 20 … 80 %: inputs 1, 3 and 4 are normal, low and high.
        QTRY_COMPARE_WITH_TIMEOUT(program.text(QStringLiteral("Вход 4 Сост.")), QStringLiteral("H"), kTimeoutMs);
        QCOMPARE(program.text(QStringLiteral("Вход 1 Сост.")), QStringLiteral("n"));
        QCOMPARE(program.text(QStringLiteral("Вход 3 Сост.")), QStringLiteral("L"));
        QCOMPARE(program.text(QStringLiteral("Вход 1 Норма")), QStringLiteral("20 - 80"));
        QCOMPARE(program.text(QStringLiteral("Вход 9 Вольт")), QStringLiteral("<none>"));
        const QString separator = QLocale().decimalPoint();
        QVERIFY2(program.text(QStringLiteral("Аккумулятор Вольт")).startsWith(QStringLiteral("12") + separator),
                 qPrintable(program.text(QStringLiteral("Аккумулятор Вольт"))));
        // Sensor frames alternate with measurement frames: T1 on the board and T2 registered.
        QTRY_VERIFY_WITH_TIMEOUT(MonitorDecoder::leadingNumber(program.text(QStringLiteral("T2"))), kTimeoutMs);
        QCOMPARE(program.text(QStringLiteral("T3")), QString());
        QVERIFY(program.page()->picture(3)->isVisible());   // ЗОРГЕЛ-GSM8T
        QVERIFY2(program.messages.texts.isEmpty(), qPrintable(program.messages.texts.join(QLatin1Char('|'))));

        program.page()->stopButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(program.app.queue().LinkFree(), kTimeoutMs);
        QVERIFY(!program.app.monitorExchange().pollTimer().isActive());
    }

    // A unit that answers monitoring badly never holds the link.
    void faultyUnitLeavesTheProgramUsable_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("decoded");    // the reply is shown in the end
        QTest::addColumn<QString>("message");
        QTest::newRow("silent") << QStringList{"--silent", "--only", "#6002"} << false << "";
        QTest::newRow("short") << QStringList{"--length-delta", "-1", "--only", "#6002"} << false << "";
        QTest::newRow("wrong frame kind") << QStringList{"--frame-kind", "7"} << false << "Ошибка кадра.";
        QTest::newRow("stuttering") << QStringList{"--split", "16", "--gap", "120", "--only", "#6002"} << true << "";
    }
    void faultyUnitLeavesTheProgramUsable()
    {
        QFETCH(QStringList, faults);
        QFETCH(bool, decoded);
        QFETCH(QString, message);
        QTemporaryDir folder;
        E2e::writeSettings(folder.path(), {});   // port 1, configuration read on detection
        SimProcess sim;
        QVERIFY2(sim.start(folder.path(), faults), qPrintable(sim.errorText()));
        QStringList operations;   // outlives the program, which reports to it until destroyed
        Program program(folder.path());
        TarviksApp &app = program.app;
        connect(&app.status(), &StatusModel::changed, this, [&app, &operations] {
            if (operations.isEmpty() || operations.last() != app.status().operation())
                operations << app.status().operation();
        });
        startMonitoring(program);
        if (QTest::currentTestFailed())
            return;

        QTRY_COMPARE_WITH_TIMEOUT(app.link().RPF_02VektorPriemaIsPorta, Tag::Monitoring, kTimeoutMs);
        if (decoded) {
            QTRY_VERIFY_WITH_TIMEOUT(program.text(QStringLiteral("Аккумулятор Вольт")) != MonitorReadings::kDesignText,
                                     kTimeoutMs);
            program.page()->stopButton()->click();
            QTRY_VERIFY_WITH_TIMEOUT(app.queue().LinkFree(), kTimeoutMs);
            QVERIFY(app.link().isOpen());
            QVERIFY(!operations.contains(QStringLiteral("Ошибка передачи!")));
        } else {
            // The exchange ends as a transfer error: the port closes and the link is free again.
            QTRY_VERIFY_WITH_TIMEOUT(!app.link().isOpen(), kTimeoutMs);
            QVERIFY2(operations.contains(QStringLiteral("Ошибка передачи!")), qPrintable(operations.join(QLatin1Char('|'))));
            QTRY_VERIFY_WITH_TIMEOUT(app.queue().LinkFree(), kTimeoutMs);
            QCOMPARE(program.text(QStringLiteral("Аккумулятор Вольт")), MonitorReadings::kDesignText);
            // A unit that never answers is named on the page, not only for a moment in the status strip.
            if (faults.contains(QStringLiteral("--silent")))
                QCOMPARE(program.page()->noticeLabel()->text(),
                         QStringLiteral("Устройство не ответило на запрос мониторинга (подряд: 1)"));
        }
        // The other pages are unlocked.
        QTRY_VERIFY_WITH_TIMEOUT(app.page(QStringLiteral("RPF_02"))->isEnabled(), kTimeoutMs);
        QCOMPARE(program.messages.texts, message.isEmpty() ? QStringList() : QStringList{message});
    }
};

QTEST_MAIN(TestE2eMonitor)
#include "tst_e2e_monitor.moc"
