#include "SessionSeams.h"
#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "unit/ConfigBackups.h"

namespace {

// One unit over the simulated unit's core, with a fake clock and its own program folder.
struct BackupRig : SessionSeams {
    explicit BackupRig(const SimFaults &faults) : core(SimDefaults::image(), SimDefaults::firmware(), faults) {}

    SimCore core;
    SimLoopbackPort port{core, 1};
    UnitSession unit{folder.path(), &port, borrowed()};

    QString unitFolder() const
    {
        return folder.filePath(QStringLiteral("Резервные копии/ЗОРГЕЛ-GSM8T 356938035643809"));
    }
    void runUntilFinal()
    {
        for (int i = 0; i < 400 && unit.link().RPF_02VektorPriemaIsPorta.endsWith(QStringLiteral("в процессе")); ++i) {
            port.advance(50);
            unit.link().receiveTick();
        }
        // The backups hear how a write ended once the exchange has said it.
        QCoreApplication::processEvents();
    }
    bool identify()
    {
        unit.start(false);
        QString number = QStringLiteral("1");
        unit.link().PoiskUstroistva(number);
        runUntilFinal();
        unit.status().setConnection(StatusModel::kActive);
        return unit.link().RPF_02VektorPriemaIsPorta == Tag::NameRead;
    }
    QStringList copies() const
    {
        return QDir(unitFolder()).entryList({QStringLiteral("*.cf")}, QDir::Files, QDir::Name | QDir::Reversed);
    }
    // count copies of the kind "прочитано", daysAgo, daysAgo + 1, … days before the clock's time.
    void oldCopies(int count, int daysAgo)
    {
        QDir().mkpath(unitFolder());
        for (int i = 0; i < count; ++i) {
            QFile file(QDir(unitFolder()).filePath(
                clock.time.addDays(-(daysAgo + i)).toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + " прочитано.cf"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old\r\n");
        }
    }
    void run(const QString &step)
    {
        const QStringList words = step.split(QLatin1Char(':'));
        if (words.first() == "read") {
            unit.configExchange().ConfiguraciaReadProcess();
        } else if (words.first() == "copy") {
            dialogs.answers = {folder.filePath(QStringLiteral("unit.cf"))};
            unit.configTransfer().CopyToFile();
        } else if (words.first() == "write") {
            unit.configExchange().ConfiguraciaWriteProcess();
        } else if (words.first() == "edit") {
            unit.image().setByte(100, static_cast<unsigned char>(unit.image().byteAt(100) ^ 0xFF));
        } else if (words.first() == "tick") {
            clock.time = clock.time.addSecs(words.at(1).toInt());
        } else if (words.first() == "old") {
            oldCopies(words.at(1).toInt(), words.at(2).toInt());
        } else if (words.first() == "block") {
            // The unit's backups folder cannot be made: a file stands in its place.
            QDir(unitFolder()).removeRecursively();
            QFile file(unitFolder());
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        runUntilFinal();
    }
};

QByteArray canonical(const QByteArray &image)
{
    ConfigImage cells;
    cells.setBytes(1, image.constData(), image.size());
    return ConfigFiles::formatImage(cells);
}

} // namespace

// The automatic copies of a unit's configuration, kept on reads and before writes.
class TestConfigBackups : public QObject {
    Q_OBJECT
private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("ackLimit");   // the unit stops acknowledging after this many blocks
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("newest");
        QTest::addColumn<QString>("oldest");
        QTest::addColumn<QString>("tag");   // the unit's memory changes only with Tag::Written
        QTest::addColumn<QString>("message");   // the last message; %1 the unit's backups folder
        const QString read = QStringLiteral("2026-12-07 09-05-03 COM1 прочитано.cf");
        const QString beforeWrite = QStringLiteral("2026-12-07 09-06-03 COM1 до записи.cf");
        QTest::newRow("a copy to a file keeps a copy") << "copy" << -1 << 1 << read << read << Tag::Saved << QString();
        QTest::newRow("a write keeps the unit's memory before it")
            << "read tick:60 edit write" << -1 << 2 << beforeWrite << read << Tag::Written << QString();
        // A read keeps a copy, unless the newest already holds the same.
        QTest::newRow("a copy identical to the newest is skipped")
            << "read tick:60 read" << -1 << 1 << read << read << Tag::ReadOk << QString();
        QTest::newRow("older than 365 days go, the newest 20 stay")
            << "old:25:400 read" << -1 << 20 << read << "2025-10-15 09-05-03 прочитано.cf" << Tag::ReadOk
            << QString();
        // Beyond 20, only those older than 365 days go.
        QTest::newRow("365 days exactly stays")
            << "old:19:10 old:1:365 old:3:366 read" << -1 << 21 << read << "2025-12-07 09-05-03 прочитано.cf"
            << Tag::ReadOk << QString();
        QTest::newRow("folder not writable: the write is refused before its first block")
            << "read tick:60 edit block write" << -1 << 0 << QString() << QString() << Tag::WriteError
            << QStringLiteral("Ошибка записи в файл: %1/2026-12-07 09-06-03 COM1 до записи.cf: %1 — не папка.\n"
                              "Запись в устройство не начата: не удалось сохранить копию его конфигурации.");
        QTest::newRow("a failed write says where the earlier configuration is")
            << "read tick:60 edit write" << 10 << 2 << beforeWrite << read << Tag::WriteError
            << QStringLiteral("Конфигурация, которая была в устройстве до записи, сохранена в файле:\n"
                              "%1/2026-12-07 09-06-03 COM1 до записи.cf");
    }

    void rules()
    {
        QFETCH(QString, steps);
        QFETCH(int, ackLimit);
        SimFaults faults;
        faults.ackLimit = ackLimit;
        BackupRig rig(faults);
        QVERIFY(rig.identify());
        const QByteArray before = rig.core.image();
        for (const QString &step : steps.split(QLatin1Char(' ')))
            rig.run(step);

        QFETCH(QString, tag);
        QCOMPARE(rig.unit.link().RPF_02VektorPriemaIsPorta, tag);
        const QStringList copies = rig.copies();
        QFETCH(int, count);
        QCOMPARE(copies.size(), count);
        QFETCH(QString, newest);
        QFETCH(QString, oldest);
        if (count > 0) {
            QCOMPARE(copies.first(), newest);
            QCOMPARE(copies.last(), oldest);
            QFile file(QDir(rig.unitFolder()).filePath(newest));
            QVERIFY(file.open(QIODevice::ReadOnly));
            // The unit's memory and model bytes as they were, as a canonical file of 38 lines.
            QCOMPARE(file.readAll(), canonical(before));
            // The listing a user picks a copy from: the same copies, newest first, 7186 bytes each.
            const QList<ConfigBackups::Unit> units = rig.unit.backupStore().units();
            QCOMPARE(units.size(), 1);
            QCOMPARE(units.first().copies.size(), count);
            QCOMPARE(QFileInfo(units.first().copies.first().path).fileName(), newest);
            QCOMPARE(units.first().copies.first().size, 7186);
        }
        QCOMPARE(rig.core.image() != before, tag == Tag::Written);
        // A refused write never sent "#6001"; a unit that stops acknowledging is left in its session.
        QCOMPARE(rig.core.inWriteSession(), ackLimit >= 0);
        QFETCH(QString, message);
        if (message.isEmpty())
            QVERIFY2(rig.messages.texts.isEmpty(), qPrintable(rig.messages.texts.join('|')));
        else {
            // Told once, after what went wrong.
            const QString expected = message.arg(QDir::toNativeSeparators(rig.unitFolder()));
            QCOMPARE(rig.messages.texts.last(), expected);
            QCOMPARE(rig.messages.texts.count(expected), 1);
        }
    }

    // A firmware copy before a flash goes beside the configuration copies, under a name no file has
    // yet, and is listed with its kind; a file the store did not name is neither.
    void firmwareCopiesBesideTheOthers()
    {
        QTemporaryDir folder;
        FixedClock clock;
        ConfigBackups store(folder.path(), clock);
        const ConfigBackups::Owner unit{QStringLiteral("ЗОРГЕЛ-GSM8"), QStringLiteral("356938035643809"), 3};
        QCOMPARE(store.unitFolder(unit),
                 folder.filePath(QStringLiteral("Резервные копии/ЗОРГЕЛ-GSM8 356938035643809")));
        QStringList names;
        for (const QByteArray &bytes : {QByteArray("fw"), QByteArray("fw2")}) {
            const QString path = store.newCopyPath(unit, ConfigBackups::Kind::Firmware);
            names << QFileInfo(path).fileName();
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            QFile notes(QFileInfo(path).dir().filePath(QStringLiteral("notes.fw")));
            QVERIFY(notes.open(QIODevice::WriteOnly));
        }
        QCOMPARE(names, (QStringList{QStringLiteral("2026-12-07 09-05-03 COM3 прошивка.fw"),
                                     QStringLiteral("2026-12-07 09-05-03 COM3 прошивка 2.fw")}));

        const QList<ConfigBackups::Unit> units = store.units(unit.name);
        QCOMPARE(units.size(), 1);
        QCOMPARE(units.first().copies.size(), 2);
        QCOMPARE(QFileInfo(units.first().copies.first().path).fileName(), names.last());
        QCOMPARE(units.first().copies.first().kind, ConfigBackups::Kind::Firmware);
        QCOMPARE(units.first().copies.first().size, 3);
        QCOMPARE(units.first().copies.first().port, 3);
    }

    // Units of one factory name keep apart by IMEI, the same copy in each; a folder of a name alone,
    // kept before, stays listed; a unit is named by its name, its name and IMEI, or its IMEI.
    void unitsApart_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QStringList>("folders");   // most recently kept first, with the newest copy's port
        const QString a = "ЗОРГЕЛ-GSM8T 356938035643809 COM1", b = "ЗОРГЕЛ-GSM8T 356938035643817 COM2";
        QTest::newRow("every unit") << QString() << QStringList{"A%3A1 COM4", b, a, "ЗОРГЕЛ-GSM8T"};
        QTest::newRow("a name: each IMEI, the old folder") << "ЗОРГЕЛ-GSM8T" << QStringList{b, a, "ЗОРГЕЛ-GSM8T"};
        QTest::newRow("name and IMEI") << "ЗОРГЕЛ-GSM8T 356938035643817" << QStringList{b};
        QTest::newRow("IMEI") << "356938035643809" << QStringList{a};
        QTest::newRow("A:1, not A_1") << "A_1" << QStringList{};
    }
    void unitsApart()
    {
        QFETCH(QString, unit);
        QFETCH(QStringList, folders);
        QTemporaryDir folder;
        FixedClock clock;
        ConfigBackups store(folder.path(), clock);
        const QDir root(folder.filePath(ConfigBackups::kFolderName));
        QVERIFY(root.mkpath("ЗОРГЕЛ-GSM8T"));
        QFile old(root.filePath("ЗОРГЕЛ-GSM8T/2026-12-01 08-00-00 прочитано.cf"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        for (const ConfigBackups::Owner &owner : QList<ConfigBackups::Owner>{
                 {"ЗОРГЕЛ-GSM8T", "356938035643809", 1}, {"ЗОРГЕЛ-GSM8T", "356938035643817", 2}, {"A:1", "", 4}}) {
            clock.time = clock.time.addSecs(60);
            QVERIFY(store.keep(owner, SimDefaults::image(), ConfigBackups::Kind::Read).written);
        }
        QStringList listed;
        for (const ConfigBackups::Unit &entry : store.units(unit))
            listed << entry.folderName + (entry.copies.first().port ? " COM" + QString::number(entry.copies.first().port) : "");
        QCOMPARE(listed, folders);
    }
};

QTEST_GUILESS_MAIN(TestConfigBackups)
#include "tst_configbackups.moc"
