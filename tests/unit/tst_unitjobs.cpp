#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "TestSeams.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareFile.h"
#include "link/SerialLink.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "unit/ConfigBackups.h"
#include "unit/ExitCode.h"
#include "unit/FirmwareJob.h"
#include "unit/IdentifyJob.h"
#include "unit/LineDrain.h"
#include "unit/ReadConfigJob.h"
#include "unit/ReadInfoJob.h"
#include "unit/UnitMessages.h"
#include "unit/UnitSession.h"
#include "unit/WriteConfigJob.h"

namespace {

// One unit on the simulator's loopback port, on a clock of its own: every poll is 50 ms of the
// line, the receive pump's tick, and what the jobs queued meanwhile.
struct JobRig {
    QTemporaryDir folder;
    UnitMessages messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    ProgramOptions options;
    ProgramSettings settings{folder.filePath(QStringLiteral("Service/TX.cfg")), options, messages};
    SimCore core;
    SimLoopbackPort port;
    UnitSession unit{folder.path(), &port, UnitSession::Borrowed{settings, messages, dialogs, clock}};
    IdentifyJob *draining = nullptr;

    explicit JobRig(const SimFaults &faults = {}, int unitPort = 1)
        : core(SimDefaults::image(), SimDefaults::firmware(), faults), port(core, unitPort)
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
    // Runs the job to its end, Ctrl+C after interruptAfter polls (-1: never); the polls it took.
    int run(UnitJob &job, int interruptAfter = -1)
    {
        job.start();
        QCoreApplication::sendPostedEvents();
        int polls = 0;
        for (; polls < 20000 && !job.done(); ++polls) {
            if (polls == interruptAfter)
                job.interrupt();
            else
                poll();
        }
        return polls;
    }
    bool identify()
    {
        IdentifyJob job(unit, messages, 1);
        job.setManualPacing(true);
        draining = &job;
        run(job);
        draining = nullptr;
        return job.result().code == ExitCode::Success;
    }
    QString path(const QString &name) const { return folder.filePath(name); }
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

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

SimFaults only(const QByteArray &request, SimFaults faults)
{
    faults.onlyFor = {request};
    return faults;
}

} // namespace

Q_DECLARE_METATYPE(SimFaults)

// Each unit job in-process against the simulated unit: one table per job over the line's
// behaviours that matter to it. The expected texts are the user's.
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
        QTest::addColumn<int>("unitPort");
        QTest::addColumn<QByteArray>("pending");   // a request the unit is still answering
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("a unit answers") << SimFaults{} << 1 << QByteArray() << int(ExitCode::Success)
                                        << QStringLiteral("Устройство обнаружено! COM1: ")
                                               + QStringLiteral("ЗОРГЕЛ-GSM8T");
        QTest::newRow("nothing on the port") << SimFaults{} << 2 << QByteArray() << int(ExitCode::NoUnit)
                                             << QStringLiteral("COM1 = sim:COM1: нет ответа на запрос опознания.");
        SimFaults garbage;
        garbage.garbage = true;
        QTest::newRow("garbage for a name: check the speed")
            << only("#4000", garbage) << 1 << QByteArray() << int(ExitCode::NoUnit)
            << QStringLiteral("COM1 = sim:COM1: ответ не от устройства ЗОРГЕЛ: получено 24 байта, а устройство отвечает "
                              "24 байтами, начиная с «#4000=». Возможно, устройство настроено на другую скорость: "
                              "проверьте --speed.");
        SimFaults slow;
        slow.baud = 9600;
        QTest::newRow("the rest of an interrupted firmware read, at 9600 baud")
            << only("#5000", slow) << 1 << QByteArrayLiteral("#5000") << int(ExitCode::Success)
            << QStringLiteral("Устройство обнаружено! COM1: ") + QStringLiteral("ЗОРГЕЛ-GSM8T");
        QTest::newRow("a unit left inside a write") << SimFaults{} << 1 << QByteArrayLiteral("#6001")
                                                    << int(ExitCode::Success)
                                                    << QStringLiteral("Устройство обнаружено! COM1: ")
                                                           + QStringLiteral("ЗОРГЕЛ-GSM8T");
    }
    void identify()
    {
        QFETCH(SimFaults, faults);
        QFETCH(int, unitPort);
        QFETCH(QByteArray, pending);
        QFETCH(int, code);
        QFETCH(QString, text);
        JobRig rig(faults, unitPort);
        if (!pending.isEmpty())
            rig.core.receive(pending, 0);
        IdentifyJob job(rig.unit, rig.messages, 1);
        job.setManualPacing(true);
        rig.draining = &job;
        QStringList notes;
        connect(&job, &UnitJob::stageChanged, this, [&notes](const QString &stage) { notes << stage; });
        rig.run(job);
        QVERIFY(job.done());
        QCOMPARE(job.result().code, code);
        QCOMPARE(job.result().text, text);
        QCOMPARE(rig.unit.link().isOpen(), code == ExitCode::Success);
        // A reply still coming is said on the progress line, with its bytes so far.
        const bool sending = !pending.isEmpty();
        QCOMPARE(std::any_of(notes.cbegin(), notes.cend(),
                             [](const QString &note) { return note.startsWith(QStringLiteral("устройство ещё передаёт: ")); }),
                 sending);
    }

    void readConfig_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<int>("interruptAfter");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");   // %1: the file
        QTest::newRow("read whole") << SimFaults{} << -1 << int(ExitCode::Success)
                                    << QStringLiteral("Сохранено успешно! %1");
        SimFaults shorter;
        shorter.lengthDelta = -10;
        QTest::newRow("ten bytes short") << only("#6000", shorter) << -1 << int(ExitCode::TransferFailed)
                                         << QStringLiteral("Ошибка при чтении! Ответ устройства оборвался: "
                                                           "получено 2360 из 2370 байт. Файл %1 не изменён.");
        QTest::newRow("Ctrl+C") << SimFaults{} << 1 << int(ExitCode::Interrupted)
                                << QStringLiteral("Прервано: чтение остановлено. Файл %1 не изменён. Устройство может "
                                                  "ещё некоторое время передавать остаток данных.");
    }
    void readConfig()
    {
        QFETCH(SimFaults, faults);
        QFETCH(int, interruptAfter);
        QFETCH(int, code);
        QFETCH(QString, text);
        JobRig rig(faults);
        QVERIFY(rig.identify());
        const QString file = rig.path(QStringLiteral("unit.cf"));
        const QByteArray earlier = "earlier backup";
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(earlier) == earlier.size());
        old.close();
        rig.dialogs.answers = {file};
        ReadConfigJob job(rig.unit, rig.messages, file);
        rig.run(job, interruptAfter);
        QCOMPARE(job.result().code, code);
        QCOMPARE(job.result().text, text.arg(file));
        QCOMPARE(fileBytes(file), code == ExitCode::Success ? formatted(rig.core.image()) : earlier);
        QVERIFY(!rig.unit.link().isOpen());
    }

    void writeConfig_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<bool>("verify");
        // With model bytes: the unit is read first, its copy kept and its model compared with these.
        QTest::addColumn<QByteArray>("fileModel");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("backupsBlocked");   // the backups folder cannot be made
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("stored");   // the unit keeps the file's bytes
        const QByteArray none;
        const QByteArray gsm8t("\x08\x02", 2);
        const QByteArray gsm4("\x04\x01", 2);
        QTest::newRow("written and verified")
            << SimFaults{} << true << none << false << false << int(ExitCode::Success)
            << QStringLiteral("Проверено: конфигурация в устройстве совпадает с файлом.") << true;
        SimFaults stalls;
        stalls.ackLimit = 5;
        QTest::newRow("the unit stops acknowledging") << stalls << false << none << false << false
                                                      << int(ExitCode::TransferFailed)
                                                      << QStringLiteral("Ошибка при записи!") << false;
        SimFaults flips;
        flips.flipOnWrite = 10;
        QTest::newRow("the unit keeps another byte")
            << flips << true << none << false << false << int(ExitCode::VerifyMismatch)
            << QStringLiteral("Проверка не пройдена: отличаются 1 из 2368 байт, первый — байт 11") << false;
        QTest::newRow("same model: the copy kept, then written")
            << SimFaults{} << false << gsm8t << false << false << int(ExitCode::Success)
            << QStringLiteral("Записано успешно! ") << true;
        QTest::newRow("other model: refused, both named, nothing sent")
            << SimFaults{} << false << gsm4 << false << false << int(ExitCode::BadFile)
            << QStringLiteral("Конфигурация предназначена для модели ЗОРГЕЛ-GSM4, а устройство — ЗОРГЕЛ-GSM8T. "
                              "Запись не начата: в устройство ничего не отправлено. Записать всё же: --force.")
            << false;
        QTest::newRow("other model with --force: written")
            << SimFaults{} << false << gsm4 << true << false << int(ExitCode::Success)
            << QStringLiteral("Записано успешно! ") << true;
        SimFaults silentRead;
        silentRead.silent = true;
        QTest::newRow("the unit's model unreadable: refused")
            << only("#6000", silentRead) << false << gsm8t << false << false << int(ExitCode::TransferFailed)
            << QStringLiteral("Не удалось прочитать модель устройства. Ошибка при чтении конфигурации!") << false;
        QTest::newRow("backup folder not writable: refused before the first block")
            << SimFaults{} << false << gsm8t << false << true << int(ExitCode::BadFile)
            << QStringLiteral("Ошибка записи в файл: ") << false;
    }
    void writeConfig()
    {
        QFETCH(SimFaults, faults);
        QFETCH(bool, verify);
        QFETCH(QByteArray, fileModel);
        QFETCH(bool, force);
        QFETCH(bool, backupsBlocked);
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(bool, stored);
        JobRig rig(faults);
        QVERIFY(rig.identify());
        const QByteArray before = rig.core.image();
        QByteArray image = before;
        for (int i = 0; i < ConfigImage::kMemorySize; ++i)
            image[i] = char(i * 7);
        if (!fileModel.isEmpty())
            image.replace(ConfigImage::kMemorySize, 2, fileModel);
        if (backupsBlocked) {
            // A file where the folder would go: no copy can be made, whoever runs the test.
            QFile blocker(rig.path(QStringLiteral("Резервные копии")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        const QString file = rig.path(QStringLiteral("site.cf"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(formatted(image));
        out.close();
        rig.dialogs.answers = {file};
        WriteConfigJob job(rig.unit, rig.messages, file, blocksOf(image.left(ConfigImage::kMemorySize), 64), verify);
        job.setReadFirst({!fileModel.isEmpty(), fileModel, force});
        QStringList said;
        connect(&job, &UnitJob::said, this, [&said](const QString &text) { said << text; });
        rig.run(job);
        QCOMPARE(job.result().code, code);
        QVERIFY2(job.result().text.startsWith(text), qPrintable(job.result().text));
        QCOMPARE(rig.core.image().left(ConfigImage::kMemorySize) == image.left(ConfigImage::kMemorySize), stored);
        // A refused write never began: the unit saw no write request.
        if (!fileModel.isEmpty() && !stored)
            QVERIFY(!rig.core.inWriteSession());
        if (!fileModel.isEmpty() && code == ExitCode::Success) {
            // The copy before the write holds what the unit had.
            const auto units = rig.unit.backupStore().units();
            QCOMPARE(units.size(), 1);
            QCOMPARE(units.first().copies.first().kind, ConfigBackups::Kind::BeforeWrite);
            QCOMPARE(fileBytes(units.first().copies.first().path), formatted(before));
        }
        // With verify, the write's success is told before the read-back begins; --force says what it overrode.
        QStringList expectedSaid;
        if (verify && code != ExitCode::TransferFailed)
            expectedSaid << QStringLiteral("Записано успешно! ") + file;
        if (force)
            expectedSaid << QStringLiteral("Конфигурация предназначена для модели ЗОРГЕЛ-GSM4, а устройство — "
                                           "ЗОРГЕЛ-GSM8T. Записывается всё же (--force).");
        QCOMPARE(said, expectedSaid);
    }

    // A step before the first block (a backup, a model check) can stop the write with its own outcome.
    void writeConfigStepBeforeTheFirstBlock()
    {
        JobRig rig;
        QVERIFY(rig.identify());
        const QByteArray before = rig.core.image();
        WriteConfigJob job(rig.unit, rig.messages, rig.path(QStringLiteral("x.cf")), {QByteArray(64, 'x')}, false);
        job.setBeforeWrite([](WriteConfigJob &self) {
            self.stop(ExitCode::BadFile, QStringLiteral("Резервная копия не записана."));
            return false;
        });
        rig.run(job);
        QCOMPARE(job.result().code, int(ExitCode::BadFile));
        QCOMPARE(job.result().text, QStringLiteral("Резервная копия не записана."));
        QCOMPARE(rig.core.image(), before);
    }

    void firmware_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("interruptAfter");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("read") << false << -1 << int(ExitCode::Success) << QStringLiteral("Сохранено успешно! ");
        QTest::newRow("written and verified") << true << -1 << int(ExitCode::Success)
                                              << QStringLiteral("Проверено: прошивка в устройстве совпадает с файлом.");
        QTest::newRow("Ctrl+C in the write") << true << 200 << int(ExitCode::Interrupted)
                                             << QStringLiteral("Прервано: запись прошивки остановлена после ");
    }
    void firmware()
    {
        QFETCH(bool, write);
        QFETCH(int, interruptAfter);
        QFETCH(int, code);
        QFETCH(QString, text);
        JobRig rig;
        QVERIFY(rig.identify());
        const QString file = rig.path(QStringLiteral("unit.fw"));
        QByteArray firmware = rig.core.firmware();
        for (int i = 0; i < firmware.size(); i += 97)
            firmware[i] = char(~firmware.at(i));
        if (write) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(FirmwareFile::format(firmware));
        }
        FirmwareJob job(rig.unit, rig.messages, write ? FirmwareJob::Direction::Write : FirmwareJob::Direction::Read,
                        file, blocksOf(firmware, FirmwareFile::kBlockSize), true);
        rig.run(job, interruptAfter);
        QCOMPARE(job.result().code, code);
        QVERIFY2(job.result().text.startsWith(text), qPrintable(job.result().text));
        if (code == ExitCode::Success)
            QCOMPARE(write ? rig.core.firmware() : FirmwareFile::read(file).blocks.join(),
                     write ? firmware : rig.core.firmware());
        else
            QVERIFY(rig.core.firmware() != firmware);
    }

    void readInfo_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("read") << SimFaults{} << int(ExitCode::Success) << QString();
        SimFaults silent;
        silent.silent = true;
        QTest::newRow("no reply") << only("#6000", silent) << int(ExitCode::TransferFailed)
                                  << QStringLiteral("Ошибка при чтении конфигурации! Устройство не ответило: получено 0 "
                                                    "из 2370 байт.");
    }
    void readInfo()
    {
        QFETCH(SimFaults, faults);
        QFETCH(int, code);
        QFETCH(QString, text);
        JobRig rig(faults);
        QVERIFY(rig.identify());
        ReadInfoJob job(rig.unit, rig.messages);
        rig.run(job);
        QCOMPARE(job.result().code, code);
        QCOMPARE(job.result().text, text);
        for (int i = 1; i <= ConfigImage::kImageSize && code == ExitCode::Success; ++i)
            QCOMPARE(rig.unit.image().byteAt(i), int(static_cast<unsigned char>(rig.core.image().at(i - 1))));
    }
};

QTEST_GUILESS_MAIN(TestUnitJobs)
#include "tst_unitjobs.moc"
