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

// monitor against a unit that answers its name but not a monitoring request, in-process on the
// simulator's loopback port: every poll is 50 ms of the line.
class TestMonitorCommand : public QObject {
    Q_OBJECT
private slots:
    void silentUnitIsToldWhatToCheck()
    {
        SessionSeams seams;
        UnitMessages said;
        SimFaults faults;
        faults.silent = true;
        faults.onlyFor = {QByteArrayLiteral("#6002")};
        SimCore core(SimDefaults::image(), SimDefaults::firmware(), faults);
        SimLoopbackPort port(core, 1);
        UnitSession unit(seams.folder.path(), &port, UnitSession::Borrowed{seams.settings, said, seams.dialogs, seams.clock});
        unit.start(false);
        int polls = 0;
        const auto run = [&](UnitJob &job, IdentifyJob *draining) {
            job.start();
            for (polls = 0; polls < 2000 && !job.done(); ++polls) {
                QCoreApplication::sendPostedEvents();
                port.advance(SerialLink::kPollMs);
                if (unit.link().pollTimer().isActive())
                    unit.link().receiveTick();
                if (draining)
                    draining->poll();
            }
            return job.result().code;
        };
        IdentifyJob identify(unit, said, 1);
        identify.setManualPacing(true);
        QCOMPARE(run(identify, &identify), ExitCode::Success);

        CliOptions options;
        options.journal = seams.folder.filePath(QStringLiteral("journal.csv"));
        MonitorCommand monitor(unit, said, options, [](const QString &text) { QFAIL(qPrintable(text)); });
        QCOMPARE(run(monitor, nullptr), ExitCode::TransferFailed);
        QCOMPARE(monitor.result().text,
                 QStringLiteral("Мониторинг прекращён. Устройство не ответило на запрос мониторинга за 5 с. Проверьте "
                                "кабель, скорость порта (--speed) и питание устройства."));
        // The configuration read (2.5 s at 9600 baud), then the request's 5 s: not five requests' 27 s.
        QVERIFY2(polls * SerialLink::kPollMs < 9000, qPrintable(QString::number(polls)));
        QVERIFY(QFileInfo::exists(options.journal));
    }
};

QTEST_GUILESS_MAIN(TestMonitorCommand)
#include "tst_monitorcommand.moc"
