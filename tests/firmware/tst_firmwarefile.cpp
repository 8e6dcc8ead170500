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
        const FirmwareFile::Content content = FirmwareFile::parse(file);
        QVERIFY(content.ok());
        QCOMPARE(content.blocks.join(), unitFirmware());
    }

    void lenientReading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("lower case") << canonical().toLower();
        QTest::newRow("no blanks") << QByteArray(canonical()).replace(' ', "");
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
        QTest::newRow("lone digit") << withLine(980, canonical().split('\n').at(979).trimmed() + " 0") << 980
                                    << QStringLiteral("непарная цифра");
        QTest::newRow("blank inside a pair") << withLine(1, "4 1" + canonical().split('\n').at(0).mid(3)) << 1
                                             << QStringLiteral("непарная цифра");
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
