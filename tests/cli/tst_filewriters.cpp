#include <QtTest>
#include "../config/ConfigTestRig.h"
#include "../firmware/FirmwareTestRig.h"
#include "SmallDisk.h"
#include "unit/ExitCode.h"
#include "cli/FieldCommands.h"
#include "config/FileWriter.h"
#include "link/Cp1251.h"
#include "link/RecordFile.h"
#include "link/OperationTags.h"
#include "monitor/MonitorJournal.h"
#include "report/CommissioningReport.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"

namespace {

QByteArray changedConfiguration()
{
    QByteArray bytes = unitConfiguration();
    bytes[0] = char(bytes.at(0) + 1);
    return bytes;
}

} // namespace

// Every writer of the program on a disk that fills up: the earlier file stays byte for byte, no
// temporary file is left beside it, and the failure names the file and the reason.
class TestFileWriters : public QObject {
    Q_OBJECT
private slots:
    void fullDiskKeepsTheEarlierFile_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<int>("room");   // bytes still free when the write begins
        // Room for the first pieces, so the disk fills part-way; TX.cfg is smaller than the least
        // room a tmpfs can leave.
        for (const char *writer : {"save .cf", "copy from unit", "firmware backup", "journal CSV", "set --output", "report PDF"})
            QTest::newRow(writer) << QString::fromLatin1(writer) << 4096;
        QTest::newRow("TX.cfg") << QStringLiteral("TX.cfg") << 0;
    }
    void fullDiskKeepsTheEarlierFile()
    {
        QFETCH(QString, writer);
        QFETCH(int, room);
        SmallDisk disk(512);
        if (!disk.mounted)
            QSKIP("a tmpfs cannot be mounted here (needs root)");
        const QString name = writer == QLatin1String("TX.cfg")            ? QStringLiteral("TX.cfg")
                             : writer == QLatin1String("journal CSV")     ? QStringLiteral("journal.csv")
                             : writer == QLatin1String("firmware backup") ? QStringLiteral("unit.fw")
                             : writer == QLatin1String("report PDF")      ? QStringLiteral("unit.pdf")
                                                                          : QStringLiteral("unit.cf");
        const QString path = disk.path(name);
        // The earlier file, as the same writer made it on a better day.
        const QByteArray earlier = writer == QLatin1String("TX.cfg")
            ? Cp1251::encode(QStringLiteral("Доступный номер порта:1\r\nАкт индекс номера порта:1\r\nRPF_19.Check1:1\r\n"))
            : writer == QLatin1String("firmware backup") ? QByteArray(190120, 'E')
            : writer == QLatin1String("journal CSV")     ? QByteArray("earlier journal\r\n")
                                                         : ConfigFiles::formatLine(QByteArray(64, 'E')).repeated(37);
        QVERIFY(writeFile(path, earlier));
        QVERIFY(disk.leaveRoom(room));

        QStringList shown;
        bool fileFailed = true;   // the two streams tell the command line it was the file
        if (writer == QLatin1String("save .cf")) {
            ConfigTestRig rig;
            fillImage(rig.image, changedConfiguration());
            rig.dialogs.answers = {path};
            rig.files.Save();
            QCOMPARE(rig.tag(), Tag::SaveError);
            shown = rig.messages.texts;
        } else if (writer == QLatin1String("copy from unit")) {
            ConfigTestRig rig;
            rig.dialogs.answers = {path};
            rig.transfer.CopyToFile();
            rig.deliver(changedConfiguration(), 64);
            rig.silence();
            QCOMPARE(rig.tag(), Tag::SaveError);
            shown = rig.messages.texts;
            fileFailed = rig.transfer.fileFailed();
        } else if (writer == QLatin1String("firmware backup")) {
            FirmwareTestRig rig;
            QVERIFY(rig.exchange.saveToFile(path));
            rig.queue.pump();
            const QByteArray stream = unitFirmware();
            for (qsizetype at = 0; at < stream.size(); at += 640) {
                rig.port.feed(stream.mid(at, 640));
                rig.poll();
            }
            rig.silence();
            QCOMPARE(rig.tag(), Tag::SaveError);
            QVERIFY(rig.queue.LinkFree());
            shown = rig.messages.texts;
            fileFailed = rig.exchange.fileFailed();
        } else if (writer == QLatin1String("TX.cfg")) {
            RecordingMessageSink messages;
            ProgramOptions options;
            ProgramSettings settings(path, options, messages);
            settings.TXconfigLoadParam();
            QVERIFY(!settings.saveByUser(ProgramSettings::Choice{2, 0, 0}));
            shown = messages.texts;
        } else if (writer == QLatin1String("journal CSV")) {
            MonitorJournal journal;
            for (int i = 0; i < 400; ++i)
                journal.append(QDateTime(QDate(2026, 12, 7), QTime(9, 0).addSecs(i)), MonitorReadings{});
            ScriptedFileDialogs dialogs;
            dialogs.answers = {path};
            RecordingMessageSink messages;
            QVERIFY(!journal.save(dialogs, messages, MonitorDecoder::designLayout(), MonitorJournal::plainFormat(),
                                  QString(), QDateTime(QDate(2026, 12, 7), QTime(9, 5))));
            shown = messages.texts;
        } else if (writer == QLatin1String("set --output")) {
            ConfigTestRig rig;
            const QString source = rig.path(QStringLiteral("source.cf"));
            QVERIFY(writeFile(source, ConfigFiles::formatLine(QByteArray(64, 'S')).repeated(37)));
            CliOptions options;
            options.command = CliOptions::Command::Set;
            options.operands = {source, QStringLiteral("Вход 1=Пожар")};
            options.output = path;
            QString err;
            FieldCommands commands(rig.files, options, nullptr, [](const QString &) {},
                                   [&err](const QString &text) { err += text; });
            QCOMPARE(commands.run(), ExitCode::BadFile);
            shown = QStringList{err.chopped(1)};
        } else if (writer == QLatin1String("report PDF")) {
            CommissioningData data;
            fillImage(data.image, unitConfiguration());
            shown = QStringList{CommissioningReport::write(path, data)};
        }

        QVERIFY(readFile(path) == earlier);
        QCOMPARE(QDir(disk.dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase),
                 (QStringList{QStringLiteral("filler"), name}));
        if (writer == QLatin1String("TX.cfg")) {
            QCOMPARE(shown, QStringList{QStringLiteral("Ошибка записи файла конфигурации программы : 61\n") + path
                                        + QStringLiteral(": нет места на диске. Файл не изменён.")});
        } else {
            const QString prefix = writer == QLatin1String("journal CSV") ? QStringLiteral("Не удалось сохранить журнал: ")
                                                                          : QStringLiteral("Ошибка записи в файл: ");
            QCOMPARE(shown, QStringList{prefix + path + QStringLiteral("\nНет места на диске. Прежний файл не изменён.")});
        }
        QVERIFY(fileFailed);
    }

    // What a tmpfs cannot do: a quota or an I/O error, also only when the file is synced to the disk
    // (where network file systems report them). Written in two pieces, the second one failing.
    void systemFailuresKeepTheEarlierFile_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("explanation");
        QTest::newRow("quota while writing") << "write" << int(EDQUOT) << 61
                                             << "Превышена дисковая квота. Прежний файл не изменён.";
        QTest::newRow("I/O error at the sync") << "sync" << int(EIO) << 57
                                               << "Ошибка ввода-вывода на диске. Прежний файл не изменён.";
        QTest::newRow("full disk at the sync") << "sync" << int(ENOSPC) << 61
                                               << "Нет места на диске. Прежний файл не изменён.";
    }
    void systemFailuresKeepTheEarlierFile()
    {
        QFETCH(QString, step);
        QFETCH(int, error);
        QFETCH(int, number);
        QFETCH(QString, explanation);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("unit.cf"));
        QVERIFY(writeFile(path, "earlier"));
        FileWriter::SystemCalls calls = FileWriter::systemCalls();
        int writes = 0;
        const auto realWrite = calls.write;
        calls.write = [&](int fd, QByteArrayView bytes) {
            return step == QLatin1String("write") && ++writes == 2 ? error : realWrite(fd, bytes);
        };
        if (step == QLatin1String("sync"))
            calls.sync = [error](int) { return error; };

        FileWriter file(path, calls);
        const bool written = file.open() && file.write("new ") && file.write("content") && file.commit();
        QVERIFY(!written);
        QCOMPARE(file.classicNumber(), number);
        QCOMPARE(file.explanation(), explanation);
        QCOMPARE(readFile(path), QByteArray("earlier"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("unit.cf")});
    }

    // What a trace and a journal file are written through: each row on the disk as it comes (what a
    // killed run leaves), synced at least once a second; a folder short of room refused at the
    // start; a failure part-way keeps the rows before it.
    void growingRecords_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("rowsKept");   // -1: refused at the start, no file
        QTest::addColumn<QString>("reason");
        QTest::newRow("none") << "" << 5 << "";
        QTest::newRow("folder short of room") << "room" << -1 << "на диске свободно меньше 1 МБ";
        QTest::newRow("folder missing") << "folder" << -1 << "папка не найдена";
        QTest::newRow("full disk part-way") << "write" << 2 << "нет места на диске";
        QTest::newRow("I/O error at the sync") << "sync" << 2 << "ошибка ввода-вывода на диске";
    }
    void growingRecords()
    {
        QFETCH(QString, fault);
        QFETCH(int, rowsKept);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(fault == QLatin1String("folder") ? "no/record" : "record");
        DiskCalls calls = DiskCalls::system();
        int writes = 0;
        const auto realWrite = calls.write;
        calls.write = [&](int fd, QByteArrayView bytes) { return fault == "write" && ++writes == 3 ? ENOSPC : realWrite(fd, bytes); };
        calls.sync = [&fault](int) { return fault == QLatin1String("sync") ? EIO : 0; };
        RecordFile record(path, calls);
        record.setRoom([&fault](const QString &) { return fault == "room" ? qint64(512) * 1024 : qint64(-1); });
        qint64 now = 0;
        record.setTicks([&now] { return now; });
        QCOMPARE(record.begin(), rowsKept >= 0);
        QCOMPARE(QFileInfo::exists(path), rowsKept >= 0);
        struct Step {
            qint64 at;
            bool row;   // a row comes; otherwise the timer ticks
            int rows;   // on the disk then
            int syncs;  // to the disk so far
        };
        const Step steps[] = {{0, true, 1, 0},    {600, true, 2, 0},  {1000, false, 2, 1}, {1500, true, 3, 1},
                              {2600, true, 4, 2}, {2700, true, 5, 2}, {3700, false, 5, 3}};
        for (const Step &step : steps) {
            if (rowsKept < 0 || record.failed())
                break;
            now = step.at;
            step.row ? void(record.append("a row\r\n")) : record.tick();
            QCOMPARE(readFile(path).count('\n'), qMin(rowsKept, step.rows));
            QCOMPARE(record.syncs(), step.syncs);
        }
        QCOMPARE(record.finish(), reason.isEmpty());
        QCOMPARE(record.errorText(), reason.isEmpty() ? QString() : "Ошибка записи в файл: " + path + ": " + reason + '.');
    }
};

// The report needs fonts: a GUI application (offscreen in the test runs).
QTEST_MAIN(TestFileWriters)
#include "tst_filewriters.moc"
