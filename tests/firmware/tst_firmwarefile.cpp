#include <QtTest>
#include "FirmwareTestRig.h"

// The ".fw" format: exact writing, lenient but whole-file-checked reading.
class TestFirmwareFile : public QObject {
    Q_OBJECT

    static QByteArray canonical() { return FirmwareFile::format(unitFirmware()); }

    // The canonical file with line `line` (1-based) replaced.
    static QByteArray withLine(int line, const QByteArray &text)
    {
        QList<QByteArray> lines = canonical().split('\n');
        lines[line - 1] = text + '\r';
        return lines.join('\n');
    }

private slots:
    void formatIsExact()
    {
        const QByteArray file = canonical();
        QCOMPARE(file.size(), qsizetype(FirmwareFile::kFileSize));
        QCOMPARE(file.count("\r\n"), qsizetype(FirmwareFile::kBlockCount));
        const QByteArray first = file.left(file.indexOf("\r\n"));
        QCOMPARE(first.size(), 192);
        QVERIFY(first.startsWith("03 86 09 8C "));   // upper case, a blank after every byte
        QVERIFY(FirmwareFile::format(unitFirmware().left(62719)).isEmpty());
        // Whole blocks in any number are the file's lines; a trailing part is left out.
        QCOMPARE(FirmwareFile::formatBlocks(QByteArrayView(unitFirmware()).first(2 * 64 + 3)),
                 file.left(2 * (192 + 2)));
        const FirmwareFile::Content content = FirmwareFile::parse(file);
        QVERIFY(content.ok());
        QCOMPARE(content.blocks.join(), unitFirmware());
    }

    void lenientReading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("lower case") << canonical().toLower();
        QTest::newRow("no blanks") << QByteArray(canonical()).replace(' ', "");
        QTest::newRow("tabs for blanks") << QByteArray(canonical()).replace(' ', '\t');
        QTest::newRow("LF line ends") << QByteArray(canonical()).replace("\r\n", "\n");
        QTest::newRow("no final line end") << canonical().chopped(2);
        QTest::newRow("an empty last line") << canonical() + "\r\n";
        QTest::newRow("blanks around the digits") << withLine(5, "  " + canonical().split('\n').at(4).trimmed() + "  ");
    }
    void lenientReading()
    {
        QFETCH(QByteArray, file);
        const FirmwareFile::Content content = FirmwareFile::parse(file);
        QVERIFY2(content.ok(), qPrintable(content.reason));
        QCOMPARE(content.blocks.size(), FirmwareFile::kBlockCount);
        QCOMPARE(content.blocks.join(), unitFirmware());
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        const QByteArray full = canonical();
        QTest::newRow("short file") << full.left(979 * 194) << 980 << QStringLiteral("строка отсутствует");
        QTest::newRow("empty file") << QByteArray() << 1 << QStringLiteral("строка отсутствует");
        QTest::newRow("981 lines") << full + full.left(194) << 981 << QStringLiteral("лишняя строка");
        QTest::newRow("letter O for zero") << withLine(7, canonical().split('\n').at(6).trimmed().replace(0, 2, "0O"))
                                           << 7 << QStringLiteral("недопустимые символы \"0O\"");
        QTest::newRow("63 bytes") << withLine(300, canonical().split('\n').at(299).left(189)) << 300
                                  << QStringLiteral("63 байта вместо 64");
        QTest::newRow("65 bytes") << withLine(2, canonical().split('\n').at(1).trimmed() + " 00") << 2
                                  << QStringLiteral("65 байт вместо 64");
        QTest::newRow("letter O in a line without blanks")
            << withLine(3, canonical().split('\n').at(2).trimmed().replace(' ', "").replace(0, 2, "0O")) << 3
            << QStringLiteral("недопустимые символы \"0O\" (30 4F) в позиции 1");
        QTest::newRow("127 digits without blanks")
            << withLine(4, canonical().split('\n').at(3).trimmed().replace(' ', "").chopped(1)) << 4
            << QStringLiteral("непарная цифра в позиции 127");
        QTest::newRow("lone digit") << withLine(980, canonical().split('\n').at(979).trimmed() + " 0") << 980
                                    << QStringLiteral("непарная цифра");
        QTest::newRow("blank inside a pair") << withLine(1, "4 1" + canonical().split('\n').at(0).mid(3)) << 1
                                             << QStringLiteral("непарная цифра");
        QTest::newRow("two lines run together") << QByteArray(full).remove(192, 2) << 1
                                                << QStringLiteral("128 байт вместо 64");
        QTest::newRow("empty line inside") << withLine(490, QByteArray()) << 490 << QStringLiteral("0 байт вместо 64");
        QTest::newRow("far too big") << QByteArray(FirmwareFile::kMaxFileSize + 1, '0') << 1
                                     << QStringLiteral("файл слишком велик");
    }
    void refusals()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        QFETCH(QString, reason);
        const FirmwareFile::Content content = FirmwareFile::parse(file);
        QCOMPARE(content.failure, FirmwareFile::Content::Failure::Format);
        QCOMPARE(content.badLine, line);
        QVERIFY2(content.reason.startsWith(reason), qPrintable(content.reason));
        QVERIFY(content.blocks.isEmpty());
    }

    void lineFormat_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray() << QByteArrayLiteral("\r\n");
        QTest::newRow("digits and letters")
            << QByteArray("\x00\x09\x0A\x0F\x10\x90\x9F\xA0\xFF", 9) << QByteArrayLiteral("00 09 0A 0F 10 90 9F A0 FF \r\n");
    }
    void lineFormat()
    {
        QFETCH(QByteArray, block);
        QFETCH(QByteArray, line);
        QCOMPARE(FirmwareFile::formatLine(block), line);
    }

    // One character of the canonical file changed; its first line begins "03 86 09 8C ".
    void oneCharacterChanged_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("position");
        QTest::addColumn<char>("character");
        QTest::addColumn<int>("badLine");   // 0: accepted
        QTest::addColumn<QString>("reason");
        QTest::newRow("slash") << 1 << 1 << '/' << 1 << QStringLiteral("недопустимые символы \"/3\" (2F 33) в позиции 1");
        QTest::newRow("colon") << 1 << 2 << ':' << 1 << QStringLiteral("недопустимые символы \"0:\" (30 3A) в позиции 1");
        QTest::newRow("at sign") << 1 << 4 << '@' << 1 << QStringLiteral("недопустимые символы \"@6\" (40 36) в позиции 4");
        QTest::newRow("backquote") << 1 << 5 << '`' << 1 << QStringLiteral("недопустимые символы \"8`\" (38 60) в позиции 4");
        QTest::newRow("G") << 1 << 11 << 'G' << 1 << QStringLiteral("недопустимые символы \"8G\" (38 47) в позиции 10");
        QTest::newRow("g") << 1 << 11 << 'g' << 1 << QStringLiteral("недопустимые символы \"8g\" (38 67) в позиции 10");
        QTest::newRow("0xB0 (a zero with the high bit)")
            << 1 << 1 << '\xB0' << 1 << QStringLiteral("недопустимые символы (B0 33) в позиции 1");
        QTest::newRow("0xC1 (an A with the high bit)")
            << 500 << 2 << '\xC1' << 500 << QStringLiteral("недопустимые символы (");
        QTest::newRow("lower case c") << 1 << 11 << 'c' << 0 << QString();
        QTest::newRow("tab for a blank") << 1 << 3 << '\t' << 0 << QString();
        QTest::newRow("digit for a blank") << 1 << 3 << '5' << 1 << QStringLiteral("непарная цифра в позиции 5");
        QTest::newRow("letter for a blank") << 1 << 3 << 'x' << 1 << QStringLiteral("недопустимые символы \"x8\" (78 38) в позиции 3");
        QTest::newRow("digit for the last blank") << 980 << 192 << '7' << 980 << QStringLiteral("непарная цифра в позиции 192");
        QTest::newRow("CR for the last blank") << 1 << 192 << '\r' << 2 << QStringLiteral("0 байт вместо 64");
    }
    void oneCharacterChanged()
    {
        QFETCH(int, line);
        QFETCH(int, position);
        QFETCH(char, character);
        QFETCH(int, badLine);
        QFETCH(QString, reason);
        QByteArray file = canonical();
        file[(line - 1) * 194 + position - 1] = character;
        const FirmwareFile::Content content = FirmwareFile::parse(file);
        if (badLine == 0) {
            QVERIFY2(content.ok(), qPrintable(content.reason));
            QCOMPARE(content.blocks.join(), unitFirmware());
        } else {
            QCOMPARE(content.failure, FirmwareFile::Content::Failure::Format);
            QCOMPARE(content.badLine, badLine);
            QVERIFY2(content.reason.startsWith(reason), qPrintable(content.reason));
        }
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("badLine");   // 0: accepted
        const QByteArray full = canonical();
        QTest::newRow("CR only") << QByteArray(full).replace("\r\n", "\r") << 0;
        QTest::newRow("LF CR pairs") << QByteArray(full).replace("\r\n", "\n\r") << 2;
        QTest::newRow("blank lines after the last, with tabs") << full + " \t\r\n\t\n  \r" << 0;
        QTest::newRow("CR CR LF after line 10") << QByteArray(full).insert(10 * 194 - 2, '\r') << 11;
    }
    void lineEnds()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, badLine);
        const FirmwareFile::Content content = FirmwareFile::parse(file);
        QCOMPARE(content.badLine, badLine);
        QCOMPARE(content.ok(), badLine == 0);
        if (badLine == 0)
            QCOMPARE(content.blocks.join(), unitFirmware());
    }

    // The blocks of a read file behave as the list of 64-byte blocks they stand for.
    void blocksAsAList_data()
    {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QList<QByteArray>>("list");
        const QByteArray a(64, 'a');
        const QByteArray b(64, 'b');
        QTest::newRow("none") << QByteArray() << QList<QByteArray>{};
        QTest::newRow("one") << a << QList<QByteArray>{a};
        QTest::newRow("two and a part left out") << a + b + "cc" << QList<QByteArray>{a, b};
    }
    void blocksAsAList()
    {
        QFETCH(QByteArray, firmware);
        QFETCH(QList<QByteArray>, list);
        const FirmwareFile::Blocks blocks(firmware);
        QCOMPARE(blocks.size(), list.size());
        QCOMPARE(blocks.isEmpty(), list.isEmpty());
        QCOMPARE(QList<QByteArray>(blocks), list);
        QList<QByteArray> iterated;
        for (const QByteArray &block : blocks)
            iterated.append(block);
        QCOMPARE(iterated, list);
        QCOMPARE(blocks.join(), list.join());
        QVERIFY(blocks == FirmwareFile::Blocks(list.join()));
    }

    void readTellsOpenFailure()
    {
        QTemporaryDir dir;
        QCOMPARE(FirmwareFile::read(dir.filePath(QStringLiteral("missing.fw"))).failure,
                 FirmwareFile::Content::Failure::Open);
        QVERIFY(writeFile(dir.filePath(QStringLiteral("unit.fw")), canonical()));
        QVERIFY(FirmwareFile::read(dir.filePath(QStringLiteral("unit.fw"))).ok());
    }

    void dialogSettings_data()
    {
        QTest::addColumn<bool>("forWriting");
        QTest::addColumn<QString>("defaultName");
        QTest::newRow("save: date and time") << true << QStringLiteral("20261207090503");
        QTest::newRow("open: no name") << false << QString();
    }
    void dialogSettings()
    {
        QFETCH(bool, forWriting);
        QFETCH(QString, defaultName);
        FixedClock clock;
        const FileDialogRequest request = FirmwareFile::dialogRequest(QStringLiteral("/opt/tx"), forWriting, clock.now());
        QCOMPARE(request.initialFolder, QStringLiteral("/opt/tx/Прошивки/"));
        QCOMPARE(request.filter, QStringLiteral("Файл прошивки (*.fw)|*.fw"));
        QCOMPARE(request.defaultSuffix, QStringLiteral("fw"));
        QCOMPARE(request.defaultName, defaultName);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareFile)
#include "tst_firmwarefile.moc"
