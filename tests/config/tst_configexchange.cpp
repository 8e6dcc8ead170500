#include <QtTest>
#include "ConfigTestRig.h"
#include "link/LockStepWrite.h"
#include "link/OperationTags.h"

// The unit's side of a write: "OK" for the request and for each of the first `acks` blocks.
static void answerWrites(ConfigTestRig &rig, int acks, const QByteArray &ack = QByteArrayLiteral("OK"))
{
    rig.port.onWrite = [&rig, acks, ack](const QByteArray &bytes) {
        static_cast<void>(bytes);
        if (rig.port.writes.size() <= acks + 1)
            rig.port.feed(ack);
    };
}

class TestConfigExchange : public QObject {
    Q_OBJECT
private slots:
    void readStoresEveryPieceSize_data()
    {
        QTest::addColumn<int>("piece");
        QTest::newRow("1 byte per poll") << 1;
        QTest::newRow("63 bytes per poll") << 63;
        QTest::newRow("one block per poll") << 64;
        QTest::newRow("several blocks per poll") << 3 * 64 + 5;
        QTest::newRow("everything in one poll") << 2370;
    }
    void readStoresEveryPieceSize()
    {
        QFETCH(int, piece);
        ConfigTestRig rig;
        const QByteArray unit = unitConfiguration();
        rig.port.feed("stale bytes of an earlier reply");
        rig.exchange.ConfiguraciaReadProcess();
        QCOMPARE(rig.port.written(), QByteArray("#6000"));
        QCOMPARE(rig.tag(), Tag::ConfigRead);
        QVERIFY(!rig.queue.LinkFree());

        rig.deliver(unit, piece);
        rig.poll(ConfigExchange::kIdleLimit);
        QCOMPARE(rig.tag(), Tag::ConfigRead);   // 15 silent polls are not yet the end
        rig.poll();
        QCOMPARE(rig.tag(), Tag::ReadOk);
        QVERIFY(rig.exchange.ConfiguraciaProchitana);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.exchange.NomerBaitaKonfiguracii, 2368);
        QCOMPARE(imageBytes(rig.image, 2370), unit);
        QCOMPARE(rig.image.cell(2369), QStringLiteral("08"));
        QCOMPARE(rig.image.cell(2370), QStringLiteral("02"));
        QCOMPARE(rig.status.counter(), QStringLiteral("2370 / 2370 байт"));
        QCOMPARE(rig.status.bar(), QStringLiteral(" ") + QString(50, QLatin1Char('I')));
        QVERIFY(rig.messages.texts.isEmpty());
    }

    void readWithWrongCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lastPiece");   // the bytes after the first 2368 arrive separately
        QTest::addColumn<int>("storedBlocks");
        QTest::addColumn<bool>("modelBytesStored");
        QTest::addColumn<bool>("endsOnArrival");   // more than 2370 bytes end the read at once
        QTest::newRow("silent unit") << 0 << 0 << 0 << false << false;
        QTest::newRow("stops after 1000 bytes") << 1000 << 0 << 15 << false << false;
        QTest::newRow("2369 bytes") << 2369 << 0 << 37 << false << false;
        QTest::newRow("2371 bytes at once") << 2371 << 0 << 37 << false << true;
        QTest::newRow("2370 then a stray byte") << 2370 << 1 << 37 << true << true;
        QTest::newRow("38 blocks") << 38 * 64 << 0 << 37 << false << true;
        QTest::newRow("600000 more bytes after the reply") << 2370 + 600000 << 0 << 37 << false << true;
    }
    void readWithWrongCount()
    {
        QFETCH(int, count);
        QFETCH(int, lastPiece);
        QFETCH(int, storedBlocks);
        QFETCH(bool, modelBytesStored);
        QFETCH(bool, endsOnArrival);
        ConfigTestRig rig;
        for (int i = 1; i <= 2370; ++i)
            rig.image.setCell(i, QStringLiteral("AA"));
        rig.exchange.ConfiguraciaProchitana = true;
        QByteArray stream = unitConfiguration();
        while (stream.size() < count + lastPiece)
            stream += char(0x5A);
        stream.truncate(count);

        rig.exchange.ConfiguraciaReadProcess();
        rig.deliver(stream, 4096);
        if (lastPiece)
            rig.deliver(QByteArray(lastPiece, '\x77'), lastPiece);
        // A unit streaming on is not waited out.
        QCOMPARE(rig.tag() == Tag::ReadError, endsOnArrival);
        QCOMPARE(rig.queue.LinkFree(), endsOnArrival);
        if (endsOnArrival && count + lastPiece < 4096)
            QCOMPARE(rig.status.counter(), QStringLiteral("%1 / 2370 байт").arg(count + lastPiece));
        rig.silence();

        QCOMPARE(rig.tag(), Tag::ReadError);
        QVERIFY(!rig.exchange.ConfiguraciaProchitana);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.messages.texts, QStringList{ConfigExchange::kCountMismatch});
        QCOMPARE(rig.exchange.NomerBaitaKonfiguracii, storedBlocks * 64);
        const QByteArray unit = unitConfiguration();
        for (int i = 1; i <= 2368; ++i) {
            const bool stored = i <= storedBlocks * 64;
            QCOMPARE(rig.image.byteAt(i), stored ? int(static_cast<unsigned char>(unit.at(i - 1))) : 0xAA);
        }
        QCOMPARE(rig.image.cell(2369), modelBytesStored ? QStringLiteral("08") : QStringLiteral("AA"));
        QCOMPARE(rig.image.cell(2370), modelBytesStored ? QStringLiteral("02") : QStringLiteral("AA"));
    }

    void startWithoutUnit_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("connection");
        QTest::newRow("read, passive") << false << StatusModel::kPassive;
        QTest::newRow("read, no port") << false << StatusModel::kNone;
        QTest::newRow("write, passive") << true << StatusModel::kPassive;
    }
    void startWithoutUnit()
    {
        QFETCH(bool, write);
        QFETCH(QString, connection);
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        rig.status.setConnection(connection);
        rig.queue.setLinkFree(false);
        rig.exchange.ConfiguraciaProchitana = true;
        if (write)
            rig.exchange.ConfiguraciaWriteProcess();
        else
            rig.exchange.ConfiguraciaReadProcess();
        QCOMPARE(rig.tag(), write ? Tag::WriteError : Tag::ReadError);
        QVERIFY(rig.queue.LinkFree());
        QVERIFY(rig.port.written().isEmpty());
        QVERIFY(rig.messages.texts.isEmpty());
        // Only a read start forgets the earlier read.
        QCOMPARE(rig.exchange.ConfiguraciaProchitana, write);
    }

    void writeSendsImageBlockByBlock_data()
    {
        QTest::addColumn<QByteArray>("ack");
        QTest::newRow("plain OK") << QByteArray("OK");
        QTest::newRow("OK with line ends") << QByteArray("\r\nOK\r\n");
        QTest::newRow("OK inside other text") << QByteArray("xxOKyy");
    }
    void writeSendsImageBlockByBlock()
    {
        QFETCH(QByteArray, ack);
        ConfigTestRig rig;
        const QByteArray unit = unitConfiguration();
        fillImage(rig.image, unit);
        answerWrites(rig, 37, ack);
        rig.exchange.ConfiguraciaWriteProcess();
        QCOMPARE(rig.tag(), Tag::ConfigWrite);
        QVERIFY(!rig.queue.LinkFree());
        rig.poll(37);
        QCOMPARE(rig.port.writes.size(), 38);
        QCOMPARE(rig.port.written(), QByteArray("#6001") + unit.left(2368));
        for (int k = 1; k < rig.port.writes.size(); ++k)
            QCOMPARE(rig.port.writes.at(k).size(), 64);
        rig.poll(2);   // the 37th "OK" releases nothing
        QCOMPARE(rig.exchange.SchetchikBaitov, 2368);
        QCOMPARE(rig.port.writes.size(), 38);
        rig.poll(ConfigExchange::kIdleLimit - 1);
        QCOMPARE(rig.tag(), Tag::ConfigWrite);
        rig.poll();
        QCOMPARE(rig.tag(), Tag::Written);
        QVERIFY(rig.queue.LinkFree());
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.status.counter(), QStringLiteral("2368 / 2368 байт"));
    }

    // A USB adapter hands the line end after an "OK" over in a read of its own: every block still
    // goes out, and the write succeeds.
    void writeWithLineEndsInReadsOfTheirOwn_data()
    {
        QTest::addColumn<QByteArrayList>("answer");   // the unit's answer to each write, one read per entry
        QTest::newRow("OK, then CR LF") << QByteArrayList{"OK", "\r\n"};
        QTest::newRow("OK, then CR, then LF") << QByteArrayList{"OK", "\r", "\n"};
        QTest::newRow("CR LF, then OK") << QByteArrayList{"\r\n", "OK"};
        QTest::newRow("O, K, then CR LF") << QByteArrayList{"O", "K", "\r\n"};
        QTest::newRow("OK, then NUL and a blank") << QByteArrayList{"OK", QByteArray("\0 ", 2)};
    }
    void writeWithLineEndsInReadsOfTheirOwn()
    {
        QFETCH(QByteArrayList, answer);
        ConfigTestRig rig;
        const QByteArray unit = unitConfiguration();
        fillImage(rig.image, unit);
        QByteArrayList line;
        rig.port.onWrite = [&line, answer](const QByteArray &) { line += answer; };
        rig.exchange.ConfiguraciaWriteProcess();
        for (int poll = 0; poll < 1000 && rig.tag() == Tag::ConfigWrite; ++poll) {
            if (!line.isEmpty())
                rig.port.feed(line.takeFirst());
            rig.poll();
        }
        QCOMPARE(rig.tag(), Tag::Written);
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.port.written(), QByteArray("#6001") + unit.left(2368));
        QCOMPARE(rig.port.writes.size(), 38);
        QVERIFY(rig.queue.LinkFree());
    }

    // The port closed under a read or a write: the exchange ends at once with its failure and the
    // link is free. Only a line that failed is told (the window's message): a port closed on
    // purpose, as when the program closes, is not.
    void portClosedMidExchange_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<bool>("lost");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("told");
        const QString reason = QStringLiteral("\nПричина: порт перестал отвечать (Ошибка соединения 8020) — адаптер "
                                              "отключён, устройство выключено или перезапущено.\n");
        QTest::newRow("read, line lost")
            << false << true << Tag::ReadError
            << QStringLiteral("Связь с устройством потеряна во время чтения конфигурации (получено 640 из 2370 байт).")
                   + reason
                   + QStringLiteral("В памяти программы часть конфигурации устройства и часть прежней: когда "
                                    "устройство снова ответит, прочитайте конфигурацию ещё раз кнопкой \"Прочитать\".");
        QTest::newRow("read, port closed") << false << false << Tag::ReadError << QString();
        QTest::newRow("write, line lost")
            << true << true << Tag::WriteError
            << QStringLiteral("Связь с устройством потеряна во время записи конфигурации (передано 128 из 2368 байт).")
                   + reason + QStringLiteral("Конфигурация в устройстве может быть записана не полностью, повторите запись.");
        QTest::newRow("write, port closed") << true << false << Tag::WriteError << QString();
    }
    void portClosedMidExchange()
    {
        QFETCH(bool, write);
        QFETCH(bool, lost);
        QFETCH(QString, tag);
        QFETCH(QString, told);
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        if (write) {
            rig.exchange.ConfiguraciaWriteProcess();
            rig.port.feed("OK");
            rig.poll();
            rig.port.feed("OK");
            rig.poll();
        } else {
            rig.exchange.ConfiguraciaReadProcess();
            rig.deliver(unitConfiguration().left(640), 640);
        }
        if (lost) {
            rig.port.failReadsWith = SerialPort::ReadError;
            rig.poll();
        } else {
            rig.link.CloseUsbComPort();
        }
        QCOMPARE(rig.tag(), tag);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.messages.texts, told.isEmpty() ? QStringList() : QStringList{told});
        // The failure stays on show while the port is closed.
        rig.poll();
        QCOMPARE(rig.tag(), tag);
    }

    void exchangeStartedAsTheLastEndsCountsItsOwnSilence()
    {
        // A command line (or a queued command) may start the next exchange in the very pass that
        // ended the last one on silence: the unit's slow first answer must still be waited for.
        ConfigTestRig rig;
        rig.exchange.ConfiguraciaReadProcess();
        rig.port.feed(unitConfiguration());
        rig.poll();
        rig.silence();
        QCOMPARE(rig.tag(), Tag::ReadOk);
        rig.port.writes.clear();
        rig.port.onWrite = [&rig, first = true](const QByteArray &) mutable {
            // The answer to the request comes only after a few silent polls.
            if (!first)
                rig.port.feed("OK");
            first = false;
        };
        rig.exchange.ConfiguraciaWriteProcess();
        rig.poll(ConfigExchange::kIdleLimit);
        QCOMPARE(rig.tag(), Tag::ConfigWrite);
        rig.port.feed("OK");
        rig.poll(37 + ConfigExchange::kIdleLimit + 2);
        QCOMPARE(rig.tag(), Tag::Written);
        QCOMPARE(rig.port.writes.size(), 38);
    }

    void writeBroken_data()
    {
        QTest::addColumn<int>("acks");             // blocks the unit acknowledges before it stops
        QTest::addColumn<QByteArray>("answer");    // what it sends instead of the next "OK" ("" silence)
        QTest::addColumn<int>("blocksSent");
        QTest::addColumn<QString>("message");
        QTest::newRow("no answer to the request") << -1 << QByteArray() << 0 << ConfigExchange::kCountMismatch;
        QTest::newRow("silent after 5 blocks") << 4 << QByteArray() << 5 << ConfigExchange::kCountMismatch;
        QTest::newRow("last block unacknowledged") << 36 << QByteArray() << 37 << LockStepWrite::kNotAcknowledged;
        QTest::newRow("lower-case ok") << -1 << QByteArray("ok") << 0 << ConfigExchange::kSequenceBroken;
        QTest::newRow("garbage after 10 blocks") << 9 << QByteArray("ERR") << 10 << ConfigExchange::kSequenceBroken;
    }
    void writeBroken()
    {
        QFETCH(int, acks);
        QFETCH(QByteArray, answer);
        QFETCH(int, blocksSent);
        QFETCH(QString, message);
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        rig.port.onWrite = [&rig, acks, answer](const QByteArray &) {
            if (rig.port.writes.size() <= acks + 1)
                rig.port.feed("OK");
            else
                rig.port.feed(answer);
        };
        rig.exchange.ConfiguraciaWriteProcess();
        rig.poll(blocksSent + 1);
        rig.silence();
        QCOMPARE(rig.tag(), Tag::WriteError);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.messages.texts, QStringList{message});
        QCOMPARE(rig.port.writes.size(), blocksSent + 1);
        QCOMPARE(rig.exchange.SchetchikBaitov, blocksSent * 64);
    }

    void writeSendFailure()
    {
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        answerWrites(rig, 37);
        rig.exchange.ConfiguraciaWriteProcess();
        rig.poll(3);
        rig.port.failWritesWith = SerialPort::PortNotOpen;
        rig.poll();
        QCOMPARE(rig.tag(), Tag::WriteError);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.messages.texts, QStringList{QStringLiteral("Ошибка передачи 8012")});
        QCOMPARE(rig.exchange.SchetchikBaitov, 3 * 64);
    }

    void writeRefusesIncompleteImage_data()
    {
        QTest::addColumn<int>("emptyPosition");
        QTest::newRow("first byte") << 1;
        QTest::newRow("middle of block 10") << 10 * 64 + 30;
        QTest::newRow("last byte of memory") << 2368;
    }
    void writeRefusesIncompleteImage()
    {
        QFETCH(int, emptyPosition);
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration().left(2368));   // model bytes are never sent
        rig.image.setCell(emptyPosition, QString());
        answerWrites(rig, 37);
        rig.exchange.ConfiguraciaWriteProcess();
        QVERIFY(rig.port.written().isEmpty());
        QCOMPARE(rig.tag(), Tag::WriteError);
        QVERIFY(rig.queue.LinkFree());
        QCOMPARE(rig.messages.texts, QStringList{ConfigExchange::kIncompleteImage.arg(emptyPosition)});
    }

    void writeNeverSendsAShortBlock()
    {
        // A cell emptied while the write runs stops it instead of sending a short block.
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        answerWrites(rig, 37);
        rig.exchange.ConfiguraciaWriteProcess();
        rig.poll(2);
        rig.image.setCell(3 * 64 - 1, QString());
        rig.poll();
        QCOMPARE(rig.port.writes.size(), 3);
        QCOMPARE(rig.tag(), Tag::WriteError);
        QCOMPARE(rig.messages.texts, QStringList{ConfigExchange::kIncompleteImage.arg(3 * 64 - 1)});
    }
};

QTEST_GUILESS_MAIN(TestConfigExchange)
#include "tst_configexchange.moc"
