#include "SessionSeams.h"
#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "config/ConfigImage.h"
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include "unit/BenchJob.h"
#include "unit/BenchLog.h"
#include "unit/BenchRun.h"
#include "unit/ExitCode.h"
#include "unit/IdentifyJob.h"
#include "unit/UnitMessages.h"
#include "unit/UnitsTable.h"

namespace {

constexpr int kImeiOffset = 2352;   // cells 2353 … 2367
const QByteArray kUnitImei = QByteArrayLiteral("356938035643809");

// One unit on the simulator's loopback port, every poll 50 ms of the line.
struct BenchRig : SessionSeams {
    UnitMessages said;
    SimCore core;
    SimLoopbackPort port{core, 1};
    UnitSession unit{folder.path(), &port, UnitSession::Borrowed{settings, said, dialogs, clock}};

    BenchRig(const QByteArray &image, const SimFaults &faults) : core(image, SimDefaults::firmware(), faults)
    {
        unit.start(false);
    }
    void run(UnitJob &job, IdentifyJob *drain = nullptr)
    {
        job.start();
        QCoreApplication::sendPostedEvents();
        for (int polls = 0; polls < 20000 && !job.done(); ++polls) {
            port.advance(SerialLink::kPollMs);
            if (unit.link().pollTimer().isActive())
                unit.link().receiveTick();
            if (drain)
                drain->poll();
            QCoreApplication::sendPostedEvents();
        }
        QVERIFY(job.done());
    }
};

ConfigImage imageOf(const QByteArray &bytes)
{
    ConfigImage image;
    image.setBytes(1, bytes.constData(), bytes.size());
    return image;
}

} // namespace

Q_DECLARE_METATYPE(SimFaults)
Q_DECLARE_METATYPE(BenchJob::Outcome)

// The bench: UNITS.csv as spreadsheets save it, a unit's job on the simulated unit, the run's status
// and the log's rows.
class TestBench : public QObject {
    Q_OBJECT

private slots:
    void unitsTable_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("problems");
        QTest::addColumn<QString>("input1");   // what the row of 356938035643809 stores in "Вход 1"; "": nothing
        const QStringList none;
        QTest::newRow("a spreadsheet's export: BOM, \";\", CR LF, a blank row")
            << QByteArray("\xEF\xBB\xBFIMEI;Вход 1;Syrena\r\n356938035643809;Ворота;да\r\n;;\r\n") << none
            << QStringLiteral("Ворота");
        QTest::newRow("\",\" without BOM, a quoted cell holding the separator and a quote")
            << QByteArray("IMEI,Вход 1\n356938035643809,\"Окно, \"\"А\"\"\"\n") << none
            << QStringLiteral("Окно, \"А\"");
        QTest::newRow("an empty cell keeps the template's value")
            << QByteArray("IMEI;Вход 1\r\n356938035643809;\r\n") << none << QString();
        QTest::newRow("unknown column")
            << QByteArray("IMEI;Вход 1;Сирена\r\n")
            << QStringList{QStringLiteral("UNITS.csv, строка 1, столбец «Сирена»: нет такого поля; имена полей — как "
                                          "их печатает show --names.")}
            << QString();
        QTest::newRow("a value the page refuses, and an IMEI a spreadsheet rounded")
            << QByteArray("IMEI;T1 Верхняя (H)\r\n356938035643809;500\r\n3,56938E+14;\r\n")
            << QStringList{QStringLiteral("UNITS.csv, строка 2, столбец «T1 Верхняя (H)»: значение «500» не принято — "
                                          "целое число градусов от -99 до 99."),
                           QStringLiteral("UNITS.csv, строка 3, столбец «IMEI»: «3,56938E+14» — нужно 15 цифр.")}
            << QString();
        QTest::newRow("a repeated IMEI, also after a refused row")
            << QByteArray("IMEI,Syrena\n356938035643809,может\n356938035643809,1\n")
            << QStringList{QStringLiteral("UNITS.csv, строка 2, столбец «Syrena»: значение «может» не принято — 1 или 0 "
                                          "(да или нет)."),
                           QStringLiteral("UNITS.csv, строка 3, столбец «IMEI»: IMEI 356938035643809 уже есть в строке 2.")}
            << QString();
        QTest::newRow("a header without IMEI first")
            << QByteArray("Вход 1;IMEI\r\n")
            << QStringList{QStringLiteral("UNITS.csv, строка 1, столбец «Вход 1»: первый столбец заголовка — «IMEI».")}
            << QString();
        QTest::newRow("not UTF-8 (Windows-1251)")
            << QByteArray("IMEI;\xC2\xF5\xEE\xE4 1\r\n")
            << QStringList{QStringLiteral("UNITS.csv: не текст UTF-8. Сохраните таблицу как «CSV UTF-8».")} << QString();
    }
    void unitsTable()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, problems);
        QFETCH(QString, input1);
        const ConfigImage templateImage = imageOf(SimDefaults::image());
        QStringList found;
        const UnitsTable table = UnitsTable::parse(file, templateImage, &found);
        QCOMPARE(found, problems);
        if (!problems.isEmpty())
            return;
        const auto *row = table.row(QString::fromLatin1(kUnitImei));
        QVERIFY(row);
        QCOMPARE(row->isEmpty() ? QString() : row->first().second, input1);
    }

    // Each unit: read, model and row checked, written with its own IMEI, read back.
    void benchJob_data()
    {
        QTest::addColumn<QByteArray>("unitTail");
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<bool>("served");
        QTest::addColumn<QByteArray>("rows");   // UNITS.csv
        QTest::addColumn<BenchJob::Outcome>("outcome");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const QByteArray gsm8t("\x08\x02", 2);
        const QByteArray row = QByteArrayLiteral("IMEI;Вход 1\r\n356938035643809;Ворота\r\n");
        using O = BenchJob::Outcome;
        QTest::newRow("its row applied, its IMEI kept, read back")
            << gsm8t << SimFaults{} << false << row << O::Written << int(ExitCode::Success)
            << QStringLiteral("Записано и проверено.");
        QTest::newRow("another model: not written")
            << QByteArray("\x04\x02", 2) << SimFaults{} << false << row << O::Refused << int(ExitCode::BadFile)
            << QStringLiteral("Конфигурация предназначена для модели ЗОРГЕЛ-GSM8T, а устройство — ЗОРГЕЛ-GSM4T. "
                              "Не записано.");
        QTest::newRow("no row for its IMEI: not written")
            << gsm8t << SimFaults{} << false << QByteArray("IMEI;Вход 1\r\n356938035643811;Ворота\r\n") << O::Refused
            << int(ExitCode::BadFile) << QStringLiteral("нет строки для IMEI 356938035643809 в UNITS.csv: не записано.");
        QTest::newRow("served before in this run: not written again")
            << gsm8t << SimFaults{} << true << row << O::AlreadyDone << int(ExitCode::Success)
            << QStringLiteral("уже настроено");
        SimFaults flip;
        flip.flipOnWrite = 100;
        QTest::newRow("read back differs")
            << gsm8t << flip << false << row << O::Failed << int(ExitCode::VerifyMismatch)
            << QStringLiteral("Проверка не пройдена");
    }
    void benchJob()
    {
        QFETCH(QByteArray, unitTail);
        QFETCH(SimFaults, faults);
        QFETCH(bool, served);
        QFETCH(QByteArray, rows);
        QFETCH(BenchJob::Outcome, outcome);
        QFETCH(int, code);
        QFETCH(QString, text);
        const QByteArray before = SimDefaults::image().left(ConfigImage::kMemorySize) + unitTail;
        BenchRig rig(before, faults);
        IdentifyJob identify(rig.unit, rig.said, 1);
        identify.setManualPacing(true);
        rig.run(identify, &identify);
        QCOMPARE(identify.result().code, int(ExitCode::Success));

        // The template: another unit's IMEI, a text of its own, the 8T model.
        QByteArray templateBytes = SimDefaults::image();
        templateBytes.replace(kImeiOffset, 15, QByteArrayLiteral("111111111111111"));
        ConfigImage templateImage = imageOf(templateBytes);
        QVERIFY(ConfigFields(templateImage).set({{QStringLiteral("PARTNER1"), QStringLiteral("+79990000000")}}).isEmpty());
        QStringList problems;
        const UnitsTable table = UnitsTable::parse(rows, templateImage, &problems);
        QVERIFY(problems.isEmpty());
        BenchJob job(rig.unit, rig.said,
                     {templateImage, templateBytes.right(2), &table,
                      [served](const QString &imei) { return served && imei == QLatin1String(kUnitImei); }});
        rig.run(job);
        QCOMPARE(job.outcome(), outcome);
        QCOMPARE(job.result().code, code);
        QVERIFY2(job.result().text.startsWith(text), qPrintable(job.result().text));
        QCOMPARE(job.imei(), QString::fromLatin1(kUnitImei));
        const QByteArray memory = rig.core.image();
        if (outcome == BenchJob::Outcome::Refused || outcome == BenchJob::Outcome::AlreadyDone) {
            QCOMPARE(memory, before);
            return;
        }
        QCOMPARE(memory.mid(kImeiOffset, 15), kUnitImei);
        QVERIFY(memory.contains("+79990000000") && memory.contains(Cp1251::encode(QStringLiteral("Ворота"))));
        // The unit's configuration before the write is kept.
        QVERIFY2(job.copy().endsWith(QStringLiteral("до записи.cf")) && QFileInfo::exists(job.copy()),
                 qPrintable(job.copy()));
    }

    // The run's status: 0 only when every unit was written and checked; else the worst; --count.
    void runStatus_data()
    {
        QTest::addColumn<QList<int>>("outcomes");   // BenchJob::Outcome, code, in turn
        QTest::addColumn<bool>("interrupted");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("summary");
        using O = BenchJob::Outcome;
        QTest::newRow("two written, one of another model")
            << QList<int>{int(O::Written), 0, int(O::Written), 0, int(O::Refused), 4} << false << 4
            << QStringLiteral("Итог: записано и проверено 2, отказано 1, с ошибкой 0.");
        QTest::newRow("a unit served again counts for nothing; a mismatch, a lost line")
            << QList<int>{int(O::Failed), 6, int(O::AlreadyDone), 0, int(O::Failed), 5, int(O::Written), 0} << false << 6
            << QStringLiteral("Итог: записано и проверено 1, отказано 0, с ошибкой 2.");
        QTest::newRow("Ctrl+C before any unit") << QList<int>{} << true << 130
                                                << QStringLiteral("Итог: записано и проверено 0, отказано 0, с ошибкой 0.");
    }
    void runStatus()
    {
        QFETCH(QList<int>, outcomes);
        QFETCH(bool, interrupted);
        QFETCH(int, status);
        QFETCH(QString, summary);
        BenchRun run(3);
        int counted = 0;
        for (int i = 0; i + 1 < outcomes.size(); i += 2) {
            QVERIFY(run.mayBegin());
            run.began();
            run.ended(BenchJob::Outcome(outcomes.at(i)), outcomes.at(i + 1), QStringLiteral("35693803564380%1").arg(i));
            counted += outcomes.at(i) != int(BenchJob::Outcome::AlreadyDone);
            QCOMPARE(run.complete(), counted >= 3);
        }
        QCOMPARE(run.exitStatus(interrupted), status);
        QCOMPARE(run.summary(), summary);
    }

    // BENCH.csv as the journal writes for a spreadsheet, the header once; what a unit sends is never
    // a formula nor a raw control character.
    void logRows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("BENCH.csv"));
        BenchLog log(path, MonitorJournal::spreadsheetFormat(QLocale(QStringLiteral("ru_RU"))));
        const BenchLog::Entry entry{QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3)), 3, QStringLiteral("=Склад; 1\x1B"),
                                    QString::fromLatin1(kUnitImei), QStringLiteral("ЗОРГЕЛ-GSM8T"),
                                    QStringLiteral("отказ: другая модель"), QStringLiteral("Другая модель."), QString(), 3.5};
        QVERIFY(log.append(entry) && log.append(entry));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(0).startsWith("\xEF\xBB\xBF\xD0\x94\xD0\xB0\xD1\x82\xD0\xB0;"));   // BOM, "Дата;"
        QCOMPARE(QString::fromUtf8(lines.at(1)),
                 QStringLiteral("2026-12-07;09:05:03;COM3;\"'=Склад; 1\\x1B\";356938035643809;ЗОРГЕЛ-GSM8T;отказ: другая "
                                "модель;Другая модель.;;3,5\r"));
        QCOMPARE(lines.at(2), lines.at(1));
    }
};

QTEST_GUILESS_MAIN(TestBench)
#include "tst_bench.moc"
