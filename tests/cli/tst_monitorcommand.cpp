#include "SessionSeams.h"
#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "cli/MonitorCommand.h"
#include "link/SerialLink.h"
#include "unit/ExitCode.h"
#include "unit/IdentifyJob.h"
#include "unit/UnitMessages.h"

namespace {
// One unit on the simulator's loopback port; every poll is 50 ms of the line.
struct MonitorRig : SessionSeams {
    UnitMessages said;
    SimCore core;
    SimLoopbackPort port{core, 1};
    UnitSession unit{folder.path(), &port, UnitSession::Borrowed{settings, said, dialogs, clock}};
    int polls = 0;

    explicit MonitorRig(const SimFaults &faults) : core(SimDefaults::image(), SimDefaults::firmware(), faults)
    {
        unit.start(false);
    }
    void run(UnitJob &job, IdentifyJob *draining = nullptr)
    {
        job.start();
        QCoreApplication::sendPostedEvents();
        for (polls = 0; polls < 2000 && !job.done(); ++polls) {
            port.advance(SerialLink::kPollMs);
            if (unit.link().pollTimer().isActive())
                unit.link().receiveTick();
            if (draining)
                draining->poll();
            QCoreApplication::sendPostedEvents();
        }
        QVERIFY(job.done());
    }
};
}

// monitor against a unit that answers its name but not a monitoring request.
class TestMonitorCommand : public QObject {
    Q_OBJECT
private slots:
    void silentUnitIsToldWhatToCheck()
    {
        SimFaults faults;
        faults.silent = true;
        faults.onlyFor = {QByteArrayLiteral("#6002")};
        MonitorRig rig(faults);
        IdentifyJob identify(rig.unit, rig.said, 1);
        identify.setManualPacing(true);
        rig.run(identify, &identify);
        QCOMPARE(identify.result().code, ExitCode::Success);

        CliOptions options;
        options.journal = rig.folder.filePath(QStringLiteral("journal.csv"));
        QStringList shown;
        MonitorCommand monitor(rig.unit, rig.said, options, [&shown](const QString &text) { shown << text; });
        rig.run(monitor);
        QCOMPARE(monitor.result().code, ExitCode::TransferFailed);
        QCOMPARE(monitor.result().text,
                 QStringLiteral("Мониторинг прекращён. Устройство не ответило на запрос мониторинга за 5 с. Проверьте "
                                "кабель, скорость порта (--speed) и питание устройства."));
        // The configuration read (2.5 s at 9600 baud), then the request's 5 s: not the 27 s of five
        // unanswered requests.
        QVERIFY2(rig.polls * SerialLink::kPollMs < 9000, qPrintable(QString::number(rig.polls)));
        QVERIFY(shown.isEmpty());
        QVERIFY(QFileInfo::exists(options.journal));
    }
};

QTEST_GUILESS_MAIN(TestMonitorCommand)
#include "tst_monitorcommand.moc"
