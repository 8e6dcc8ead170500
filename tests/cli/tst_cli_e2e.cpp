#include <QtTest>
#include "SimProcess.h"
#include "SmallDisk.h"
#include "unit/ExitCode.h"
#include "config/ConfigFiles.h"
#include "firmware/FirmwareFile.h"
#include "config/ConfigImage.h"
#include "editors/ConfigFields.h"
#include "link/Cp1251.h"
#include <csignal>

// The built tarviks-cli as a user runs it: exit statuses and messages, and each command against
// zorgel-sim on a pseudo-terminal, comparing files and the bytes the unit keeps. Waits are on
// events (process output, process end) with generous upper bounds.
namespace {
// The columns of the fault tables, single and batch.
void e2eFaultColumns()
{
    QTest::addColumn<QStringList>("simFlags");
    QTest::addColumn<QString>("command");   // FILE: a sound file of the command's kind
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("notSaid");
}
} // namespace

class TestCliE2e : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 60000;

    struct Run {
        int code = -1;
        QString out;
        QString err;
    };

    // A per-user data folder of its own; the program folder is <home>/tarviks.
    struct Home {
        QTemporaryDir dir;
        QString programFolder() const { return dir.path() + QStringLiteral("/tarviks"); }
        QString memoryFile() const { return programFolder() + QStringLiteral("/Service/zorgel-config.bin"); }
        QString settingsFile() const { return programFolder() + QStringLiteral("/Service/TX.cfg"); }
        QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    };

    static QString executable()
    {
        return QFileInfo(SimProcess::executable()).absolutePath() + QStringLiteral("/tarviks-cli");
    }

    static void start(QProcess &process, const Home &home, const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.dir.path());
        process.setProcessEnvironment(env);
        process.start(executable(), arguments);
    }

    static Run run(const Home &home, const QStringList &arguments)
    {
        QProcess process;
        start(process, home, arguments);
        Run result;
        if (!process.waitForFinished(kTimeoutMs)) {
            process.kill();
            process.waitForFinished();
            result.err = QStringLiteral("did not finish");
            return result;
        }
        result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    static void writeSettings(const Home &home, const QStringList &ports, const QString &active)
    {
        QStringList lines;
        for (const QString &port : ports)
            lines << QStringLiteral("Доступный номер порта:") + port;
        lines << QStringLiteral("Доступная скорость порта:9600") << QStringLiteral("Акт индекс номера порта:") + active
              << QStringLiteral("Акт индекс скорости:1") << QStringLiteral("Акт индекс контр передачи:1");
        QDir().mkpath(home.programFolder() + QStringLiteral("/Service"));
        writeFile(home.settingsFile(), Cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    }

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    static QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A unit's image of one byte over and over, with the model cells of a ЗОРГЕЛ-GSM8T, as real
    // files and units have them.
    static QByteArray unitImage(char fill) { return QByteArray(2368, fill) + QByteArray("\x08\x02", 2); }

    // A .cf file in the program's format: 37 lines of 64 bytes and the model bytes line.
    static QByteArray cfFile(const QByteArray &image)
    {
        QByteArray out;
        for (int at = 0; at < image.size(); at += 64)
            out += ConfigFiles::formatLine(image.mid(at, 64));
        return out;
    }

    static void startSim(SimProcess &sim, const Home &home, const QStringList &extra = {})
    {
        QVERIFY2(sim.start(home.programFolder(), extra), qPrintable(sim.errorText()));
    }
// A simulator that did not start ends the test there, not in the helper only.
#define START_SIM(...)                      \
    do {                                    \
        startSim(__VA_ARGS__);              \
        if (QTest::currentTestFailed())     \
            return;                         \
    } while (false)

    // Waits until the process has written `text` to standard error (bounded).
    static bool waitForStderr(QProcess &process, QByteArray &seen, const QByteArray &text)
    {
        process.setReadChannel(QProcess::StandardError);
        QDeadlineTimer deadline(kTimeoutMs);
        while (!seen.contains(text)) {
            if (process.state() == QProcess::NotRunning || deadline.hasExpired())
                return false;
            process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
            seen += process.readAllStandardError();
        }
        return true;
    }

    static int interruptAndWait(QProcess &process)
    {
        // Never signal "pid 0", which is this test's own process group.
        if (process.processId() <= 0)
            return -1;
        ::kill(pid_t(process.processId()), SIGINT);
        if (!process.waitForFinished(kTimeoutMs))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // What each kind of transfer works on: the command names, the unit's file and the file format.
    struct Kind {
        QString read, write, progress;
        bool firmware;
    };
    static Kind kind(bool firmware)
    {
        return firmware ? Kind{QStringLiteral("read-firmware"), QStringLiteral("write-firmware"),
                               QStringLiteral("Запись прошивки: "), true}
                        : Kind{QStringLiteral("read-config"), QStringLiteral("write-config"),
                               QStringLiteral("Запись конфигурации: "), false};
    }
    static QString unitFile(const Home &home, bool firmware)
    {
        return firmware ? home.programFolder() + QStringLiteral("/Service/zorgel-firmware.bin") : home.memoryFile();
    }
    static QByteArray formatted(const QByteArray &unitBytes, bool firmware)
    {
        return firmware ? FirmwareFile::format(unitBytes) : cfFile(unitBytes);
    }
    // The part of the unit's memory a write replaces (a configuration's model bytes are its own).
    static int written(bool firmware) { return firmware ? FirmwareFile::kFirmwareSize : 2368; }
    // Firmware moves at the fastest listed speed, or the tests would crawl.
    static QStringList fast() { return {QStringLiteral("--speed"), QStringLiteral("115200")}; }

private slots:
    // Everything that ends before a unit is needed, or because none answers.
    void exitStatus_data()
    {
        QTest::addColumn<QString>("arguments");   // FILE stands for a file in the home folder
        QTest::addColumn<QByteArray>("file");     // its content; empty: the file does not exist
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("stdoutText");
        QTest::addColumn<QString>("stderrText");

        QByteArray shortLine = cfFile(unitImage('\x11'));
        shortLine.replace(QByteArrayLiteral("11 \r\n"), QByteArrayLiteral("\r\n"));   // every line one byte short
        const QByteArray good = cfFile(unitImage('\x22'));

        QTest::newRow("help") << "--help" << QByteArray() << ExitCode::Success << "Коды завершения" << "";
        // Qt's own parser texts, translated.
        QTest::newRow("help headings in Russian") << "--help" << QByteArray() << ExitCode::Success
                                                  << "Использование: " << "";
        QTest::newRow("help options heading in Russian") << "--help" << QByteArray() << ExitCode::Success
                                                         << "\nПараметры:\n" << "";
        QTest::newRow("unknown option in Russian") << "find --bogus" << QByteArray() << ExitCode::Usage << ""
                                                   << "Неизвестный параметр «bogus».";
        QTest::newRow("missing value in Russian") << "find --port" << QByteArray() << ExitCode::Usage << ""
                                                  << "Отсутствует значение после «--port».";
        // Every command has its description in the help.
        QTest::newRow("help describes write-firmware")
            << "--help" << QByteArray() << ExitCode::Success
            << "  write-firmware FILE.fw [--port N] [--verify] [--backup]\n                                             файл -> прошивка"
            << "";
        QTest::newRow("a command's own help: usage, options, exit codes")
            << "read-config --help" << QByteArray() << ExitCode::Success
            << "Использование: tarviks-cli read-config FILE.cf [--port N] [--force]  |  read-config --all DIR "
               "[--force]\nконфигурация устройства -> файл\n"
            << "";
        QTest::newRow("a command's own exit codes")
            << "write-firmware --help" << QByteArray() << ExitCode::Success
            << "Коды завершения: 0 успешно, 2 ошибка в аргументах, 3 устройство не обнаружено, 4 ошибка файла, "
               "5 ошибка передачи, 6 проверка не пройдена, 7 выполнено, но копия или трасса не записана, 130 прервано "
               "(Ctrl+C)."
            << "";
        QTest::newRow("help describes monitor")
            << "--help" << QByteArray() << ExitCode::Success
            << "\n                                             состояние устройства, строка на кадр" << "";
        QTest::newRow("version") << "--version" << QByteArray() << ExitCode::Success << "tarviks-cli 0.1" << "";
        QTest::newRow("no command") << "" << QByteArray() << ExitCode::Usage << "" << "Не задана команда.";
        QTest::newRow("no file") << "write-config" << QByteArray() << ExitCode::Usage << ""
                                 << "write-config: не задан файл.";
        QTest::newRow("bad port") << "find --port x" << QByteArray() << ExitCode::Usage << "" << "--port";
        QTest::newRow("no unit on the listed ports, last successful first")
            << "find" << QByteArray() << ExitCode::NoUnit << ""
            << "Устройство не обнаружено! Проверены порты: 72, 71.";
        QTest::newRow("no unit on the given port")
            << "read-config FILE --port 79" << QByteArray() << ExitCode::NoUnit << ""
            << "Устройство не обнаружено! Проверены порты: 79.";
        QTest::newRow("missing file, checked before any port")
            << "write-config FILE" << QByteArray() << ExitCode::BadFile << "" << "Ошибка открытия файла: ";
        QTest::newRow("malformed file, checked before any port")
            << "write-config FILE --verify" << shortLine << ExitCode::BadFile << ""
            << "(строка 1: 63 байта вместо 64)";
        QTest::newRow("malformed firmware file, checked before any port")
            << "write-firmware FILE" << QByteArray("00 11\r\n") << ExitCode::BadFile << ""
            << "Ошибка формата файла прошивки: ";
        QTest::newRow("sound file, no unit") << "write-config FILE" << good << ExitCode::NoUnit << ""
                                             << "Устройство не обнаружено!";
        QTest::newRow("all: malformed file, checked once before any port")
            << "write-config FILE --all --verify" << shortLine << ExitCode::BadFile << ""
            << "(строка 1: 63 байта вместо 64)";
        QTest::newRow("all: malformed firmware file") << "write-firmware FILE --all" << QByteArray("00 11\r\n")
                                                      << ExitCode::BadFile << "" << "Ошибка формата файла прошивки: ";
        QTest::newRow("all: read into a folder that is not there")
            << "read-config FILE/sub --all" << QByteArray() << ExitCode::BadFile << "" << "Нет папки ";
        QTest::newRow("all: no unit on the listed ports") << "find --all --port 79 --port 78" << QByteArray()
                                                          << ExitCode::NoUnit << "COM78  —" << "";
        QTest::newRow("folder of the target missing")
            << "read-config FILE/sub/x.cf" << QByteArray() << ExitCode::BadFile << "" << "Ошибка создания файла: ";
        QTest::newRow("show without a side") << "show --json" << QByteArray() << ExitCode::Usage << ""
                                             << "show: задайте один файл или --unit.";
        QTest::newRow("diff with one side") << "diff FILE" << good << ExitCode::Usage << ""
                                            << "diff: задайте два файла, или файл и --unit.";
        QTest::newRow("set without values") << "set FILE" << good << ExitCode::Usage << ""
                                            << "set: не заданы значения ИМЯ=ЗНАЧЕНИЕ.";
        QTest::newRow("set on the unit") << "set --unit Syrena=1" << good << ExitCode::Usage << ""
                                         << "Параметр --unit не применяется к команде set.";
        QTest::newRow("set of an unknown field") << "set FILE Sirena=1" << good << ExitCode::Usage << ""
                                                 << "set: нет поля «Sirena». Имена полей — как их печатает show.";
        QTest::newRow("set of a name in other case") << "set FILE syrena=1" << good << ExitCode::Usage << ""
                                                     << "set: нет поля «syrena»; может быть, «Syrena»?";
        QTest::newRow("set refused, file left alone")
            << "set FILE Zaderjka=0 Syrena=1" << good << ExitCode::BadFile << ""
            << "Zaderjka: значение «0» не принято — от 1 до 2 символов, только цифры, число не меньше 1.";
        QTest::newRow("show of a malformed file") << "show FILE" << shortLine << ExitCode::BadFile << ""
                                                  << "(строка 1: 63 байта вместо 64)";
        QTest::newRow("diff against no unit") << "diff FILE --unit" << good << ExitCode::NoUnit << ""
                                              << "Устройство не обнаружено!";
        QTest::newRow("a trace that cannot be created: nothing begins")
            << "--trace FILE/sub/trace.txt find" << QByteArray() << ExitCode::BadFile << ""
            << "Ошибка записи в файл: ";
        QTest::newRow("--no-backup is write-config's") << "read-config FILE --no-backup" << QByteArray()
                                                       << ExitCode::Usage << ""
                                                       << "Параметр --no-backup не применяется к команде read-config.";
        QTest::newRow("backups before any copy") << "backups --json" << QByteArray() << ExitCode::Success << "[\n]"
                                                 << "";
        QTest::newRow("backups of a unit never kept") << "backups NOSUCH" << QByteArray() << ExitCode::NoUnit
                                                      << "Резервных копий устройства NOSUCH нет" << "";
    }

    void exitStatus()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, file);
        QFETCH(int, code);
        QFETCH(QString, stdoutText);
        QFETCH(QString, stderrText);
        Home home;
        writeSettings(home, {QStringLiteral("71"), QStringLiteral("72")}, QStringLiteral("72"));
        const QString path = home.path(QStringLiteral("unit.cf"));
        if (!file.isEmpty())
            writeFile(path, file);
        QStringList args = arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        args.replaceInStrings(QStringLiteral("FILE"), path);

        const Run result = run(home, args);
        QVERIFY2(result.code == code, qPrintable(QStringLiteral("%1: %2").arg(result.code).arg(result.err)));
        QVERIFY2(result.out.contains(stdoutText), qPrintable(result.out));
        QVERIFY2(result.err.contains(stderrText), qPrintable(result.err));
        if (!file.isEmpty())
            QCOMPARE(fileBytes(path), file);   // no command here changes its file
    }

    // A unit holding a known configuration, read into a file by the program; set makes a second
    // file of it, show and diff report the fields by their names.
    void fieldsOfAFileWrittenByTheProgram()
    {
        QByteArray memory(2370, '\0');
        memory.replace(256, 8, Cp1251::encode(QStringLiteral("Тревога")) + '\0');   // "Вход 1"
        memory[1575] = '\x2E';                                                     // "T1 Верхняя (H)" 25
        memory[1760] = '0';                                                        // "Syrena" off
        memory[1376] = char(80);                                                   // input 1: 80 over 20
        memory[1392] = char(20);
        memory[2368] = '\x08';
        memory[2369] = '\x02';
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        writeFile(home.memoryFile(), memory);
        SimProcess sim;
        START_SIM(sim, home);
        const QString site = home.path(QStringLiteral("site.cf"));
        const QString next = home.path(QStringLiteral("next.cf"));
        const Run read = run(home, QStringList{QStringLiteral("read-config"), site, QStringLiteral("-q")} + fast());
        QVERIFY2(read.code == ExitCode::Success, qPrintable(read.err));

        const Run set = run(home, {QStringLiteral("set"), site, QStringLiteral("Вход 1=Пожар"),
                                   QStringLiteral("T1 Верхняя (H)=30"), QStringLiteral("Syrena=да"),
                                   QStringLiteral("Вход 1 Нижний (L)=80"), QStringLiteral("--output"), next});
        QVERIFY2(set.code == ExitCode::Success, qPrintable(set.err));
        QByteArray expected = memory;
        expected.replace(256, 6, QByteArray("\xCF\xEE\xE6\xE0\xF0\x00", 6));   // "Пожар", then the rest of the old text
        expected[1575] = '\x38';
        expected[1760] = '1';
        expected[1392] = char(80);
        QCOMPARE(fileBytes(next), cfFile(expected));
        QCOMPARE(fileBytes(site), cfFile(memory));

        const Run json = run(home, {QStringLiteral("show"), next, QStringLiteral("--json")});
        QVERIFY2(json.code == ExitCode::Success, qPrintable(json.err));
        const QJsonObject shown = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(shown.value(QStringLiteral("Вход 1")).toString(), QStringLiteral("Пожар"));
        QVERIFY(shown.value(QStringLiteral("Вход 2")).isNull());
        QCOMPARE(shown.value(QStringLiteral("T1 Верхняя (H)")).toString(), QStringLiteral("30"));
        QCOMPARE(shown.value(QStringLiteral("T1 Нижняя (L)")).toString(), QStringLiteral("0"));
        QCOMPARE(shown.value(QStringLiteral("Syrena")).toString(), QStringLiteral("1"));
        QVERIFY(shown.value(QStringLiteral("1 ключ")).isNull());
        QCOMPARE(shown.value(QStringLiteral("Вход 1 Нижний (L)")).toString(), QStringLiteral("80"));
        // Nothing in it breaks a field's rule.
        const QJsonObject flagged = shown.value(QStringLiteral("flagged")).toObject();
        QCOMPARE(flagged.keys(), QStringList());

        const Run diff = run(home, {QStringLiteral("diff"), site, next});
        QCOMPARE(diff.code, 1);
        QCOMPARE(diff.out, QStringLiteral("Вход 1: Тревога → Пожар\n"
                                          "T1 Верхняя (H): 25 → 30\n"
                                          "Syrena: 0 → 1\n"
                                          "Вход 1 Нижний (L): 20 → 80\n"
                                          "Отличающихся полей: 4\n"));

        const Run same = run(home, QStringList{QStringLiteral("diff"), QStringLiteral("--unit"), site} + fast());
        QVERIFY2(same.code == ExitCode::Success, qPrintable(same.err));
        QCOMPARE(same.out, QStringLiteral("Отличающихся полей: 0\n"));

        // Bytes no field shows: after the end of a message's room, and a model byte.
        QByteArray outside = memory;
        outside[317] = '\x55';
        outside[2368] = '\x0C';
        const QString hand = home.path(QStringLiteral("hand.cf"));
        writeFile(hand, cfFile(outside));
        const Run cells = run(home, {QStringLiteral("diff"), site, hand});
        QCOMPARE(cells.code, 1);
        QCOMPARE(cells.out, QStringLiteral("Отличающихся полей: 0\nОтличаются ячейки: 318, 2369\n"));
    }

    void findShowsTheUnitAndLeavesSettingsAlone()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1"), QStringLiteral("2")}, QStringLiteral("1"));
        const QByteArray settings = fileBytes(home.settingsFile());
        SimProcess sim;
        START_SIM(sim, home, {QStringLiteral("--port"), QStringLiteral("2"), QStringLiteral("--name"), QStringLiteral("Склад 3")});

        const Run text = run(home, {QStringLiteral("find")});
        QVERIFY2(text.code == ExitCode::Success, qPrintable(text.err));
        QVERIFY2(text.out.startsWith(QStringLiteral("COM2 (")), qPrintable(text.out));
        QVERIFY2(text.out.contains(QStringLiteral("Имя устройства: Склад 3")), qPrintable(text.out));
        QVERIFY2(text.out.contains(QStringLiteral("Модель: ЗОРГЕЛ-GSM")), qPrintable(text.out));

        const Run json = run(home, {QStringLiteral("find"), QStringLiteral("--json"), QStringLiteral("--speed"),
                                    QStringLiteral("19200")});
        QVERIFY2(json.code == ExitCode::Success, qPrintable(json.err));
        const QJsonArray units = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(units.size(), 1);
        const QJsonObject unit = units.at(0).toObject();
        QCOMPARE(unit.value(QStringLiteral("port")).toInt(), 2);
        QCOMPARE(unit.value(QStringLiteral("name")).toString().trimmed(), QStringLiteral("Склад 3"));
        const QByteArray memory = fileBytes(home.memoryFile());
        QCOMPARE(unit.value(QStringLiteral("inputs")).toInt(), QString::number(uchar(memory.at(2368)), 16).toInt());
        QVERIFY(unit.value(QStringLiteral("model")).toString().startsWith(QStringLiteral("ЗОРГЕЛ-GSM")));
        QCOMPARE(unit.value(QStringLiteral("imei")).toString().size(), 15);

        // --speed and the search never touch TX.cfg.
        QCOMPARE(fileBytes(home.settingsFile()), settings);
    }

    // ports: each numbered port with its target and whether its device is there; --port also takes
    // a device path, linked or not.
    void portsAndDevicePaths()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess first, second;
        START_SIM(first, home, {QStringLiteral("--port"), QStringLiteral("2")});
        START_SIM(second, home, {QStringLiteral("--port"), QStringLiteral("5"), QStringLiteral("--name"), QStringLiteral("Склад 5")});
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/tty"), home.programFolder() + QStringLiteral("/Service/ports/COM3")));
        const QString firstDevice = QFileInfo(first.linkPath()).symLinkTarget();
        const QString secondDevice = QFileInfo(second.linkPath()).symLinkTarget();

        const Run json = run(home, {QStringLiteral("ports"), QStringLiteral("--json")});
        QVERIFY2(json.code == ExitCode::Success, qPrintable(json.err));
        const QJsonArray ports = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QStringList seen;
        for (const QJsonValue &value : ports) {
            const QJsonObject port = value.toObject();
            seen << QStringLiteral("%1 %2 %3 %4")
                        .arg(port.value(QStringLiteral("port")).toInt())
                        .arg(port.value(QStringLiteral("target")).toString(),
                             port.value(QStringLiteral("device")).isNull() ? QStringLiteral("null")
                                                                            : port.value(QStringLiteral("device")).toString(),
                             port.value(QStringLiteral("present")).toBool() ? QStringLiteral("present") : QStringLiteral("missing"));
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("2 %1 %1 present").arg(firstDevice),
                                    QStringLiteral("3 /nonexistent/tty null missing"),
                                    QStringLiteral("5 %1 %1 present").arg(secondDevice)}));

        const Run text = run(home, {QStringLiteral("ports")});
        const QString links = home.programFolder() + QStringLiteral("/Service/ports/COM");
        QCOMPARE(text.out, QStringLiteral("COM2: %1 -> %2\nCOM3: %3 -> /nonexistent/tty — нет устройства\nCOM5: %4 -> %5\n")
                               .arg(links + QLatin1Char('2'), firstDevice, links + QLatin1Char('3'), links + QLatin1Char('5'),
                                    secondDevice));

        const Run linked = run(home, {QStringLiteral("find"), QStringLiteral("--port"), secondDevice});
        QVERIFY2(linked.code == ExitCode::Success, qPrintable(linked.err));
        QVERIFY2(linked.out.startsWith(QStringLiteral("COM5 (%1)").arg(secondDevice)), qPrintable(linked.out));
        QVERIFY2(linked.out.contains(QStringLiteral("Имя устройства: Склад 5")), qPrintable(linked.out));

        // Without a link the device gets a number for this run only.
        QVERIFY(QFile::remove(second.linkPath()));
        const Run unlinked = run(home, {QStringLiteral("find"), QStringLiteral("--port"), secondDevice});
        QVERIFY2(unlinked.code == ExitCode::Success, qPrintable(unlinked.err));
        QVERIFY2(unlinked.out.startsWith(QStringLiteral("COM1 (%1)").arg(secondDevice)), qPrintable(unlinked.out));
        QVERIFY(!QFileInfo::exists(home.programFolder() + QStringLiteral("/Service/ports/COM1")));
    }

    void readToFile_data()
    {
        QTest::addColumn<bool>("firmware");
        QTest::newRow("configuration") << false;
        QTest::newRow("firmware") << true;
    }

    void readToFile()
    {
        QFETCH(bool, firmware);
        Home home;
        writeSettings(home, {QStringLiteral("3")}, QStringLiteral("3"));
        SimProcess sim;
        START_SIM(sim, home, {QStringLiteral("--port"), QStringLiteral("3"), QStringLiteral("--split"),
                             QStringLiteral("5")});
        const QString target = home.path(QStringLiteral("backup"));
        writeFile(target, QByteArrayLiteral("old"));

        const Run result = run(home, QStringList{kind(firmware).read, target, QStringLiteral("-q")} + fast());
        QVERIFY2(result.code == ExitCode::Success, qPrintable(result.err));
        QCOMPARE(result.err, QString());
        QCOMPARE(fileBytes(target), formatted(fileBytes(unitFile(home, firmware)), firmware));
        QCOMPARE(QDir(home.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("backup")});
    }

    // A full disk under a batch read's file (each writer's fault is in its unit table): exit 4 with
    // the file named and the reason, that unit's row says so, the earlier file byte for byte.
    void fullDiskKeepsTheBackup()
    {
        SmallDisk disk(256);
        if (!disk.mounted)
            QSKIP("a tmpfs cannot be mounted here (needs root)");
        Home home;
        writeSettings(home, {QStringLiteral("3")}, QStringLiteral("3"));
        SimProcess sim;
        START_SIM(sim, home, {QStringLiteral("--port"), QStringLiteral("3"), QStringLiteral("--name"), QStringLiteral("SKLAD")});
        const QString name = QStringLiteral("COM3 SKLAD.cf");
        const QString target = disk.path(name);
        const QByteArray earlier = cfFile(unitImage('E'));
        writeFile(target, earlier);
        QVERIFY(disk.leaveRoom(0));

        const Run result = run(home, QStringList{QStringLiteral("read-config"), QStringLiteral("--all"), disk.dir.path()} + fast());
        QVERIFY2(result.code == ExitCode::BadFile, qPrintable(result.out + result.err));
        QVERIFY2(result.err.contains(QStringLiteral("Ошибка записи в файл: ") + target)
                     && result.err.contains(QStringLiteral("Нет места на диске. Прежний файл не изменён.")),
                 qPrintable(result.err));
        QVERIFY2(result.out.contains(QRegularExpression(QStringLiteral("COM3 +SKLAD +ошибка файла"))), qPrintable(result.out));
        QVERIFY(fileBytes(target) == earlier);
        QCOMPARE(QDir(disk.dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{name, QStringLiteral("filler")}));
    }

    // Three units at once, the second dropping its line mid-write: the other two are written and
    // verified, the failure is told for that unit alone, and the exit status is the worst of them.
    // A read of all afterwards writes one file per unit still there, named by port and unit.
    void batchOfThreeOneFailingMidWrite()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}, QStringLiteral("1"));
        SimProcess sims[3];
        const auto memory = [&home](int n) { return home.path(QStringLiteral("memory%1.bin").arg(n)); };
        for (int n = 1; n <= 3; ++n) {
            QStringList extra{QStringLiteral("--port"), QString::number(n), QStringLiteral("--name"),
                              QStringLiteral("ZG/%1 BLOCK").arg(n), QStringLiteral("--config"), memory(n),
                              QStringLiteral("--firmware"), home.path(QStringLiteral("firmware%1.bin").arg(n))};
            if (n == 2)
                extra << QStringLiteral("--close-after-blocks") << QStringLiteral("10");
            START_SIM(sims[n - 1], home, extra);
        }
        const QByteArray before = fileBytes(memory(1));
        QCOMPARE(before.size(), 2370);
        QByteArray wanted = before;
        wanted[699] = char(wanted.at(699) ^ 0x5A);
        const QString source = home.path(QStringLiteral("new.cf"));
        writeFile(source, cfFile(wanted));

        const Run write = run(home, {QStringLiteral("write-config"), source, QStringLiteral("--all"),
                                     QStringLiteral("--verify")});
        QVERIFY2(write.code == ExitCode::TransferFailed, qPrintable(write.out + write.err));
        QCOMPARE(fileBytes(memory(1)).left(2368), wanted.left(2368));
        QCOMPARE(fileBytes(memory(3)).left(2368), wanted.left(2368));
        QVERIFY(fileBytes(memory(2)).left(2368) != wanted.left(2368));
        const QStringList rows = write.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 4);   // a heading and a row per unit
        QVERIFY2(rows.at(1).contains(QRegularExpression(QStringLiteral("^COM1 +ZG/1 BLOCK +записано и проверено +\\d+\\.\\d$"))),
                 qPrintable(rows.at(1)));
        QVERIFY2(rows.at(2).contains(QRegularExpression(QStringLiteral("^COM2 +ZG/2 BLOCK +ошибка передачи +\\d+\\.\\d$"))),
                 qPrintable(rows.at(2)));
        QVERIFY2(rows.at(3).startsWith(QStringLiteral("COM3")) && rows.at(3).contains(QStringLiteral("записано и проверено")),
                 qPrintable(rows.at(3)));
        QVERIFY2(write.err.contains(QStringLiteral("COM2 ZG/2 BLOCK: Связь с устройством потеряна"))
                     && write.err.contains(QStringLiteral("повторите запись")),
                 qPrintable(write.err));

        // The second unit is gone now; a port without a unit is no failure while others answer.
        const QString folder = home.path(QStringLiteral("read"));
        QVERIFY(QDir().mkpath(folder));
        const Run read = run(home, {QStringLiteral("read-config"), QStringLiteral("--all"), folder});
        QVERIFY2(read.code == ExitCode::Success, qPrintable(read.out + read.err));
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{QStringLiteral("COM1 ZG%2F1 BLOCK.cf"), QStringLiteral("COM3 ZG%2F3 BLOCK.cf")}));
        QCOMPARE(fileBytes(folder + QStringLiteral("/COM1 ZG%2F1 BLOCK.cf")), cfFile(fileBytes(memory(1))));
        QVERIFY(read.out.contains(QRegularExpression(QStringLiteral("COM2 +— +устройство не обнаружено"))));
    }

    // Ctrl+C in the middle of a batch write stops every unit and tells, unit by unit, what it holds.
    void batchCtrlCStopsEveryUnit()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1"), QStringLiteral("2")}, QStringLiteral("1"));
        SimProcess sims[2];
        const auto memory = [&home](int n) { return home.path(QStringLiteral("memory%1.bin").arg(n)); };
        for (int n = 1; n <= 2; ++n)
            START_SIM(sims[n - 1], home,
                     {QStringLiteral("--port"), QString::number(n), QStringLiteral("--name"),
                      QStringLiteral("SLOW %1").arg(n), QStringLiteral("--config"), memory(n), QStringLiteral("--baud"),
                      QStringLiteral("2400")});
        const QByteArray before[2] = {fileBytes(memory(1)), fileBytes(memory(2))};
        const QString source = home.path(QStringLiteral("new.cf"));
        writeFile(source, cfFile(unitImage('\x55')));

        QProcess process;
        start(process, home, {QStringLiteral("write-config"), source, QStringLiteral("--all")});
        QByteArray seen;
        // Plain lines (no terminal here): the second tenth of a unit's write is under way, after
        // the read that keeps its copy.
        QVERIFY2(waitForStderr(process, seen, QByteArray("запись конфигурации")), seen.constData());
        QByteArray writing;
        QVERIFY2(waitForStderr(process, writing, QByteArray("[##")), writing.constData());
        seen += writing;
        QCOMPARE(interruptAndWait(process), int(ExitCode::Interrupted));
        seen += process.readAllStandardError();
        const QString err = QString::fromUtf8(seen);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        for (int n = 1; n <= 2; ++n) {
            QVERIFY2(err.contains(QStringLiteral("COM%1 SLOW %1: Прервано: запись остановлена. Передано ").arg(n)),
                     qPrintable(err));
            // ... and where the copy of what it held before is.
            QVERIFY2(err.contains(QStringLiteral("Конфигурация, которая была в устройстве до записи, сохранена в "
                                                 "файле:\n%1/Резервные копии/SLOW %2 356938035643809/")
                                      .arg(home.programFolder())
                                      .arg(n)),
                     qPrintable(err));
            QVERIFY2(out.contains(QRegularExpression(QStringLiteral("COM%1 +SLOW %1 +прервано").arg(n))), qPrintable(out));
        }
        // Neither unit completed its write, so each keeps what it held.
        for (int n = 1; n <= 2; ++n)
            sims[n - 1].stop();
        QCOMPARE(fileBytes(memory(1)), before[0]);
        QCOMPARE(fileBytes(memory(2)), before[1]);
    }

    void writeWithVerify_data()
    {
        QTest::addColumn<bool>("firmware");
        QTest::newRow("configuration") << false;
        QTest::newRow("firmware") << true;
    }

    void writeWithVerify()
    {
        QFETCH(bool, firmware);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home);
        const QByteArray before = fileBytes(unitFile(home, firmware));
        QByteArray wanted = before;
        wanted[699] = char(wanted.at(699) ^ 0x5A);
        if (!firmware)
            wanted[2368] = '\x12';   // model bytes in a file are not sent
        const QString source = home.path(QStringLiteral("new"));
        writeFile(source, formatted(wanted, firmware));

        // The file names another model; --force writes it all the same.
        const QStringList force = firmware ? QStringList() : QStringList{QStringLiteral("--force")};
        const QString trace = home.path(QStringLiteral("trace.txt"));
        const Run result = run(home, QStringList{QStringLiteral("--trace"), trace, kind(firmware).write, source,
                                                 QStringLiteral("--verify")} + force + fast());
        QVERIFY2(result.code == ExitCode::Success, qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral("Проверено: ")), qPrintable(result.err));
        QCOMPARE(fileBytes(unitFile(home, firmware)), wanted.left(written(firmware)) + before.mid(written(firmware)));
        if (firmware)
            return;
        // A copy of what the unit held before; the trace has the request and each block's "OK".
        const QString folder = home.programFolder() + QStringLiteral("/Резервные копии/ЗОРГЕЛ-GSM8T 356938035643809/");
        const QStringList kept = QDir(folder).entryList({QStringLiteral("* до записи.cf")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fileBytes(folder + kept.first()), cfFile(before));
        const QByteArray traced = fileBytes(trace);
        QVERIFY2(traced.contains(" COM1 TX 23 36 30 30 31  #6001\n"), traced.constData());
        // What came back, whatever pieces the line handed it over in.
        QByteArray received;
        for (const QByteArray &line : traced.split('\n'))
            if (const qsizetype at = line.indexOf(" COM1 RX "); at >= 0)
                received += QByteArray::fromHex(line.mid(at + 9, line.indexOf("  ", at + 9) - at - 9));
        QCOMPARE(received.count("OK"), 38);
    }

    void verifyMismatchIsReported_data()
    {
        QTest::addColumn<bool>("firmware");
        QTest::newRow("configuration") << false;
        QTest::newRow("firmware") << true;
    }

    void verifyMismatchIsReported()
    {
        QFETCH(bool, firmware);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home, {QStringLiteral("--flip-on-write"), QStringLiteral("100")});
        const QString source = home.path(QStringLiteral("new"));
        const QByteArray image = fileBytes(unitFile(home, firmware));
        writeFile(source, formatted(image, firmware));

        const Run plain = run(home, QStringList{kind(firmware).write, source} + fast());
        QVERIFY2(plain.code == ExitCode::Success, qPrintable(plain.err));
        const Run verified = run(home, QStringList{kind(firmware).write, source, QStringLiteral("--verify")} + fast());
        QVERIFY2(verified.code == ExitCode::VerifyMismatch, qPrintable(verified.err));
        const QString expected = QStringLiteral("отличаются 1 из %1 байт, первый — байт 101 (в устройстве %2, в файле %3)")
                                     .arg(written(firmware))
                                     .arg(uchar(~image.at(100)), 2, 16, QLatin1Char('0'))
                                     .arg(uchar(image.at(100)), 2, 16, QLatin1Char('0'));
        QVERIFY2(verified.err.contains(expected, Qt::CaseInsensitive), qPrintable(verified.err));
    }

    void badFileSendsNothing()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home);
        const QByteArray before = fileBytes(home.memoryFile());
        QByteArray content = cfFile(unitImage('\x33'));
        content.replace(30 * 194 + 6, 2, "ZZ");   // a non-hex pair in line 31
        const QString source = home.path(QStringLiteral("bad.cf"));
        writeFile(source, content);

        const Run result = run(home, {QStringLiteral("write-config"), source});
        QVERIFY2(result.code == ExitCode::BadFile, qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral("(строка 31: недопустимые символы)")), qPrintable(result.err));
        QVERIFY2(!result.err.contains(QStringLiteral("Устройство обнаружено")), qPrintable(result.err));
        // The unit still answers and holds what it held.
        const Run check = run(home, {QStringLiteral("find"), QStringLiteral("-q")});
        QCOMPARE(check.code, int(ExitCode::Success));
        QCOMPARE(fileBytes(home.memoryFile()), before);
    }

    void firmwareNeedsAReportedVersion()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        {
            SimProcess first;   // creates the unit's files
            START_SIM(first, home);
        }
        // A unit whose configuration reports firmware version 000.00, as the window refuses.
        QByteArray memory = fileBytes(home.memoryFile());
        QCOMPARE(memory.size(), 2370);
        memory.replace(1419, 3, QByteArray(3, '\0'));
        writeFile(home.memoryFile(), memory);
        SimProcess sim;
        START_SIM(sim, home);
        const QByteArray firmware = fileBytes(unitFile(home, true));
        const QString source = home.path(QStringLiteral("new.fw"));
        writeFile(source, formatted(QByteArray(firmware.size(), '\x66'), true));

        const Run result = run(home, QStringList{QStringLiteral("write-firmware"), source} + fast());
        QVERIFY2(result.code == ExitCode::TransferFailed, qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral("Операции с прошивкой недоступны: устройство не сообщает версию "
                                                    "прошивки (000.00).")),
                 qPrintable(result.err));
        sim.stop();
        QCOMPARE(fileBytes(unitFile(home, true)), firmware);
    }

    // One fault of the unit or its port, and what the engineer reads about it: which way it failed,
    // with the counts, said once; whether the unit's data was touched; the exit status.
    void faultMessages_data()
    {
        e2eFaultColumns();
        const QString generic = QStringLiteral("Не соответствует количество байт");
        const auto only = [](const QString &request) { return QStringList{QStringLiteral("--only"), request}; };
        QTest::newRow("--all: a port named without a unit")
            << QStringList() << "write-config FILE --all --port 1 --port 2" << ExitCode::NoUnit
            << QStringList{QStringLiteral("записано"), QStringLiteral("COM2"), QStringLiteral("устройство не обнаружено")}
            << QStringList{generic};
        QTest::newRow("configuration read: silence")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#6000"))) << "read-config FILE"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Ошибка при чтении! Устройство не ответило: получено 0 из 2370 байт.")}
            << QStringList{generic, QStringLiteral("при сохранении")};
        QTest::newRow("configuration read: short reply")
            << (QStringList{QStringLiteral("--length-delta"), QStringLiteral("-100")} + only(QStringLiteral("#6000")))
            << "read-config FILE" << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Ответ устройства оборвался: получено 2270 из 2370 байт.")}
            << QStringList{generic};
        QTest::newRow("configuration read: long reply")
            << (QStringList{QStringLiteral("--length-delta"), QStringLiteral("3")} + only(QStringLiteral("#6000")))
            << "read-config FILE" << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Ответ устройства длиннее ожидаемого: получено 2373 байта вместо 2370.")}
            << QStringList{generic};
        QTest::newRow("configuration write: acknowledgements stop")
            << QStringList{QStringLiteral("--ack-limit"), QStringLiteral("5")} << "write-config FILE"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Ошибка при записи! Устройство перестало подтверждать блоки: подтверждено 5 из "
                                          "6 переданных (всего 37 блоков)."),
                           QStringLiteral("записана не полностью")}
            << QStringList{generic};
        QTest::newRow("configuration write: request unanswered")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#6001"))) << "write-config FILE"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Устройство не ответило на запрос записи"),
                           QStringLiteral("Данные конфигурации в устройство не передавались")}
            << QStringList{generic, QStringLiteral("записана не полностью")};
        QTest::newRow("firmware read: silence")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#5000"))) << "read-firmware FILE"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Ошибка при чтении прошивки! Устройство не ответило: получено 0 из 62720 байт.")}
            << QStringList{generic, QStringLiteral("Ошибка при сохранении!")};
        QTest::newRow("firmware write stops at the configuration read")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#6000"))) << "write-firmware FILE"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Ошибка при чтении конфигурации! Устройство не ответило"),
                           QStringLiteral("Прошивка в устройстве не затронута")}
            << QStringList{generic};
        QTest::newRow("firmware write: request unanswered")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#5001"))) << "write-firmware FILE"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Данные прошивки в устройство не передавались, прошивка в нём прежняя.")}
            << QStringList{generic};
        // A status text during a flash is no error: told in the command line's words, and the flash goes on.
        QTest::newRow("firmware write: a status text") << QStringList{QStringLiteral("--status-text"), QStringLiteral("BUSY"),
                                                                     QStringLiteral("--status-at"), QStringLiteral("10")}
            << "write-firmware FILE" << ExitCode::Success
            << QStringList{QStringLiteral("устройство сообщило: BUSY — запись продолжается"), QStringLiteral("Записано успешно!")}
            << QStringList{QStringLiteral("ОК=BUSY")};
        QTest::newRow("no device behind the number")
            << QStringList() << "find --port 3" << ExitCode::NoUnit
            << QStringList{QStringLiteral("COM3 = /dev/ttyUSB2: Error 8002, нет устройства"),
                           QStringLiteral("/tarviks/Service/ports/COM3\"")}
            << QStringList{QStringLiteral("dialout")};
        QTest::newRow("a port with nothing answering")
            << QStringList{QStringLiteral("--silent")} << "find --port 1" << ExitCode::NoUnit
            << QStringList{QStringLiteral("COM1 = "), QStringLiteral(": нет ответа на запрос опознания.")}
            << QStringList{QStringLiteral("Error 8")};
        // The unit streams on after its name: the reply has overrun 24 bytes on the first read.
        QTest::newRow("a port streaming after the name reply")
            << QStringList{QStringLiteral("--stream-after"), QStringLiteral("1000000"), QStringLiteral("--only"),
                           QStringLiteral("#4000")}
            << "find --port 1" << ExitCode::NoUnit
            << QStringList{QStringLiteral("Устройство не обнаружено! Проверены порты: 1.\nCOM1 = "),
                           QStringLiteral(": ответ на запрос опознания длиннее ожидаемого: получено ")}
            << QStringList();
        // A unit slower than its line, inside the protocol's limit: every 4th "OK" 700 ms late.
        QTest::newRow("configuration write to a slow unit")
            << QStringList{QStringLiteral("--ack-delay"), QStringLiteral("700"), QStringLiteral("--ack-delay-every"),
                           QStringLiteral("4")}
            << "write-config FILE --verify" << ExitCode::Success
            << QStringList{QStringLiteral("Записано успешно! "),
                           QStringLiteral("Проверено: конфигурация в устройстве совпадает с файлом.")}
            << QStringList{QStringLiteral("Ошибка")};
        // Bytes of the right count, but not a unit's: a failed read, no file made.
        QTest::newRow("configuration read: random bytes whose model cells name no model")
            << (QStringList{QStringLiteral("--garbage")} + only(QStringLiteral("#6000"))) << "read-config FILE"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Ошибка при чтении! Ячейки модели 2369–2370 ("),
                           QStringLiteral("не называют ни одной известной модели"), QStringLiteral("не создан.")}
            << QStringList{QStringLiteral("Сохранено успешно")};
        QTest::newRow("a port answering garbage")
            << QStringList{QStringLiteral("--garbage")} << "find --port 1" << ExitCode::NoUnit
            << QStringList{QStringLiteral(": ответ не от устройства ЗОРГЕЛ: получено 24 байта")} << QStringList();
        QTest::newRow("find whose configuration read failed")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#6000"))) << "find --port 1"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("Имя устройства: ЗОРГЕЛ-GSM8T\n  Модель: нет данных"),
                           QStringLiteral("Остальное не прочитано: конфигурация устройства не прочитана.")}
            << QStringList{generic};
        QTest::newRow("find: the name unpadded, both versions named")
            << QStringList() << "find --port 1" << ExitCode::Success
            << QStringList{QStringLiteral("Имя устройства: ЗОРГЕЛ-GSM8T\n"), QStringLiteral("\n  Версия ядра: 0"),
                           QStringLiteral("\n  Версия прошивки: 0")}
            << QStringList{QStringLiteral(" / ")};
        QTest::newRow("a speed the program does not offer")
            << QStringList() << "find --port 1 --speed 4800" << ExitCode::Usage
            << QStringList{QStringLiteral("--speed: скорость 4800 не предлагается; допустимы: 9600, 19200, 115200")}
            << QStringList();
        QTest::newRow("configuration file where firmware is wanted")
            << QStringList() << "write-firmware CF" << ExitCode::BadFile
            << QStringList{QStringLiteral("— это файл конфигурации (.cf), а нужен файл прошивки (.fw).")}
            << QStringList{QStringLiteral("Устройство обнаружено")};
        QTest::newRow("firmware file where a configuration is wanted")
            << QStringList() << "write-config FW" << ExitCode::BadFile
            << QStringList{QStringLiteral("— это файл прошивки (.fw), а нужен файл конфигурации (.cf).")}
            << QStringList{QStringLiteral("Устройство обнаружено")};
        QTest::newRow("empty file") << QStringList() << "write-config EMPTY" << ExitCode::BadFile
                                    << QStringList{QStringLiteral(": файл пуст.")} << QStringList();
        QTest::newRow("missing file") << QStringList() << "write-firmware MISSING" << ExitCode::BadFile
                                      << QStringList{QStringLiteral(": файл не найден.")} << QStringList();
        QTest::newRow("a folder given as the file") << QStringList() << "write-config FOLDER" << ExitCode::BadFile
                                                    << QStringList{QStringLiteral(": это папка, а не файл.")}
                                                    << QStringList();
        QTest::newRow("firmware read into a .cf name") << QStringList() << "read-firmware CF" << ExitCode::BadFile
                                                       << QStringList{QStringLiteral(".cf — расширение другого вида файлов")}
                                                       << QStringList();
    }

    // The same faults in a batch (--all): each unit's line says what a single command says. A table of
    // its own, so that the two run side by side.
    void batchFaultMessages_data()
    {
        e2eFaultColumns();
        const QString generic = QStringLiteral("Не соответствует количество байт");
        const auto only = [](const QString &request) { return QStringList{QStringLiteral("--only"), request}; };
        QTest::newRow("batch: configuration read: short reply")
            << (QStringList{QStringLiteral("--length-delta"), QStringLiteral("-100")} + only(QStringLiteral("#6000")))
            << "read-config --all FOLDER" << ExitCode::TransferFailed
            << QStringList{QStringLiteral("COM1 ЗОРГЕЛ-GSM8T: Ошибка при чтении! Ответ устройства оборвался: получено "
                                          "2270 из 2370 байт. Файл "),
                           QStringLiteral("COM1 ЗОРГЕЛ-GSM8T.cf не создан.\n")}
            << QStringList{generic};
        QTest::newRow("batch: configuration write: acknowledgements stop")
            << QStringList{QStringLiteral("--ack-limit"), QStringLiteral("5")} << "write-config FILE --all"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("COM1 ЗОРГЕЛ-GSM8T: Ошибка при записи! Устройство перестало подтверждать "
                                          "блоки: подтверждено 5 из 6 переданных (всего 37 блоков). Передано "),
                           QStringLiteral("записана не полностью, повторите запись.")}
            << QStringList{generic};
        QTest::newRow("batch: configuration write: request unanswered")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#6001"))) << "write-config FILE --all"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("COM1 ЗОРГЕЛ-GSM8T: Ошибка при записи! Устройство не ответило на запрос "
                                          "записи: блоки не передавались. Данные конфигурации в устройство не "
                                          "передавались, конфигурация в нём прежняя.")}
            << QStringList{generic, QStringLiteral("записана не полностью")};
        QTest::newRow("batch: firmware read: silence")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#5000"))) << "read-firmware --all FOLDER"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("COM1 ЗОРГЕЛ-GSM8T: Ошибка при чтении прошивки! Устройство не ответило: "
                                          "получено 0 из 62720 байт.")}
            << QStringList{generic, QStringLiteral("Ошибка при сохранении!")};
        QTest::newRow("batch: firmware write stops at the configuration read")
            << (QStringList{QStringLiteral("--silent")} + only(QStringLiteral("#6000"))) << "write-firmware FILE --all"
            << ExitCode::TransferFailed
            << QStringList{QStringLiteral("COM1 ЗОРГЕЛ-GSM8T: Ошибка при чтении конфигурации! Устройство не ответило: "
                                          "получено 0 из 2370 байт. Прошивка в устройстве не затронута: команда "
                                          "остановилась на чтении конфигурации.")}
            << QStringList{generic};
        QTest::newRow("batch: a port answering garbage")
            << QStringList{QStringLiteral("--garbage")} << "find --all" << ExitCode::NoUnit
            << QStringList{QStringLiteral("Устройство не обнаружено! Проверены порты: 1.\nCOM1 = "),
                           QStringLiteral(": ответ не от устройства ЗОРГЕЛ: получено 24 байта"),
                           QStringLiteral("устройство не обнаружено: ответ не от устройства ЗОРГЕЛ")}
            << QStringList();
        QTest::newRow("batch: no device behind the number")
            << QStringList() << "find --all --port 3" << ExitCode::NoUnit
            << QStringList{QStringLiteral("COM3 = /dev/ttyUSB2: Error 8002, нет устройства"),
                           QStringLiteral("/tarviks/Service/ports/COM3\""),
                           QStringLiteral("COM3  —           устройство не обнаружено: нет устройства")}
            << QStringList{QStringLiteral("dialout")};
    }
    void batchFaultMessages() { faultMessages(); }

    void faultMessages()
    {
        QFETCH(QStringList, simFlags);
        QFETCH(QString, command);
        QFETCH(int, code);
        QFETCH(QStringList, said);
        QFETCH(QStringList, notSaid);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home, simFlags);
        const bool firmware = command.contains(QStringLiteral("firmware"));
        const QByteArray memoryBefore = fileBytes(unitFile(home, firmware));
        QStringList arguments = command.split(QLatin1Char(' '));
        const QString file = home.path(QStringLiteral("unit.") + (firmware ? QStringLiteral("fw") : QStringLiteral("cf")));
        if (arguments.contains(QStringLiteral("FILE")) && command.startsWith(QStringLiteral("write")))
            writeFile(file, formatted(QByteArray(written(firmware), '\x5A') + memoryBefore.mid(written(firmware)), firmware));
        const QString cf = home.path(QStringLiteral("other.cf"));
        writeFile(cf, cfFile(unitImage('\x33')));
        const QString fw = home.path(QStringLiteral("other.fw"));
        writeFile(fw, FirmwareFile::format(QByteArray(FirmwareFile::kFirmwareSize, '\x44')));
        const QString empty = home.path(QStringLiteral("empty.cf"));
        writeFile(empty, QByteArray());
        // Whole arguments only: a path put in place may itself hold "CF" or "FW".
        const QMap<QString, QString> placeholders{{QStringLiteral("FILE"), file},
                                                  {QStringLiteral("CF"), cf},
                                                  {QStringLiteral("FW"), fw},
                                                  {QStringLiteral("EMPTY"), empty},
                                                  {QStringLiteral("MISSING"), home.path(QStringLiteral("missing.fw"))},
                                                  {QStringLiteral("FOLDER"), home.dir.path()}};
        for (QString &argument : arguments)
            argument = placeholders.value(argument, argument);

        const Run result = run(home, arguments.contains(QStringLiteral("--speed")) ? arguments : arguments + fast());
        const QString shown = result.out + result.err;
        QVERIFY2(result.code == code, qPrintable(QStringLiteral("%1\n%2").arg(result.code).arg(result.err)));
        for (const QString &text : said)
            QVERIFY2(shown.contains(text), qPrintable(text + QStringLiteral("\n--- not in ---\n") + shown));
        for (const QString &text : notSaid)
            QVERIFY2(!shown.contains(text), qPrintable(text + QStringLiteral("\n--- in ---\n") + shown));
        // The reason comes once.
        const QStringList lines = result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(QSet<QString>(lines.cbegin(), lines.cend()).size(), lines.size());
        sim.stop();
        // A write that did not begin leaves the unit as it was.
        if (said.join(QString()).contains(QStringLiteral("не передавались")) || code == ExitCode::BadFile)
            QCOMPARE(fileBytes(unitFile(home, firmware)), memoryBefore);
    }

    // Two units answer and no port is given: a write refuses and names both; a read says which it took.
    void twoUnitsAndNoPort()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1"), QStringLiteral("2")}, QStringLiteral("1"));
        SimProcess first;
        START_SIM(first, home, {QStringLiteral("--name"), QStringLiteral("Склад 1")});
        SimProcess second;
        START_SIM(second, home, {QStringLiteral("--port"), QStringLiteral("2"), QStringLiteral("--name"),
                                QStringLiteral("Склад 2"), QStringLiteral("--config"), home.path(QStringLiteral("second.bin")),
                                QStringLiteral("--firmware"), home.path(QStringLiteral("second-fw.bin"))});
        const QByteArray memory = fileBytes(home.memoryFile());
        const QString file = home.path(QStringLiteral("new.cf"));
        writeFile(file, cfFile(unitImage('\x77')));

        const Run write = run(home, {QStringLiteral("write-config"), file});
        QVERIFY2(write.code == ExitCode::Usage, qPrintable(write.err));
        QVERIFY2(write.err.contains(QStringLiteral("Отвечает больше одного устройства; укажите нужное с --port N. "
                                                   "Ничего не записано.\n  COM1: Склад 1\n  COM2: Склад 2\n")),
                 qPrintable(write.err));
        QCOMPARE(fileBytes(home.memoryFile()), memory);

        const Run read = run(home, {QStringLiteral("read-config"), home.path(QStringLiteral("read.cf"))});
        QVERIFY2(read.code == ExitCode::Success, qPrintable(read.err));
        QVERIFY2(read.err.contains(QStringLiteral("Устройство обнаружено! COM1: Склад 1\n")), qPrintable(read.err));
        // Quiet, it still names the unit it used.
        const Run quiet = run(home, {QStringLiteral("read-config"), home.path(QStringLiteral("quiet.cf")), QStringLiteral("-q")});
        QVERIFY2(quiet.code == ExitCode::Success, qPrintable(quiet.err));
        QCOMPARE(quiet.err, QStringLiteral("Отвечает больше одного устройства; использовано COM1: Склад 1.\n"));

        const Run chosen = run(home, {QStringLiteral("write-config"), file, QStringLiteral("--port"), QStringLiteral("2")});
        QVERIFY2(chosen.code == ExitCode::Success, qPrintable(chosen.err));
        QCOMPARE(fileBytes(home.memoryFile()), memory);
    }

    // Right after an interrupted read the unit goes on sending; the next command waits for the line
    // to fall quiet and finds the unit at once, alone or in a batch.
    void commandAfterAnInterruptedRead_data()
    {
        QTest::addColumn<bool>("writing");   // a write interrupted, then repeated
        QTest::addColumn<QStringList>("next");
        QTest::newRow("find") << false << QStringList{QStringLiteral("find"), QStringLiteral("--port"), QStringLiteral("1")};
        QTest::newRow("find --all")
            << false << QStringList{QStringLiteral("find"), QStringLiteral("--all"), QStringLiteral("--port"), QStringLiteral("1")};
        // The unit still waits for the blocks of the write it was given, and takes "#4000" for one
        // until it gives the write up.
        QTest::newRow("the same write repeated") << true << QStringList{QStringLiteral("write-config"), QStringLiteral("FILE")};
    }
    void commandAfterAnInterruptedRead()
    {
        QFETCH(bool, writing);
        QFETCH(QStringList, next);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home);   // paced at the line's speed, 9600 baud: a reply takes about 2.5 s
        const QString file = home.path(QStringLiteral("r.cf"));
        if (writing)
            writeFile(file, cfFile(unitImage('\x21')));
        QProcess interrupted;
        start(interrupted, home, {writing ? QStringLiteral("write-config") : QStringLiteral("read-config"), file});
        QByteArray seen;
        // The second progress line: a tenth of the transfer is done.
        QVERIFY2(waitForStderr(interrupted, seen,
                               writing ? QByteArrayLiteral(" / 2368 байт\nЗапись конфигурации: ")
                                       : QByteArrayLiteral(" / 2370 байт\nЧтение конфигурации: ")),
                 seen.constData());
        QCOMPARE(interruptAndWait(interrupted), ExitCode::Interrupted);
        const Run repeat = run(home, next.replaceInStrings(QStringLiteral("FILE"), file));
        QVERIFY2(repeat.code == ExitCode::Success, qPrintable(repeat.err));
        const QString said = writing ? QStringLiteral("Записано успешно! ") : QStringLiteral("Имя устройства: ЗОРГЕЛ-GSM8T\n");
        QVERIFY2((repeat.out + repeat.err).contains(said), qPrintable(repeat.out + repeat.err));
    }

    // A port another program holds is named busy, with no word of the dialout group.
    void busyPortIsNamed()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home);
        QProcess holder;
        start(holder, home, {QStringLiteral("monitor"), QStringLiteral("--port"), QStringLiteral("1")});
        QByteArray seen;
        QVERIFY(waitForStderr(holder, seen, QByteArrayLiteral("Устройство обнаружено")));
        const Run result = run(home, {QStringLiteral("find"), QStringLiteral("--port"), QStringLiteral("1")});
        QCOMPARE(interruptAndWait(holder), ExitCode::Interrupted);
        QVERIFY2(result.code == ExitCode::NoUnit, qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral("COM1 = ")), qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral(": Error 8010, порт занят другой программой")), qPrintable(result.err));
        QVERIFY2(!result.err.contains(QStringLiteral("dialout")), qPrintable(result.err));
    }

    void lineDroppedMidTransfer_data()
    {
        QTest::addColumn<bool>("firmware");
        QTest::addColumn<bool>("reading");
        QTest::addColumn<int>("closeAfter");   // bytes the unit sends before its line goes
        // 24 bytes answer the identification, a firmware transfer reads the configuration (2370)
        // first, and a write gets "OK" (2 bytes) per block.
        QTest::newRow("configuration read") << false << true << 24 + 1000;
        QTest::newRow("configuration write") << false << false << 24 + 2 + 2 * 10;
        QTest::newRow("firmware read") << true << true << 24 + 2370 + 20000;
        QTest::newRow("firmware write") << true << false << 24 + 2370 + 2 + 2 * 100;
    }

    void lineDroppedMidTransfer()
    {
        QFETCH(bool, firmware);
        QFETCH(bool, reading);
        QFETCH(int, closeAfter);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home, {QStringLiteral("--close-after"), QString::number(closeAfter)});
        const QByteArray memory = fileBytes(unitFile(home, firmware));
        const QString file = home.path(QStringLiteral("unit"));
        const QByteArray fileBefore = formatted(QByteArray(written(firmware), '\x44') + memory.mid(written(firmware)), firmware);
        writeFile(file, fileBefore);

        const QString command = reading ? kind(firmware).read : kind(firmware).write;
        const Run result = run(home, QStringList{command, file} + fast());
        QVERIFY2(result.code == ExitCode::TransferFailed, qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral("Связь с устройством потеряна")), qPrintable(result.err));
        // Nothing is lost: the file keeps its content, the unit what it held.
        QCOMPARE(fileBytes(file), fileBefore);
        QVERIFY(sim.waitForExit());
        QCOMPARE(fileBytes(unitFile(home, firmware)), memory);
    }

    // A unit behind a USB adapter: the line end after each "OK" comes 10 ms later, in a read of its own.
    void writeWhenLineEndsComeApart()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home, {QStringLiteral("--split-crlf"), QStringLiteral("10")});
        const QByteArray before = fileBytes(home.memoryFile());
        QByteArray wanted = before;
        for (int i = 0; i < 2368; i += 7)
            wanted[i] = char(wanted.at(i) ^ 0x3C);
        const QString source = home.path(QStringLiteral("new.cf"));
        writeFile(source, cfFile(wanted));

        const Run result = run(home, {QStringLiteral("write-config"), source});
        QVERIFY2(result.code == ExitCode::Success, qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral("Записано успешно! ")), qPrintable(result.err));
        sim.stop();
        QCOMPARE(fileBytes(home.memoryFile()), wanted.left(2368) + before.mid(2368));
    }

    // A line that streams on after the reply: a read fails as soon as more than the reply has come,
    // the earlier file is kept; a write whose line never falls silent ends once more than 1 KiB has
    // come without an "OK".
    void lineThatStreamsOn_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<QString>("message");
        const QString endless = QStringLiteral("100000000000");
        QTest::newRow("configuration read")
            << "read-config" << QStringList{QStringLiteral("--stream-after"), endless, QStringLiteral("--only"), QStringLiteral("#6000")}
            << QStringLiteral("Ошибка при чтении! Ответ устройства длиннее ожидаемого: получено ");
        QTest::newRow("configuration write, NULs without end after the go-ahead")
            << "write-config"
            << QStringList{QStringLiteral("--stream-after"), endless, QStringLiteral("--stream-byte"), QStringLiteral("0"),
                           QStringLiteral("--only"), QStringLiteral("#6001")}
            << QStringLiteral("Ошибка загрузки! Устройство передаёт посторонние данные вместо подтверждения \"OK\"!\n"
                              "Конфигурация в устройстве может быть записана не полностью, повторите запись.");
    }
    void lineThatStreamsOn()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, simArguments);
        QFETCH(QString, message);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home, simArguments);
        const QByteArray memory = fileBytes(home.memoryFile());
        const QString file = home.path(QStringLiteral("unit.cf"));
        const QByteArray fileBefore = cfFile(unitImage('\x66'));
        writeFile(file, fileBefore);

        // Without an end of its own the run would not finish within the bound.
        const Run result = run(home, QStringList{command, file} + fast());
        QVERIFY2(result.code == ExitCode::TransferFailed, qPrintable(QStringLiteral("%1: %2").arg(result.code).arg(result.err)));
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(fileBytes(file), fileBefore);
        QCOMPARE(QDir(home.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("unit.cf")});
        sim.stop();
        QCOMPARE(fileBytes(home.memoryFile()), memory);
    }

    void ctrlCStopsCleanly_data()
    {
        QTest::addColumn<bool>("firmware");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<QByteArray>("progress");
        QTest::addColumn<QString>("state");
        // A slow line keeps the transfer going long enough to be interrupted.
        QTest::newRow("configuration read") << false << "read-config" << QStringList{QStringLiteral("--baud"), QStringLiteral("1200")}
                              << QByteArray("Чтение конфигурации: ")
                              << QStringLiteral("не изменён. Устройство может ещё некоторое время передавать остаток данных.");
        QTest::newRow("configuration write") << false << "write-config" << QStringList{QStringLiteral("--baud"), QStringLiteral("2400")}
                               << QByteArray("Запись конфигурации: 256 / 2368")
                               << QStringLiteral("Передано 256 из 2368 байт: конфигурация в устройстве может быть "
                                                 "записана не полностью, повторите запись.");
        QTest::newRow("firmware write") << true << "write-firmware" << QStringList() << QByteArray("Запись прошивки: 6272 / ")
                                        << QStringLiteral("из 62720 байт. Запись прошивки не завершена: устройство может "
                                                          "остаться без работающей прошивки!");
    }

    void ctrlCStopsCleanly()
    {
        QFETCH(bool, firmware);
        QFETCH(QString, command);
        QFETCH(QStringList, simArguments);
        QFETCH(QByteArray, progress);
        QFETCH(QString, state);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home, simArguments);
        const QByteArray memory = fileBytes(unitFile(home, firmware));
        const QString file = home.path(QStringLiteral("unit"));
        const QByteArray fileBefore = formatted(QByteArray(written(firmware), '\x55') + memory.mid(written(firmware)), firmware);
        writeFile(file, fileBefore);

        QProcess process;
        // The firmware row runs at the line's own (fast) speed; the sim's --baud paces the others.
        start(process, home, QStringList{command, file} + (firmware ? fast() : QStringList()));
        QByteArray seen;
        QVERIFY2(waitForStderr(process, seen, progress), seen.constData());
        QCOMPARE(interruptAndWait(process), int(ExitCode::Interrupted));
        seen += process.readAllStandardError();
        const QString err = QString::fromUtf8(seen);
        QVERIFY2(err.contains(QStringLiteral("Прервано: ")) && err.contains(state), qPrintable(err));
        QCOMPARE(fileBytes(file), fileBefore);
        QCOMPARE(QDir(home.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("unit")});
        // The unit never completed the write, so it keeps what it held.
        sim.stop();
        QCOMPARE(fileBytes(unitFile(home, firmware)), memory);
    }

    void monitorPrintsOneLinePerFrame_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::newRow("text") << false;
        QTest::newRow("csv") << true;
    }

    void monitorPrintsOneLinePerFrame()
    {
        QFETCH(bool, csv);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home);
        QStringList args{QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("2"),
                         QStringLiteral("--period"), QStringLiteral("0.5")};
        if (csv)
            args << QStringLiteral("--csv");
        // A journal that could never be saved is refused before the first poll; a good one is the
        // window's spreadsheet export (its format is pinned in the journal's own tests).
        const QString journal = home.path(QStringLiteral("journal.csv"));
        if (!csv) {
            const Run refused = run(home, QStringList(args) << QStringLiteral("--journal") << home.path(QStringLiteral("no/j.csv")));
            QCOMPARE(refused.code, ExitCode::BadFile);
            QVERIFY2(refused.err.contains(QStringLiteral("Мониторинг не начат.")) && refused.out.isEmpty(),
                     qPrintable(refused.err + refused.out));
            args << QStringLiteral("--journal") << journal;
        }
        const Run result = run(home, args);
        if (!csv)
            QVERIFY(fileBytes(journal).startsWith("\xEF\xBB\xBF") && fileBytes(journal).count("\r\n") >= 2);
        QVERIFY2(result.code == ExitCode::Success, qPrintable(result.err));
        const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        // The simulated unit alternates measurement and sensor frames, measurement first.
        if (csv) {
            QCOMPARE(lines.size(), 3);
            QVERIFY2(lines.at(0).startsWith(QStringLiteral("Время,Вход 1 Вольт,Вход 1 %,Вход 1 Сост.")), qPrintable(lines.at(0)));
            QCOMPARE(lines.at(1).count(QLatin1Char(',')), lines.at(0).count(QLatin1Char(',')));
            // A row per measurement frame: the first has no sensor readings yet, the second carries
            // those of the sensor frame between them.
            const qsizetype t1 = lines.at(0).split(QLatin1Char(',')).indexOf(QStringLiteral("T1"));
            QVERIFY(t1 > 0);
            const auto sensors = [t1](const QString &row) { return row.split(QLatin1Char(',')).mid(t1).join(QString()); };
            QVERIFY2(sensors(lines.at(1)).trimmed().isEmpty(), qPrintable(lines.at(1)));
            QVERIFY2(!sensors(lines.at(2)).trimmed().isEmpty(), qPrintable(lines.at(2)));
        } else {
            QCOMPARE(lines.size(), 2);
            QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  1: \\d+\\.\\d\\d В \\d+% [HLn]"))
                         .match(lines.at(0)).hasMatch(), qPrintable(lines.at(0)));
            QVERIFY2(lines.at(0).contains(QStringLiteral("Акк: ")), qPrintable(lines.at(0)));
            QVERIFY2(lines.at(1).contains(QStringLiteral("  T1=")), qPrintable(lines.at(1)));
        }
    }

    // The commissioning report of a unit, read as a reader of the PDF gets its text: the unit as find
    // names it, its settings as the pages show them, today's date, at most eight pages.
    void reportOfTheUnit()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext is not installed (scripts/install-deps.sh installs poppler-utils)");
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home, {QStringLiteral("--name"), QStringLiteral("Котельная 2")});
        const Run found = run(home, {QStringLiteral("find"), QStringLiteral("--json")});
        QVERIFY2(found.code == ExitCode::Success, qPrintable(found.err));
        const QJsonObject unit = QJsonDocument::fromJson(found.out.toUtf8()).array().at(0).toObject();

        const QString pdf = home.path(QStringLiteral("отчёт.pdf"));
        const Run report = run(home, {QStringLiteral("report"), pdf, QStringLiteral("--port"), QStringLiteral("1")});
        QVERIFY2(report.code == ExitCode::Success, qPrintable(report.err));
        QProcess extract;
        extract.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(extract.waitForFinished(kTimeoutMs));
        const QString text = QString::fromUtf8(extract.readAllStandardOutput());

        for (const char *key : {"name", "imei", "model", "coreVersion", "firmwareVersion"}) {
            const QString value = unit.value(QLatin1String(key)).toString();
            QVERIFY2(!value.isEmpty() && text.contains(value), key);
        }
        QVERIFY(text.contains(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
        const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Страница 1 из (\\d+)")).match(text);
        QVERIFY2(pages.hasMatch() && pages.captured(1).toInt() <= 8, qPrintable(text.right(200)));
        // Fields with short values, each beside its name as the pages show them.
        ConfigImage image;
        const QByteArray memory = fileBytes(home.memoryFile());
        image.setBytes(1, memory.constData(), memory.size());
        for (const ConfigFields::Value &v : ConfigFields(image).values()) {
            if (!QStringList{QStringLiteral("00 SMS"), QStringLiteral("Parol"), QStringLiteral("T1 Верхняя (H)"),
                             QStringLiteral("Вход 1 Верхний (H)")}.contains(v.field->name))
                continue;
            const QRegularExpression beside(QRegularExpression::escape(v.field->name) + QStringLiteral("\\s+")
                                            + QRegularExpression::escape(v.text));
            QVERIFY2(beside.match(text).hasMatch(), qPrintable(v.field->name + QLatin1Char('=') + v.text));
        }
        QVERIFY(text.contains(QStringLiteral("Установщик")) && text.contains(QStringLiteral("Заказчик")));
    }

    void monitorEndsOnCtrlC()
    {
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home);
        QProcess process;
        start(process, home, {QStringLiteral("monitor"), QStringLiteral("--period"), QStringLiteral("0.5")});
        process.setReadChannel(QProcess::StandardOutput);
        QDeadlineTimer deadline(kTimeoutMs);
        while (!process.canReadLine() && process.state() != QProcess::NotRunning && !deadline.hasExpired())
            process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        QVERIFY2(process.canReadLine(), process.readAllStandardError().constData());
        // Ctrl+C is 130 with or without --count, so a script tells it from a monitor that ended.
        QCOMPARE(interruptAndWait(process), int(ExitCode::Interrupted));
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("Мониторинг остановлен.")));
    }

    // A closed terminal or a kill: the journal holds a row for every measurement frame shown.
    void monitorJournalOutlivesTheRun_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("code");   // -1: killed
        QTest::newRow("SIGHUP") << int(SIGHUP) << int(ExitCode::Interrupted);
        QTest::newRow("SIGKILL") << int(SIGKILL) << -1;
    }
    void monitorJournalOutlivesTheRun()
    {
        QFETCH(int, signal);
        QFETCH(int, code);
        Home home;
        writeSettings(home, {QStringLiteral("1")}, QStringLiteral("1"));
        SimProcess sim;
        START_SIM(sim, home);
        const QString journal = home.path(QStringLiteral("journal.csv"));
        QProcess process;
        start(process, home, {"monitor", "--period", "0.5", "--journal", journal});
        QByteArray shown;
        QDeadlineTimer deadline(kTimeoutMs);
        while (shown.count("Акк: ") < 3 && process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
            shown += process.readAllStandardOutput();
        }
        QVERIFY(shown.count("Акк: ") >= 3 && process.processId() > 0);
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(kTimeoutMs));
        shown += process.readAllStandardOutput();
        QCOMPARE(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, code);
        QVERIFY2(fileBytes(journal).count("\r\n") - 1 >= shown.count("Акк: "), fileBytes(journal).constData());
    }
};

QTEST_GUILESS_MAIN(TestCliE2e)
#include "tst_cli_e2e.moc"
