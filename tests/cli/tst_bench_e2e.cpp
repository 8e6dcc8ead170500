#include <QtTest>
#include "SimDefaults.h"
#include "SimProcess.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "editors/ConfigFields.h"
#include "link/Cp1251.h"
#include "unit/ExitCode.h"
#include <memory>

// tarviks-cli bench as an installer runs it: two units plugged in at once, unplugged, then a unit of
// another model on the first port; the run ends by itself after --count 3.
class TestBenchE2e : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 60000;
    static constexpr int kImeiOffset = 2352;

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    static QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray unitMemory(const QByteArray &imei, const QByteArray &model)
    {
        QByteArray image = SimDefaults::image();
        image.replace(kImeiOffset, 15, imei);
        image.replace(ConfigImage::kMemorySize, 2, model);
        return image;
    }

private slots:
    void twoUnitsThenAnotherModel()
    {
        QTemporaryDir home;
        const QString folder = home.path() + QStringLiteral("/tarviks");
        QDir().mkpath(folder + QStringLiteral("/Service"));
        writeFile(folder + QStringLiteral("/Service/TX.cfg"),
                  Cp1251::encode(QStringLiteral("Доступный номер порта:1\r\nДоступный номер порта:2\r\nДоступная "
                                                "скорость порта:115200\r\nАкт индекс скорости:1\r\n")));
        const QByteArray gsm8t("\x08\x02", 2);
        const QList<QByteArray> imeis{"356938035643811", "356938035643829", "356938035643837"};
        for (int n = 0; n < 3; ++n)
            writeFile(home.filePath(QStringLiteral("unit%1.bin").arg(n)),
                      unitMemory(imeis.at(n), n < 2 ? gsm8t : QByteArray("\x04\x02", 2)));
        // The template: another IMEI, a number of its own.
        ConfigImage templateImage;
        const QByteArray templateBytes = unitMemory("111111111111111", gsm8t);
        templateImage.setBytes(1, templateBytes.constData(), templateBytes.size());
        QVERIFY(ConfigFields(templateImage).set({{QStringLiteral("PARTNER1"), QStringLiteral("+79990000000")}}).isEmpty());
        writeFile(home.filePath(QStringLiteral("site.cf")), ConfigFiles::formatImage(templateImage));
        // As a spreadsheet saves it in a Russian locale.
        writeFile(home.filePath(QStringLiteral("UNITS.csv")),
                  "\xEF\xBB\xBFIMEI;Вход 1\r\n356938035643811;Ворота\r\n356938035643829;\"Окно; дверь\"\r\n");

        std::vector<std::unique_ptr<SimProcess>> sims;
        const auto plug = [&](int unit, int port) {
            sims.push_back(std::make_unique<SimProcess>());
            QVERIFY2(sims.back()->start(folder, {QStringLiteral("--port"), QString::number(port), QStringLiteral("--config"),
                                                 home.filePath(QStringLiteral("unit%1.bin").arg(unit))}),
                     qPrintable(sims.back()->errorText()));
        };
        plug(0, 1);
        plug(1, 2);
        QProcess bench;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        bench.setProcessEnvironment(env);
        bench.setWorkingDirectory(home.path());
        bench.start(QFileInfo(SimProcess::executable()).absolutePath() + QStringLiteral("/tarviks-cli"),
                    {QStringLiteral("bench"), QStringLiteral("site.cf"), QStringLiteral("--fields"), QStringLiteral("UNITS.csv"),
                     QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--log"), QStringLiteral("BENCH.csv")});
        QByteArray out;
        QDeadlineTimer deadline(kTimeoutMs);
        while (out.count("отключите устройство") < 2 && bench.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            bench.waitForReadyRead(100);
            out += bench.readAllStandardOutput();
        }
        QCOMPARE(out.count("записано и проверено"), 2);
        sims.at(0)->stop();
        sims.at(1)->stop();
        plug(2, 1);
        QVERIFY(bench.waitForFinished(kTimeoutMs));
        out += bench.readAllStandardOutput();
        QCOMPARE(bench.exitCode(), int(ExitCode::BadFile));
        QVERIFY2(out.contains("IMEI 356938035643837: отказ: другая модель"), out.constData());
        QVERIFY(out.endsWith("Итог: записано и проверено 2, отказано 1, с ошибкой 0.\n"));

        const QStringList inputs{QStringLiteral("Ворота"), QStringLiteral("Окно; дверь")};
        for (int n = 0; n < 2; ++n) {
            const QByteArray memory = fileBytes(home.filePath(QStringLiteral("unit%1.bin").arg(n)));
            QCOMPARE(memory.mid(kImeiOffset, 15), imeis.at(n));
            QVERIFY(memory.contains(Cp1251::encode(inputs.at(n))) && memory.contains("+79990000000"));
        }
        QCOMPARE(fileBytes(home.filePath(QStringLiteral("unit2.bin"))), unitMemory(imeis.at(2), QByteArray("\x04\x02", 2)));
        const QList<QByteArray> rows = fileBytes(home.filePath(QStringLiteral("BENCH.csv"))).trimmed().split('\n');
        QCOMPARE(rows.size(), 4);
        QVERIFY2(rows.at(3).contains("356938035643837") && rows.at(3).contains("а устройство — ЗОРГЕЛ-GSM4T"),
                 rows.at(3).constData());
    }
};

QTEST_GUILESS_MAIN(TestBenchE2e)
#include "tst_bench_e2e.moc"
