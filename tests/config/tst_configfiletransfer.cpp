#include <QtTest>
#include "ConfigTestRig.h"
#include "link/LockStepWrite.h"
#include "link/OperationTags.h"

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

static void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

static QByteArray canonicalFile()
{
    ConfigImage image;
    fillImage(image, unitConfiguration());
    return ConfigFiles::formatImage(image);
}

static QByteArray firstLinesOf(const QByteArray &file, int count)
{
    return file.split('\n').mid(0, count).join('\n') + '\n';
}

class TestConfigFileTransfer : public QObject {
    Q_OBJECT
private slots:
    void copyWritesTheSameFileAsSave_data()
    {
        QTest::addColumn<int>("piece");
        QTest::newRow("1 byte per poll") << 1;
        QTest::newRow("63 bytes per poll") << 63;
        QTest::newRow("everything in one poll") << 2370;
    }
    void copyWritesTheSameFileAsSave()
    {
        QFETCH(int, piece);
        ConfigTestRig rig;
        const QString name = rig.path(QStringLiteral("copy.cf"));
        rig.dialogs.answers = {name};
        rig.transfer.CopyToFile();
        QCOMPARE(rig.dialogs.requests.first().defaultName, QStringLiteral("20261207090503"));
        QCOMPARE(rig.port.written(), QByteArray("#6000"));
        QCOMPARE(rig.tag(), Tag::ConfigFileCopy);
        rig.deliver(unitConfiguration(), piece);
        rig.silence();
        QCOMPARE(rig.tag(), Tag::Saved);
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(readFile(name), canonicalFile());
        // The image is not touched by a copy.
        QVERIFY(rig.image.cell(1).isEmpty());
    }

    void copyFailureKeepsExistingFile_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("endsOnArrival");   // more than 2370 bytes end the copy at once
        QTest::newRow("silent unit") << 0 << false;
        QTest::newRow("2369 bytes") << 2369 << false;
        QTest::newRow("2371 bytes") << 2371 << true;
        QTest::newRow("600000 more bytes after the reply") << 2370 + 600000 << true;
    }
    void copyFailureKeepsExistingFile()
    {
        QFETCH(int, count);
        QFETCH(bool, endsOnArrival);
        ConfigTestRig rig;
        const QString name = rig.path(QStringLiteral("old.cf"));
        writeFile(name, "the configuration saved last week");
        rig.dialogs.answers = {name};
        rig.transfer.CopyToFile();
        rig.deliver((unitConfiguration() + QByteArray(count, 'x')).left(count), 4096);
        QCOMPARE(rig.tag() == Tag::SaveError, endsOnArrival);
        rig.silence();
        QCOMPARE(rig.tag(), Tag::SaveError);
        QCOMPARE(rig.messages.texts, QStringList{ConfigExchange::kCountMismatch});
        QCOMPARE(readFile(name), QByteArray("the configuration saved last week"));
        QCOMPARE(QDir(rig.folder).entryList(QDir::Files), QStringList{QStringLiteral("old.cf")});
    }

    void copyOrLoadWithoutUnit_data()
    {
        QTest::addColumn<bool>("load");
        QTest::newRow("copy") << false;
        QTest::newRow("load") << true;
    }
    void copyOrLoadWithoutUnit()
    {
        QFETCH(bool, load);
        ConfigTestRig rig;
        rig.status.setConnection(StatusModel::kPassive);
        rig.dialogs.answers = {rig.path(QStringLiteral("x.cf"))};
        load ? rig.transfer.LoadFromFile() : rig.transfer.CopyToFile();
        QCOMPARE(rig.messages.texts, QStringList{ConfigFileTransfer::kNoConnection});
        QVERIFY(rig.dialogs.requests.isEmpty());
        QVERIFY(rig.port.written().isEmpty());
        QVERIFY(rig.tag().isEmpty());
    }

    void loadSendsTheFirst37Lines()
    {
        ConfigTestRig rig;
        const QString name = rig.path(QStringLiteral("load.cf"));
        writeFile(name, canonicalFile());
        rig.port.onWrite = [&rig](const QByteArray &) { rig.port.feed("OK\r\n"); };
        rig.dialogs.answers = {name};
        rig.transfer.LoadFromFile();
        QCOMPARE(rig.tag(), Tag::ConfigFileLoad);
        rig.poll(40);
        rig.silence();
        QCOMPARE(rig.tag(), Tag::Written);
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.port.written(), QByteArray("#6001") + unitConfiguration().left(2368));
        QCOMPARE(rig.status.counter(), QStringLiteral("2368 / 2368 байт"));
        QVERIFY(rig.image.cell(1).isEmpty());
    }

    // A USB adapter hands the line end after an "OK" over in a read of its own.
    void loadWithLineEndsInReadsOfTheirOwn_data()
    {
        QTest::addColumn<QByteArrayList>("answer");   // the unit's answer to each write, one read per entry
        QTest::newRow("OK, then CR LF") << QByteArrayList{"OK", "\r\n"};
        QTest::newRow("OK, then CR, then LF") << QByteArrayList{"OK", "\r", "\n"};
        QTest::newRow("OK, then NUL") << QByteArrayList{"OK", QByteArray(1, '\0')};
    }
    void loadWithLineEndsInReadsOfTheirOwn()
    {
        QFETCH(QByteArrayList, answer);
        ConfigTestRig rig;
        const QString name = rig.path(QStringLiteral("load.cf"));
        writeFile(name, canonicalFile());
        QByteArrayList line;
        rig.port.onWrite = [&line, answer](const QByteArray &) { line += answer; };
        rig.dialogs.answers = {name};
        rig.transfer.LoadFromFile();
        for (int poll = 0; poll < 1000 && rig.tag() == Tag::ConfigFileLoad; ++poll) {
            if (!line.isEmpty())
                rig.port.feed(line.takeFirst());
            rig.poll();
        }
        QCOMPARE(rig.tag(), Tag::Written);
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.port.written(), QByteArray("#6001") + unitConfiguration().left(2368));
    }

    // Only the 37 lines that go to the unit decide whether a file is loaded; a refused file sends
    // nothing and ends as a failed write.
    void loadChecksTheLinesItSends_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("badLine");   // 0: loaded
        const QByteArray canonical = canonicalFile();
        QList<QByteArray> lines = canonical.split('\n');
        lines[29] = lines[29].left(189) + '\r';
        QTest::newRow("63 bytes on line 30") << lines.join('\n') << 30;
        QTest::newRow("36 lines") << firstLinesOf(canonical, 36) << 37;
        QTest::newRow("no model bytes line") << firstLinesOf(canonical, 37) << 0;
        QTest::newRow("broken model bytes line") << firstLinesOf(canonical, 37) + "zz 1\r\n" << 0;
        QTest::newRow("trailing lines") << canonical + "00 00 \r\nnote\r\n" << 0;
    }
    void loadChecksTheLinesItSends()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, badLine);
        ConfigTestRig rig;
        const QString name = rig.path(QStringLiteral("load.cf"));
        writeFile(name, file);
        rig.port.onWrite = [&rig](const QByteArray &) { rig.port.feed("OK"); };
        rig.dialogs.answers = {name};
        rig.transfer.LoadFromFile();
        rig.poll(40);
        rig.silence();
        if (badLine) {
            QVERIFY(rig.port.written().isEmpty());
            QCOMPARE(rig.messages.texts.size(), 1);
            QVERIFY(rig.messages.texts.first().contains(QStringLiteral("строка %1:").arg(badLine)));
            QCOMPARE(rig.tag(), Tag::WriteError);
        } else {
            QVERIFY2(rig.messages.texts.isEmpty(), qPrintable(rig.messages.texts.join(QLatin1Char('|'))));
            QCOMPARE(rig.port.written(), QByteArray("#6001") + unitConfiguration().left(2368));
            QCOMPARE(rig.tag(), Tag::Written);
        }
    }

    void loadBroken_data()
    {
        QTest::addColumn<int>("acks");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("sendFailure");
        QTest::addColumn<int>("blocksSent");
        QTest::addColumn<QString>("message");
        QTest::newRow("no answer to the request") << -1 << QByteArray() << 0 << 0 << ConfigExchange::kCountMismatch;
        QTest::newRow("silent after 36 blocks") << 35 << QByteArray() << 0 << 36 << ConfigExchange::kCountMismatch;
        QTest::newRow("last block unacknowledged") << 36 << QByteArray() << 0 << 37 << LockStepWrite::kNotAcknowledged;
        QTest::newRow("lower-case ok") << 2 << QByteArray("ok") << 0 << 3 << ConfigExchange::kSequenceBroken;
        QTest::newRow("send fails at block 5") << 37 << QByteArray() << 5 << 4
                                               << QStringLiteral("Ошибка передачи 8018");
    }
    void loadBroken()
    {
        QFETCH(int, acks);
        QFETCH(QByteArray, answer);
        QFETCH(int, sendFailure);
        QFETCH(int, blocksSent);
        QFETCH(QString, message);
        ConfigTestRig rig;
        const QString name = rig.path(QStringLiteral("load.cf"));
        writeFile(name, canonicalFile());
        rig.port.onWrite = [&rig, acks, answer, sendFailure](const QByteArray &) {
            const int sent = int(rig.port.writes.size());   // the request counts as one
            if (sent == sendFailure)
                rig.port.failWritesWith = SerialPort::NeedsOpenPort;
            rig.port.feed(sent <= acks + 1 ? QByteArray("OK") : answer);
        };
        rig.dialogs.answers = {name};
        rig.transfer.LoadFromFile();
        rig.poll(40);
        rig.silence();
        QCOMPARE(rig.tag(), Tag::WriteError);
        QCOMPARE(rig.messages.texts, QStringList{message});
        QCOMPARE(rig.port.writes.size(), blocksSent + 1);
        QCOMPARE(rig.transfer.SchetchikBaitov, blocksSent * 64);
    }
};

QTEST_GUILESS_MAIN(TestConfigFileTransfer)
#include "tst_configfiletransfer.moc"
