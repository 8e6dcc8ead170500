#include "SessionSeams.h"
#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "link/SerialLink.h"
#include "unit/ExitCode.h"
#include "unit/IdentifyJob.h"
#include "unit/ReadConfigJob.h"
#include "unit/LineDrain.h"
#include "unit/ConfigBackups.h"
#include "unit/UnitMessages.h"
#include "unit/WriteConfigJob.h"

namespace {

// One unit on the simulator's loopback port, on a clock of its own: every poll is 50 ms of the
// line, the receive pump's tick, and what the jobs queued meanwhile.
struct JobRig : SessionSeams {
    UnitMessages said;   // the unit's message boxes, as the jobs read them
    SimCore core;
    SimLoopbackPort port{core, 1};
    UnitSession unit{folder.path(), &port, UnitSession::Borrowed{settings, said, dialogs, clock}};
    IdentifyJob *draining = nullptr;

    explicit JobRig(const SimFaults &faults = {}, const QByteArray &image = SimDefaults::image())
        : core(image, SimDefaults::firmware(), faults)
    {
        unit.start(false);
    }
    void poll()
    {
        port.advance(SerialLink::kPollMs);
        // The pump runs while its timer would; a drain stops it and reads the line itself.
        if (unit.link().pollTimer().isActive())
            unit.link().receiveTick();
        if (draining)
            draining->poll();
        // What the jobs queued, without the real timers.
        QCoreApplication::sendPostedEvents();
    }
    void run(UnitJob &job)
    {
        job.start();
        QCoreApplication::sendPostedEvents();
        for (int polls = 0; polls < 20000 && !job.done(); ++polls)
            poll();
        QVERIFY(job.done());
    }
    bool identify()
    {
        IdentifyJob job(unit, said, 1);
        job.setManualPacing(true);
        draining = &job;
        run(job);
        draining = nullptr;
        return job.result().code == ExitCode::Success;
    }
};

QByteArray formatted(const QByteArray &image)
{
    QByteArray out;
    for (int at = 0; at < image.size(); at += 64)
        out += ConfigFiles::formatLine(image.mid(at, 64));
    return out;
}

QList<QByteArray> blocksOf(const QByteArray &bytes, int size)
{
    QList<QByteArray> blocks;
    for (int at = 0; at < bytes.size(); at += size)
        blocks << bytes.mid(at, size);
    return blocks;
}

SimFaults only(const QByteArray &request, SimFaults faults)
{
    faults.onlyFor = {request};
    return faults;
}

} // namespace

Q_DECLARE_METATYPE(SimFaults)

// The unit jobs in-process against the simulated unit, where they add to the exchanges they drive.
// The expected texts are the user's.
class TestUnitJobs : public QObject {
    Q_OBJECT

private slots:
    // Before the name is asked, what a unit still sends is read away: quiet after 6 empty reads,
    // and while bytes keep coming, up to 2.5 s beyond the line time of a 62720-byte reply.
    void lineDrain_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("quietPolls");
        QTest::addColumn<QList<int>>("reads");   // bytes per read; then nothing more
        QTest::addColumn<bool>("endless");       // the last read repeats for ever
        QTest::addColumn<int>("endsAt");         // 1-based read that ends the drain
        QTest::newRow("quiet line") << 9600 << 6 << QList<int>{0} << false << 6;
        QTest::newRow("rest of a reply, then quiet") << 9600 << 6 << QList<int>{64, 64} << false << 8;
        QTest::newRow("a byte in the quiet starts it again") << 9600 << 6 << QList<int>{0, 0, 0, 0, 0, 1} << false
                                                             << 12;
        // 2500 ms + 62720 bytes * 10 bits / 115200 = 7944 ms.
        QTest::newRow("never silent at 115200: 7950 ms") << 115200 << 6 << QList<int>{1} << true << 159;
        // 2500 ms + 65333 ms.
        QTest::newRow("never silent at 9600: 67850 ms") << 9600 << 6 << QList<int>{1} << true << 1357;
        QTest::newRow("a write given up: 2 s of quiet") << 9600 << 40 << QList<int>{0} << false << 40;
    }
    void lineDrain()
    {
        QFETCH(int, baud);
        QFETCH(int, quietPolls);
        QFETCH(QList<int>, reads);
        QFETCH(bool, endless);
        QFETCH(int, endsAt);
        LineDrain drain(baud, quietPolls);
        int ended = 0;
        for (int n = 1; n <= 3000 && ended == 0; ++n) {
            const int bytes = n <= reads.size() ? reads.at(n - 1) : (endless ? reads.constLast() : 0);
            if (drain.poll(bytes))
                ended = n;
        }
        QCOMPARE(ended, endsAt);
    }

    void identify_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<QByteArray>("pending");   // a request the unit is still answering
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("noted");   // the drain saw bytes still coming
        const QString found = QStringLiteral("Устройство обнаружено! COM1: ЗОРГЕЛ-GSM8T");
        SimFaults garbage;
        garbage.garbage = true;
        QTest::newRow("garbage for a name: check the speed")
            << only("#4000", garbage) << QByteArray() << int(ExitCode::NoUnit)
            << QStringLiteral("COM1 = sim:COM1: ответ не от устройства ЗОРГЕЛ: получено 24 байта, а устройство отвечает "
                              "24 байтами, начиная с «#4000=». Возможно, устройство настроено на другую скорость: "
                              "проверьте --speed.") << false;
        SimFaults slow;
        slow.baud = 9600;
        QTest::newRow("the rest of an interrupted firmware read, at 9600 baud")
            << only("#5000", slow) << QByteArrayLiteral("#5000") << int(ExitCode::Success) << found << true;
        QTest::newRow("a unit left inside a write") << SimFaults{} << QByteArrayLiteral("#6001")
                                                    << int(ExitCode::Success) << found << true;
        // Its "OK" for the last block comes 0.6 s late, after the drain, in place of the name.
        SimFaults lateAck;
        lateAck.ackDelayMs = 600;
        QTest::newRow("a unit left inside a write, its last OK held")
            << lateAck << QByteArrayLiteral("#6001") + QByteArray(64, 'x') << int(ExitCode::Success) << found << false;
    }
    void identify()
    {
        QFETCH(SimFaults, faults);
        QFETCH(QByteArray, pending);
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(bool, noted);
        JobRig rig(faults);
        if (!pending.isEmpty())
            rig.core.receive(pending, 0);
        IdentifyJob job(rig.unit, rig.said, 1);
        job.setManualPacing(true);
        rig.draining = &job;
        QStringList notes;
        connect(&job, &UnitJob::stageChanged, this, [&notes](const QString &stage) { notes << stage; });
        rig.run(job);
        QCOMPARE(job.result().code, code);
        QCOMPARE(job.result().text, text);
        QCOMPARE(rig.unit.link().isOpen(), code == ExitCode::Success);
        // A reply still coming is said on the progress line, with its bytes so far.
        QCOMPARE(std::any_of(notes.cbegin(), notes.cend(),
                             [](const QString &note) { return note.startsWith(QStringLiteral("устройство ещё передаёт: ")); }),
                 noted);
    }

    // A read whose model cells name no model is a failed read: the earlier file stays and no copy is
    // kept; --force keeps the file with a warning. A copy that cannot be kept is no success either.
    void readConfig_data()
    {
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("backupsBlocked");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("warned");
        QTest::addColumn<QString>("text");
        const QString unknown = QStringLiteral(
            "Внимание: ячейки модели 2369–2370 (FF 02) не называют ни одной известной модели: возможно, ответ не от "
            "устройства ЗОРГЕЛ или порт настроен на другую скорость. Проверьте файл перед записью.");
        QTest::newRow("a known model") << QByteArray("\x12\x01", 2) << false << false << int(ExitCode::Success)
                                       << QStringList() << QStringLiteral("Сохранено успешно! ");
        QTest::newRow("bytes that name no model: failed, file kept")
            << QByteArray("\xFF\x02", 2) << false << false << int(ExitCode::TransferFailed) << QStringList()
            << QStringLiteral("Ошибка при чтении! Ячейки модели 2369–2370 (FF 02) не называют ни одной известной "
                              "модели: ответ не от устройства ЗОРГЕЛ или порт настроен на другую скорость (проверьте "
                              "скорость порта). Файл ");
        QTest::newRow("bytes that name no model, --force: saved, warned")
            << QByteArray("\xFF\x02", 2) << true << false << int(ExitCode::Success) << QStringList{unknown}
            << QStringLiteral("Сохранено успешно! ");
        QTest::newRow("saved, but no copy kept: exit 7")
            << QByteArray("\x08\x02", 2) << false << true << 7 << QStringList()
            << QStringLiteral("Сохранено успешно! ");
    }
    void readConfig()
    {
        QFETCH(QByteArray, model);
        QFETCH(bool, force);
        QFETCH(bool, backupsBlocked);
        QFETCH(int, code);
        QFETCH(QStringList, warned);
        QFETCH(QString, text);
        const QByteArray image = SimDefaults::image().left(2368) + model;
        JobRig rig({}, image);
        QVERIFY(rig.identify());
        if (backupsBlocked) {
            QFile blocker(rig.folder.filePath(QStringLiteral("Резервные копии")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        const QString file = rig.folder.filePath(QStringLiteral("unit.cf"));
        QFile earlier(file);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("good\r\n") == 6);
        earlier.close();
        rig.dialogs.answers = {file};
        ReadConfigJob job(rig.unit, rig.said, file, force);
        QStringList told;
        connect(&job, &UnitJob::warned, this, [&told](const QString &text) { told << text; });
        rig.run(job);
        QCOMPARE(job.result().code, code);
        QVERIFY2(job.result().text.startsWith(text), qPrintable(job.result().text));
        QCOMPARE(told, warned);
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), code == ExitCode::TransferFailed ? QByteArray("good\r\n") : formatted(image));
        // Only a unit's configuration is kept as its copy.
        const bool kept = code == ExitCode::Success && !force;
        QCOMPARE(rig.unit.backupStore().units().size(), kept ? 1 : 0);
    }

    // The unit is read before a write, its copy kept and its model compared with the file's; a file
    // whose model cells name no model is no unit's; another unit's copy is written with a word.
    void writeConfig_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<QByteArray>("fileModel");
        QTest::addColumn<QByteArray>("fileImei");   // empty: the unit's own
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("backupsBlocked");   // the backups folder cannot be made
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("warned");
        const QByteArray gsm8t("\x08\x02", 2);
        const QByteArray gsm4("\x04\x01", 2);
        const QString written = QStringLiteral("Записано успешно! ");
        const QString refused = QStringLiteral(" Запись не начата: в устройство ничего не отправлено. Записать всё же: --force.");
        const QString otherModel = QStringLiteral("Конфигурация предназначена для модели ЗОРГЕЛ-GSM4, а устройство — ЗОРГЕЛ-GSM8T.");
        const QString noModel = QStringLiteral("Ячейки модели 2369–2370 файла (%1) не называют ни одной известной модели: "
                                               "это не конфигурация устройства ЗОРГЕЛ.");
        const QString forced = QStringLiteral(" Записывается всё же (--force).");
        QTest::newRow("same model: written")
            << SimFaults{} << gsm8t << QByteArray() << false << false << int(ExitCode::Success) << written << QStringList();
        QTest::newRow("other model: refused, both named, nothing sent") << SimFaults{} << gsm4 << QByteArray() << false
            << false << int(ExitCode::BadFile) << otherModel + refused << QStringList();
        QTest::newRow("other model with --force: written, warned") << SimFaults{} << gsm4 << QByteArray() << true
            << false << int(ExitCode::Success) << written << QStringList{otherModel + forced};
        QTest::newRow("model cells FF FF: refused, nothing sent") << SimFaults{} << QByteArray("\xFF\xFF", 2)
            << QByteArray() << false << false << int(ExitCode::BadFile) << noModel.arg("FF FF") + refused << QStringList();
        QTest::newRow("model cells 10 02 with --force: written, warned") << SimFaults{} << QByteArray("\x10\x02", 2)
            << QByteArray() << true << false << int(ExitCode::Success) << written << QStringList{noModel.arg("10 02") + forced
                                    + QStringLiteral(" Ячейки модели 2369–2370 в устройство не записываются: устройство "
                                                     "сохранит свои.")};
        QTest::newRow("another unit's copy: written, its IMEI told")
            << SimFaults{} << gsm8t << QByteArray("356938035643817") << false << false << int(ExitCode::Success) << written
            << QStringList{QStringLiteral("Внимание: IMEI в файле (356938035643817) не совпадает с IMEI устройства "
                                          "(356938035643809): файл снят с другого устройства, и после записи "
                                          "устройство будет сообщать IMEI из файла.")};
        SimFaults silentRead;
        silentRead.silent = true;
        QTest::newRow("the unit's model unreadable: refused")
            << only("#6000", silentRead) << gsm8t << QByteArray() << false << false << int(ExitCode::TransferFailed)
            << QStringLiteral("Не удалось прочитать модель устройства. Ошибка при чтении конфигурации!") << QStringList();
        SimFaults garbage;
        garbage.garbage = true;
        QTest::newRow("the unit answers bytes that name no model: refused") << only("#6000", garbage) << gsm8t
            << QByteArray() << false << false << int(ExitCode::TransferFailed)
            << QStringLiteral("Не удалось прочитать модель устройства. Ошибка при чтении конфигурации! Ячейки модели "
                              "2369–2370 (") << QStringList();
        QTest::newRow("backup folder not writable: refused before the first block") << SimFaults{} << gsm8t << QByteArray()
            << false << true << int(ExitCode::BadFile) << QStringLiteral("Ошибка записи в файл: ") << QStringList();
    }
    void writeConfig()
    {
        QFETCH(SimFaults, faults);
        QFETCH(QByteArray, fileModel);
        QFETCH(QByteArray, fileImei);
        QFETCH(bool, force);
        QFETCH(bool, backupsBlocked);
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(QStringList, warned);
        JobRig rig(faults);
        QVERIFY(rig.identify());
        QByteArray image = rig.core.image();
        // Other settings, the unit's own IMEI unless the row gives another.
        for (int i = 0; i < 2352; ++i)
            image[i] = char(i * 7);
        if (!fileImei.isEmpty())
            image.replace(2352, 15, fileImei);
        image.replace(ConfigImage::kMemorySize, 2, fileModel);
        if (backupsBlocked) {
            // A file where the folder would go: no copy can be made, whoever runs the test.
            QFile blocker(rig.folder.filePath(QStringLiteral("Резервные копии")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        const QString file = rig.folder.filePath(QStringLiteral("site.cf"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(formatted(image));
        out.close();
        rig.dialogs.answers = {file};
        WriteConfigJob job(rig.unit, rig.said, file, blocksOf(image.left(ConfigImage::kMemorySize), 64), false);
        job.setReadFirst({true, fileModel, force});
        QStringList told;
        connect(&job, &UnitJob::warned, this, [&told](const QString &text) { told << text; });
        rig.run(job);
        QCOMPARE(job.result().code, code);
        QVERIFY2(job.result().text.startsWith(text), qPrintable(job.result().text));
        const bool written = code == ExitCode::Success;
        QCOMPARE(rig.core.image().left(ConfigImage::kMemorySize) == image.left(ConfigImage::kMemorySize), written);
        // No write is left open: a refused one never began.
        QVERIFY(!rig.core.inWriteSession());
        // What --force overrode, and another unit's IMEI, are warnings: told even with --quiet.
        QCOMPARE(told, warned);
    }
};

QTEST_GUILESS_MAIN(TestUnitJobs)
#include "tst_unitjobs.moc"
