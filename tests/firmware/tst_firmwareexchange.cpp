#include <QtTest>
#include "FirmwareTestRig.h"
#include "link/OperationTags.h"

namespace {
const QString kSendError8018 = SerialLink::kSendErrorPrefix + QStringLiteral("8018");

QString joined(const QStringList &texts)
{
    return texts.join(QLatin1Char('\n'));
}
}

// The firmware transfers over the real pump and a fake port.
class TestFirmwareExchange : public QObject {
    Q_OBJECT

    // How the fake unit answers a write ("#5001" and the blocks that follow).
    struct Unit {
        int acks = FirmwareFile::kBlockCount;   // blocks answered; -1: not even the request
        QByteArray lastAnswer = "OK";           // the answer to block 980
        bool splitOk = false;                   // every "OK" in two reads
        int strayAfter = -1;                    // block after which "BUSY" comes before the "OK"
        int failSendAt = -1;                    // the port refuses to write this block
        int closeAfter = -1;                    // the port breaks after this block
    };

private slots:
    void versionRule_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("ordinary") << QStringLiteral("002.07") << true;
        QTest::newRow("leading zeros") << QStringLiteral("000.07") << true;
        QTest::newRow("hex digits") << QStringLiteral("00A.00") << true;
        QTest::newRow("not a number") << QStringLiteral("v2") << true;
        QTest::newRow("zero") << QStringLiteral("0") << false;
        QTest::newRow("zero as the unit spells it") << QStringLiteral("000.00") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blank") << QStringLiteral("  ") << false;
        QTest::newRow("no data") << QStringLiteral("нет данных") << false;
    }
    void versionRule()
    {
        QFETCH(QString, version);
        QFETCH(bool, allowed);
        QCOMPARE(FirmwareExchange::versionAllowsTransfer(version), allowed);
    }

    void writeOutcomes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("acks");
        QTest::addColumn<QByteArray>("lastAnswer");
        QTest::addColumn<bool>("splitOk");
        QTest::addColumn<int>("strayAfter");
        QTest::addColumn<int>("failSendAt");
        QTest::addColumn<int>("closeAfter");
        QTest::addColumn<bool>("requestSent");
        QTest::addColumn<int>("blocksSent");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("message");

        const QByteArray good = FirmwareFile::format(unitFirmware());
        const QByteArray shortFile = good.left(979 * 194);
        QByteArray badHex = good;
        badHex.replace(6 * 194 + 9, 2, "0O");
        const QByteArray longFile = good + good.left(194);
        const QString warn = FirmwareExchange::kMayBeUnusable;
        const auto format = [](int line, const QString &reason) {
            return FirmwareExchange::kFormatError.arg(QStringLiteral("%1"), QString::number(line), reason);
        };

        QTest::newRow("every block acknowledged") << good << 980 << QByteArray("OK") << false << -1 << -1 << -1
                                                  << true << 980 << Tag::Written << QString();
        QTest::newRow("OK split across reads") << good << 980 << QByteArray("OK") << true << -1 << -1 << -1 << true
                                               << 980 << Tag::Written << QString();
        QTest::newRow("short file") << shortFile << 980 << QByteArray("OK") << false << -1 << -1 << -1 << false << 0
                                    << QString() << format(980, QStringLiteral("строка отсутствует: в файле 979 строк вместо 980"));
        QTest::newRow("bad hex") << badHex << 980 << QByteArray("OK") << false << -1 << -1 << -1 << false << 0
                                 << QString() << format(7, QStringLiteral("недопустимые символы \"0O\" (30 4F) в позиции 10"));
        QTest::newRow("981 lines") << longFile << 980 << QByteArray("OK") << false << -1 << -1 << -1 << false << 0
                                   << QString() << format(981, QStringLiteral("лишняя строка: в файле прошивки 980 строк"));
        QTest::newRow("missing final OK") << good << 979 << QByteArray("OK") << false << -1 << -1 << -1 << true << 980
                                          << Tag::WriteError << joined({LockStepWrite::kNotAcknowledged, warn});
        QTest::newRow("error text in place of the last OK")
            << good << 980 << QByteArray("ERR") << false << -1 << -1 << -1 << true << 980 << Tag::WriteError
            << joined({LockStepWrite::kNotAcknowledged, FirmwareExchange::kSequenceBroken + QStringLiteral("ERR"), warn});
        QTest::newRow("status text mid-way is shown, the write goes on")
            << good << 980 << QByteArray("OK") << false << 500 << -1 << -1 << true << 980 << Tag::Written
            << QStringLiteral("Ошибка загрузки! Нарушение последовательности обмена! ОК=BUSY\nЭто сообщение устройства: "
                              "запись прошивки продолжается, ждать ответа на него не нужно.");
        QTest::newRow("send error at block 300") << good << 980 << QByteArray("OK") << false << -1 << 300 << -1 << true
                                                 << 299 << Tag::WriteError << joined({kSendError8018, warn});
        QTest::newRow("port closed at block 400")
            << good << 980 << QByteArray("OK") << false << -1 << -1 << 400 << true << 400 << Tag::WriteError
            << joined({QStringLiteral("Связь с устройством потеряна во время записи прошивки (передано 25600 из 62720 "
                                      "байт)."),
                       QStringLiteral("Причина: порт перестал отвечать (Ошибка соединения 8020) — адаптер отключён, "
                                      "устройство выключено или перезапущено."),
                       QStringLiteral("Запись прошивки не завершена: устройство может остаться без работающей прошивки! "
                                      "Когда устройство снова ответит, повторите загрузку прошивки из файла.")});
        QTest::newRow("silence at block 600") << good << 599 << QByteArray("OK") << false << -1 << -1 << -1 << true
                                              << 600 << Tag::WriteError
                                              << joined({FirmwareExchange::kCountMismatch, warn});
        QTest::newRow("no answer to the request") << good << -1 << QByteArray("OK") << false << -1 << -1 << -1 << true
                                                  << 0 << Tag::WriteError << FirmwareExchange::kCountMismatch;
    }
    void writeOutcomes()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, acks);
        QFETCH(QByteArray, lastAnswer);
        QFETCH(bool, splitOk);
        QFETCH(int, strayAfter);
        QFETCH(int, failSendAt);
        QFETCH(int, closeAfter);
        QFETCH(bool, requestSent);
        QFETCH(int, blocksSent);
        QFETCH(QString, tag);
        QFETCH(QString, message);

        FirmwareTestRig rig;
        const QString path = rig.path(QStringLiteral("new.fw"));
        QVERIFY(writeFile(path, file));
        QList<QByteArray> answers;   // what the unit has on the line, one read each
        int blocks = 0;
        const auto answer = [&](const QByteArray &text) {
            if (splitOk && text == "OK")
                answers << "O" << "K";
            else
                answers << text;
        };
        rig.port.onWrite = [&](const QByteArray &bytes) {
            if (bytes == FirmwareExchange::kWriteRequest) {
                if (acks >= 0)
                    answer("OK");
                return;
            }
            ++blocks;
            if (blocks == failSendAt - 1)
                rig.port.failWritesWith = SerialPort::NeedsOpenPort;
            if (blocks == closeAfter) {
                rig.port.failReadsWith = SerialPort::ReadError;
                return;
            }
            if (blocks == strayAfter)
                answer("BUSY");
            if (blocks <= acks)
                answer(blocks == FirmwareFile::kBlockCount ? lastAnswer : QByteArray("OK"));
        };
        // Monitoring asks for the link in the middle; it must wait for the end of the flash.
        bool monitoringStarted = false;
        bool monitoringDuringWrite = false;
        rig.queue.setStarter(Cmd::MonitoringProcess, [&](QString &) {
            monitoringStarted = true;
            monitoringDuringWrite = rig.tag() == Tag::FirmwareWrite;
        });

        // Nothing a person must click may hold the flash up: a box shown while it runs would.
        bool boxDuringFlash = false;
        rig.messages.whileShown = [&] { boxDuringFlash = boxDuringFlash || rig.exchange.isBusy(); };

        const bool accepted = rig.exchange.loadFromFile(path);
        QCOMPARE(accepted, requestSent);
        rig.queue.pump();
        bool posted = false;
        for (int step = 0; step < 3000 && rig.tag() == Tag::FirmwareWrite; ++step) {
            if (blocks >= 100 && !posted) {
                rig.queue.post(Cmd::MonitoringProcess);
                posted = true;
            }
            rig.queue.pump();
            if (!answers.isEmpty())
                rig.port.arrive(answers.takeFirst());   // the next block goes out on arrival
            else
                rig.poll();
        }
        rig.poll();   // a further poll changes nothing

        QCOMPARE(rig.port.writes.value(0) == FirmwareExchange::kWriteRequest, requestSent);
        QCOMPARE(blocks, blocksSent);
        QCOMPARE(rig.port.written().mid(5), file.isEmpty() ? QByteArray() : unitFirmware().left(blocksSent * 64));
        QCOMPARE(rig.tag(), tag);
        QCOMPARE(rig.messages.texts, message.isEmpty() ? QStringList() : QStringList{message.arg(path)});
        QCOMPARE(rig.exchange.SchetchikBaitov, blocksSent * 64);
        // The program stays usable: the link is free again and nothing is held.
        QVERIFY(rig.queue.LinkFree());
        QVERIFY(!rig.exchange.isBusy());
        QVERIFY(!monitoringDuringWrite);
        QVERIFY(!boxDuringFlash);
        rig.queue.pump();
        QCOMPARE(monitoringStarted, requestSent && blocksSent >= 100);
    }

    // On a line that behaves like a USB adapter: the line end after each "OK" in a read of its own.
    void writeOnARealLine_data()
    {
        QTest::addColumn<QByteArrayList>("answer");   // to the request and each block, one read per entry
        QTest::newRow("OK, then CR LF") << QByteArrayList{"OK", "\r\n"};
        QTest::newRow("OK, then CR, then LF") << QByteArrayList{"OK", "\r", "\n"};
        QTest::newRow("CR LF, O, K, NUL") << QByteArrayList{"\r\n", "O", "K", QByteArray(1, '\0')};
    }
    void writeOnARealLine()
    {
        QFETCH(QByteArrayList, answer);
        FirmwareTestRig rig;
        const QString path = rig.path(QStringLiteral("new.fw"));
        QVERIFY(writeFile(path, FirmwareFile::format(unitFirmware())));
        QByteArrayList line;
        rig.port.onWrite = [&](const QByteArray &) { line += answer; };
        QVERIFY(rig.exchange.loadFromFile(path));
        rig.queue.pump();
        const int request = rig.link.pollCount();
        while (rig.tag() == Tag::FirmwareWrite && rig.link.pollCount() - request < 20000) {
            if (!line.isEmpty())
                rig.port.feed(line.takeFirst());
            rig.poll();
        }
        QCOMPARE(rig.tag(), Tag::Written);
        QCOMPARE(rig.port.written().mid(5), unitFirmware());
        QCOMPARE(rig.messages.texts, QStringList());
        QVERIFY(rig.queue.LinkFree());
        QVERIFY(!rig.exchange.isBusy());
    }

    void blocksGoOutOnArrivalWithoutPolls()
    {
        FirmwareTestRig rig;
        QVERIFY(writeFile(rig.path(QStringLiteral("a.fw")), FirmwareFile::format(unitFirmware())));
        QVERIFY(rig.exchange.loadFromFile(rig.path(QStringLiteral("a.fw"))));
        rig.queue.pump();
        QCOMPARE(rig.tag(), Tag::FirmwareWrite);
        QVERIFY(!rig.queue.LinkFree());
        for (int k = 0; k < FirmwareFile::kBlockCount; ++k)
            rig.port.arrive("OK");
        QCOMPARE(rig.port.writes.size(), 1 + FirmwareFile::kBlockCount);
        QCOMPARE(rig.status.counter(), QStringLiteral("62720 / 62720 байт"));
        rig.port.arrive("OK");
        QCOMPARE(rig.tag(), Tag::FirmwareWrite);   // success waits for the closing silence
        rig.poll(LockStepWrite::kIdleLimit);
        QCOMPARE(rig.tag(), Tag::FirmwareWrite);
        rig.poll();
        QCOMPARE(rig.tag(), Tag::Written);
        QCOMPARE(rig.status.bar(), QStringLiteral(" ") + QString(50, QLatin1Char('I')));
        QVERIFY(rig.messages.texts.isEmpty());
    }

    void readOutcomes_data()
    {
        QTest::addColumn<int>("size");         // bytes the unit streams
        QTest::addColumn<int>("piece");        // bytes per poll
        QTest::addColumn<int>("closeAfter");   // the port breaks after this many bytes; -1: never
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("message");  // %1: the file name
        const QString notSaved = FirmwareExchange::kNotSaved + QStringLiteral("%1");
        QTest::newRow("whole stream in one poll") << 62720 << 62720 << -1 << Tag::Saved << QString();
        QTest::newRow("ten blocks per poll") << 62720 << 640 << -1 << Tag::Saved << QString();
        QTest::newRow("odd pieces") << 62720 << 999 << -1 << Tag::Saved << QString();
        QTest::newRow("one byte short") << 62719 << 4096 << -1 << Tag::SaveError
                                        << joined({FirmwareExchange::kCountMismatch, notSaved});
        QTest::newRow("one byte too many") << 62721 << 4096 << -1 << Tag::SaveError
                                           << joined({FirmwareExchange::kCountMismatch, notSaved});
        QTest::newRow("silent unit") << 0 << 1 << -1 << Tag::SaveError
                                     << joined({FirmwareExchange::kCountMismatch, notSaved});
        QTest::newRow("600000 more bytes after the firmware") << 62720 + 600000 << 4096 << -1 << Tag::SaveError
                                                              << joined({FirmwareExchange::kCountMismatch, notSaved});
        QTest::newRow("line dropped") << 62720 << 1000 << 30000 << Tag::SaveError
                                      << joined({FirmwareExchange::kLinkLostRead.arg(30000).arg(62720),
                                                 QStringLiteral("Причина: порт перестал отвечать (Ошибка соединения "
                                                                "8020) — адаптер отключён, устройство выключено или "
                                                                "перезапущено."),
                                                 notSaved});
    }
    void readOutcomes()
    {
        QFETCH(int, size);
        QFETCH(int, piece);
        QFETCH(int, closeAfter);
        QFETCH(QString, tag);
        QFETCH(QString, message);
        FirmwareTestRig rig;
        const QString path = rig.path(QStringLiteral("unit.fw"));
        QVERIFY(writeFile(path, "an earlier backup"));
        QVERIFY(rig.exchange.saveToFile(path));
        rig.queue.pump();
        QCOMPARE(rig.port.written(), FirmwareExchange::kReadRequest);
        QCOMPARE(rig.tag(), Tag::FirmwareRead);
        QVERIFY(!rig.queue.LinkFree());

        QByteArray stream = unitFirmware();
        stream.resize(size, '\x5A');
        for (qsizetype at = 0; at < stream.size() && rig.link.isOpen(); at += piece) {
            if (closeAfter >= 0 && at >= closeAfter)
                rig.port.failReadsWith = SerialPort::ReadError;
            else
                rig.port.feed(stream.mid(at, piece));
            rig.poll();
        }
        // A stream longer than 62720 bytes has ended by now, without waiting for a silence.
        if (size > 62720)
            QCOMPARE(rig.tag(), Tag::SaveError);
        rig.silence();

        QCOMPARE(rig.tag(), tag);
        QCOMPARE(rig.messages.texts, message.isEmpty() ? QStringList() : QStringList{message.arg(path)});
        QCOMPARE(readFile(path), tag == Tag::Saved ? FirmwareFile::format(unitFirmware()) : QByteArray("an earlier backup"));
        // Nothing is left beside the file, and the program is free again.
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("unit.fw")});
        QVERIFY(rig.queue.LinkFree());
        QVERIFY(!rig.exchange.isBusy());
    }

    void startRefused_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("forRead");
        QTest::addColumn<QString>("message");
        QTest::newRow("read, no unit") << "offline" << true << FirmwareExchange::kNoConnection;
        QTest::newRow("write, no unit") << "offline" << false << FirmwareExchange::kNoConnection;
        QTest::newRow("read, second click") << "busy" << true << FirmwareExchange::kBusy;
        QTest::newRow("write, second click") << "busy" << false << FirmwareExchange::kBusy;
        QTest::newRow("read, file cannot be created") << "bad path" << true << FirmwareExchange::kCreateError + "%1\nПапка не найдена. Файл не создан.";
        QTest::newRow("write, file cannot be opened") << "bad path" << false << FirmwareExchange::kOpenError + "%1";
    }
    void startRefused()
    {
        QFETCH(QString, situation);
        QFETCH(bool, forRead);
        QFETCH(QString, message);
        FirmwareTestRig rig;
        QString path = rig.path(QStringLiteral("unit.fw"));
        QVERIFY(writeFile(path, FirmwareFile::format(unitFirmware())));
        if (situation == QLatin1String("offline"))
            rig.status.setConnection(StatusModel::kPassive);
        if (situation == QLatin1String("busy"))
            QVERIFY(rig.exchange.loadFromFile(path));
        if (situation == QLatin1String("bad path"))
            path = rig.path(QStringLiteral("no such folder/unit.fw"));
        const QStringList before = rig.queue.CommandQueueText().isEmpty() ? QStringList() : QStringList{rig.queue.CommandQueueText()};
        QVERIFY(!(forRead ? rig.exchange.saveToFile(path) : rig.exchange.loadFromFile(path)));
        QCOMPARE(rig.messages.texts, QStringList{message.arg(path)});
        QCOMPARE(rig.queue.CommandQueueText().isEmpty() ? QStringList() : QStringList{rig.queue.CommandQueueText()}, before);
        QVERIFY(rig.port.written().isEmpty());
    }

    void unitLostWhileQueued_data()
    {
        QTest::addColumn<bool>("forRead");
        QTest::addColumn<QString>("tag");
        QTest::newRow("read") << true << Tag::SaveError;
        QTest::newRow("write") << false << Tag::WriteError;
    }
    void unitLostWhileQueued()
    {
        QFETCH(bool, forRead);
        QFETCH(QString, tag);
        FirmwareTestRig rig;
        const QString path = rig.path(QStringLiteral("unit.fw"));
        QVERIFY(writeFile(path, FirmwareFile::format(unitFirmware())));
        QVERIFY(forRead ? rig.exchange.saveToFile(path) : rig.exchange.loadFromFile(path));
        QVERIFY(rig.exchange.isBusy());
        rig.status.setConnection(StatusModel::kPassive);
        rig.queue.pump();
        QCOMPARE(rig.tag(), tag);
        QVERIFY(rig.port.written().isEmpty());
        QVERIFY(!rig.exchange.isBusy());
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(readFile(path), FirmwareFile::format(unitFirmware()));
    }
};

QTEST_GUILESS_MAIN(TestFirmwareExchange)
#include "tst_firmwareexchange.moc"
