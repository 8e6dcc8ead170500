#include <QtTest>
#include <QPushButton>
#include "SimProcess.h"
#include "TestSeams.h"
#include "app/TarviksApp.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigImage.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "monitor/MonitorExchange.h"
#include "shell/MainWindow.h"
#include "shell/Page.h"

// The real program against zorgel-sim whose line disappears (the simulator closes its
// pseudo-terminal) while idle and in the middle of each exchange. Every time the program must say
// so, never report success, leave any file it was replacing as it was, free the link, and find the
// unit again by automatic search once the simulator is back on the same port.
class TestE2eUnplug : public QObject {
    Q_OBJECT

    static constexpr int kTimeoutMs = 90000;   // generous: a busy machine slows the programs, not the checks
    // What the unit sends for one identification.
    static constexpr int kIdentifyReply = 24;

    enum Exchange { Identification, Idle, ConfigRead, ConfigWrite, ConfigCopy, FirmwareWrite, FirmwareCopy, Monitoring };

    struct Program {
        RecordingMessageSink messages;
        ScriptedFileDialogs dialogs;
        FixedClock clock;
        // Every new text of the status strip's connection, operation and byte counter, in order (kept
        // until the program is gone).
        QStringList shown;
        QString connection, operation, counter;
        TarviksApp app;

        explicit Program(const QString &folder) : app(AppSetup{folder, nullptr, &messages, &dialogs, &clock})
        {
            QObject::connect(&app.status(), &StatusModel::changed, &app, [this] {
                for (auto [last, now] : {std::pair{&connection, app.status().connection()},
                                         std::pair{&operation, app.status().operation()},
                                         std::pair{&counter, app.status().counter()}}) {
                    if (*last != now)
                        shown << (*last = now);
                }
            });
            app.window().show();
            app.startUp();
        }
    };

    // Search at start and on loss of connection on; no read on detection.
    static void writeSettings(const QString &folder, const QString &port)
    {
        const QStringList lines{QStringLiteral("Доступный номер порта:") + port,
                                QStringLiteral("Доступная скорость порта:115200"),
                                QStringLiteral("Акт индекс номера порта:") + port,
                                QStringLiteral("Акт индекс скорости:1"),
                                QStringLiteral("Акт индекс контр передачи:1"),
                                QStringLiteral("RPF_19.Check1:1"),
                                QStringLiteral("RPF_19.Check2:0"),
                                QStringLiteral("RPF_19.Check3:0"),
                                QStringLiteral("RPF_19.Check4:0"),
                                QStringLiteral("RPF_19.Check5:1")};
        QDir(folder).mkpath(QStringLiteral("Service"));
        QFile file(folder + QStringLiteral("/Service/TX.cfg"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    }

    static QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    static QStringList filesIn(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private slots:
    void adapterPulled_data()
    {
        QTest::addColumn<int>("exchange");
        // Bytes the unit sends before its line goes; -1: the simulator is stopped while idle.
        QTest::addColumn<int>("closeAfter");
        // A text the status strip shows only while the exchange runs.
        QTest::addColumn<QString>("underWay");
        // The failure the strip then shows, with a message that the line was lost; empty: none.
        QTest::addColumn<QString>("ended");
        const auto counting = [](int total) { return QStringLiteral("^[1-9][0-9]* / %1 байт$").arg(total); };
        // The line goes in the middle of the unit's first answer: it is never found on this line.
        QTest::newRow("identification") << int(Identification) << kIdentifyReply / 2 << QString() << QString();
        QTest::newRow("idle") << int(Idle) << -1 << QString() << QString();
        QTest::newRow("configuration read") << int(ConfigRead) << kIdentifyReply + 1000 << counting(2370)
                                            << QStringLiteral("Ошибка при чтении!");
        // The write reads the unit first: the line goes on the tenth block after that.
        QTest::newRow("configuration write") << int(ConfigWrite) << kIdentifyReply + ConfigImage::kImageSize + 2 * 10
                                             << counting(2368)
                                             << QStringLiteral("Ошибка при записи!");
        QTest::newRow("configuration copy to file") << int(ConfigCopy) << kIdentifyReply + 1500 << counting(2370)
                                                    << QStringLiteral("Ошибка при сохранении!");
        QTest::newRow("firmware write") << int(FirmwareWrite) << kIdentifyReply + 2 * 40 << counting(62720)
                                        << QStringLiteral("Ошибка при записи!");
        QTest::newRow("firmware copy to file") << int(FirmwareCopy) << kIdentifyReply + 30000 << counting(62720)
                                               << QStringLiteral("Ошибка при сохранении!");
        // Monitoring first reads the configuration for the model, then polls: five frames, then a part of one.
        // A frame's counter shows it under way: the operation text is sampled at the 200 ms tick and a
        // frame may come and go between two ticks.
        QTest::newRow("monitoring") << int(Monitoring) << kIdentifyReply + ConfigImage::kImageSize + 64 * 5 + 20
                                    << counting(64) << QString();
    }

    void adapterPulled()
    {
        QFETCH(int, exchange);
        QFETCH(int, closeAfter);
        QFETCH(QString, underWay);
        QFETCH(QString, ended);
        const QString port = QStringLiteral("5");
        QTemporaryDir folder;
        QTemporaryDir files;
        writeSettings(folder.path(), port);
        SimProcess sim;
        QStringList arguments{QStringLiteral("--port"), port};
        if (closeAfter >= 0)
            arguments << QStringLiteral("--close-after") << QString::number(closeAfter);
        QVERIFY2(sim.start(folder.path(), arguments), qPrintable(sim.errorText()));
        const QString unitMemoryFile = folder.path() + QStringLiteral("/Service/zorgel-config.bin");
        const QByteArray unitMemory = fileBytes(unitMemoryFile);

        Program program(folder.path());
        TarviksApp &app = program.app;
        if (exchange != Identification) {
            QTRY_COMPARE_WITH_TIMEOUT(app.status().operation(), QStringLiteral("Устройство обнаружено!"), kTimeoutMs);
            QCOMPARE(app.status().connection(), StatusModel::kActive);
        }
        const int identified = app.link().identificationCount();

        // A good file of the kind the exchange would replace.
        const QString target = files.filePath(exchange == FirmwareCopy ? QStringLiteral("unit.fw") : QStringLiteral("unit.cf"));
        const QByteArray good = QByteArrayLiteral("a file the user keeps\r\n");
        writeFile(target, good);
        const QString firmwareFile = folder.path() + QStringLiteral("/new.fw");
        writeFile(firmwareFile, FirmwareFile::format(QByteArray(FirmwareFile::kFirmwareSize, char(0x5A))));

        program.shown.clear();
        Page *configPage = app.page(QStringLiteral("RPF_17"));
        switch (Exchange(exchange)) {
        case Identification:
            break;
        case Idle:
            sim.stop();
            break;
        case ConfigRead:
            configPage->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            break;
        case ConfigWrite:
            for (int position = 1; position <= ConfigImage::kMemorySize; ++position)
                app.image().setByte(position, static_cast<unsigned char>(position * 3));
            // The unit's own model: a write of cells naming none would ask first.
            for (int position = ConfigImage::kMemorySize + 1; position <= ConfigImage::kImageSize; ++position)
                app.image().setByte(position, static_cast<unsigned char>(unitMemory.at(position - 1)));
            configPage->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
            break;
        case ConfigCopy:
            program.dialogs.answers = {target};
            app.configTransfer().CopyToFile();
            break;
        case FirmwareWrite:
            QVERIFY(app.firmwareExchange().loadFromFile(firmwareFile));
            break;
        case FirmwareCopy:
            QVERIFY(app.firmwareExchange().saveToFile(target));
            break;
        case Monitoring:
            // On line, the monitoring page polls by itself while it is shown.
            app.window().showPage(QStringLiteral("m03"));
            app.monitorExchange().setPosition(MonitorExchange::kMinPosition);
            break;
        }
        // The simulator ends by itself once its line is closed; the program runs on meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(!sim.isRunning(), kTimeoutMs);
        // The exchange was under way when the line went; what follows is the program's answer to that.
        const qsizetype started = underWay.isEmpty() ? 0 : program.shown.indexOf(QRegularExpression(underWay));
        QVERIFY2(started >= 0, qPrintable(program.shown.join(QLatin1Char('|'))));

        // The program says the connection broke, ends the exchange and frees the link.
        QTRY_VERIFY2_WITH_TIMEOUT(program.shown.indexOf(QRegularExpression(QStringLiteral("Ошибка соединения .*")), started) >= 0,
                                  qPrintable(program.shown.join(QLatin1Char('|'))), kTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(app.queue().LinkFree() && !app.firmwareExchange().isBusy()
                                     && !app.link().RPF_02VektorPriemaIsPorta.endsWith(QStringLiteral("в процессе")),
                                 kTimeoutMs);
        // A transfer cut off says so at once: its failure on the strip, and the line's loss in a message.
        if (!ended.isEmpty()) {
            QTRY_VERIFY2_WITH_TIMEOUT(program.shown.indexOf(ended, started) >= 0,
                                      qPrintable(program.shown.join(QLatin1Char('|'))), kTimeoutMs);
            // A write cut off also names the copy of what the unit held, and how to write it back.
            const bool write = exchange == ConfigWrite;
            QVERIFY2(program.messages.texts.size() == (write ? 2 : 1)
                         && program.messages.texts.first().startsWith(QStringLiteral("Связь с устройством потеряна во время"))
                         && (!write || program.messages.texts.last().endsWith(QStringLiteral("\"Восстановить из копии…\"."))),
                     qPrintable(program.messages.texts.join(QLatin1Char('|'))));
        }
        QTRY_COMPARE_WITH_TIMEOUT(filesIn(files.path()), QStringList{target.section(QLatin1Char('/'), -1)}, kTimeoutMs);
        QCOMPARE(fileBytes(target), good);
        QCOMPARE(fileBytes(unitMemoryFile), unitMemory);

        // The simulator comes back on the same port: the automatic search finds it.
        QVERIFY2(sim.start(folder.path(), {QStringLiteral("--port"), port}), qPrintable(sim.errorText()));
        QTRY_VERIFY_WITH_TIMEOUT(app.link().identificationCount() > identified
                                     && app.status().connection() == StatusModel::kActive,
                                 kTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(app.status().operation(), QStringLiteral("Устройство обнаружено!"), kTimeoutMs);

        // Nothing claimed success after the exchange began.
        const QStringList after = program.shown.mid(started);
        for (const QString &success : {QStringLiteral("Прочитано успешно!"), QStringLiteral("Записано успешно!"),
                                       QStringLiteral("Сохранено успешно!")})
            QVERIFY2(!after.contains(success), qPrintable(after.join(QLatin1Char('|'))));
        QCOMPARE(fileBytes(target), good);
    }
};

QTEST_MAIN(TestE2eUnplug)
#include "tst_e2e_unplug.moc"
