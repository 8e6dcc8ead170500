#include <QtTest>
#include "ConfigTestRig.h"
#include "config/FileRead.h"
#include "link/OperationTags.h"

static QByteArray canonicalFile()
{
    ConfigImage image;
    fillImage(image, unitConfiguration());
    return ConfigFiles::formatImage(image);
}

static void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Replaces line `line` (1-based) of a CR LF file.
static QByteArray withLine(const QByteArray &file, int line, const QByteArray &text)
{
    QList<QByteArray> lines = file.split('\n');
    lines[line - 1] = text + '\r';
    return lines.join('\n');
}

static QByteArray firstLines(const QByteArray &file, int count)
{
    const QList<QByteArray> lines = file.split('\n');
    return lines.mid(0, count).join('\n') + '\n';
}

// A save dialog during which the image loses data (a configuration read starting meanwhile).
class ClearingDialogs : public FileDialogs {
public:
    ClearingDialogs(ConfigImage &image, QString answer) : m_image(image), m_answer(std::move(answer)) {}
    std::optional<QString> saveFileName(const FileDialogRequest &) override
    {
        m_image.setCell(1, QString());
        return m_answer;
    }
    std::optional<QString> openFileName(const FileDialogRequest &) override { return std::nullopt; }

private:
    ConfigImage &m_image;
    QString m_answer;
};

class TestConfigFiles : public QObject {
    Q_OBJECT
private slots:
    void dialogSettings()
    {
        ConfigTestRig rig;
        rig.dialogs.answers = {std::nullopt, std::nullopt};
        fillImage(rig.image, unitConfiguration());
        rig.files.Save();
        rig.files.Open();
        QCOMPARE(rig.dialogs.requests.size(), 2);
        for (const FileDialogRequest &request : rig.dialogs.requests) {
            QCOMPARE(request.initialFolder, rig.folder + QStringLiteral("/Конфигурации/"));
            QCOMPARE(request.filter, QStringLiteral("Файл конфигурации (*.cf)|*.cf"));
            QCOMPARE(request.defaultSuffix, QStringLiteral("cf"));
        }
        QCOMPARE(rig.dialogs.requests.at(0).defaultName, QStringLiteral("20261207090503"));
        QVERIFY(rig.dialogs.requests.at(1).defaultName.isEmpty());
        // Cancelling is silent and touches nothing.
        QVERIFY(rig.messages.texts.isEmpty());
        QVERIFY(rig.tag().isEmpty());
        QVERIFY(QDir(rig.folder).entryList(QDir::Files).isEmpty());
    }

    void readSaveOpenRoundTrip()
    {
        ConfigTestRig rig;
        const QByteArray unit = unitConfiguration();
        rig.exchange.ConfiguraciaReadProcess();
        rig.deliver(unit, 500);
        rig.silence();
        QCOMPARE(rig.tag(), Tag::ReadOk);

        const QString name = rig.path(QStringLiteral("unit.cf"));
        writeFile(name, QByteArray(20000, 'x'));   // an older, longer file of that name is replaced
        rig.dialogs.answers = {name};
        rig.files.Save();
        QCOMPARE(rig.tag(), Tag::Saved);
        QVERIFY(rig.messages.texts.isEmpty());

        const QByteArray file = readFile(name);
        QCOMPARE(file.size(), 7186);
        const QList<QByteArray> lines = file.split('\n');
        QCOMPARE(lines.size(), 39);   // 38 lines, each ended by CR LF
        QVERIFY(lines.last().isEmpty());
        for (int i = 0; i < 38; ++i) {
            const QByteArray &line = lines.at(i);
            QVERIFY(line.endsWith('\r'));
            const QByteArray body = line.chopped(1);
            QCOMPARE(body.size(), i < 37 ? 192 : 6);
            QCOMPARE(body, unit.mid(i * 64, i < 37 ? 64 : 2).toHex(' ').toUpper() + ' ');
        }

        ConfigTestRig other;
        other.dialogs.answers = {name};
        other.files.Open();
        QVERIFY(other.messages.texts.isEmpty());
        QCOMPARE(cells(other.image), cells(rig.image));
        QCOMPARE(other.status.counter(), QStringLiteral("2368 / 2368 байт"));
        QVERIFY(other.tag().isEmpty());
    }

    void openTolerates_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("modelBytesRead");
        const QByteArray canonical = canonicalFile();
        QByteArray noBlanks = canonical;
        noBlanks.replace(" ", "");
        QByteArray extraBlanks = canonical;
        extraBlanks.replace(" ", "   ");
        QByteArray crOnly = canonical;
        crOnly.replace("\r\n", "\r");
        QByteArray lfOnly = canonical;
        lfOnly.replace("\r\n", "\n");
        QTest::newRow("canonical") << canonical << true;
        QTest::newRow("lower case") << canonical.toLower() << true;
        QTest::newRow("no blanks") << noBlanks << true;
        QTest::newRow("extra blanks") << extraBlanks << true;
        QTest::newRow("CR line ends") << crOnly << true;
        QTest::newRow("LF line ends") << lfOnly << true;
        QTest::newRow("no line end after the last line") << canonical.chopped(2) << true;
        QTest::newRow("blank lines after the last line") << canonical + "\r\n\r\n" << true;
        QTest::newRow("38th line missing") << firstLines(canonical, 37) << false;
    }
    void openTolerates()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, modelBytesRead);
        ConfigTestRig rig;
        rig.image.setCell(2369, QStringLiteral("04"));
        rig.image.setCell(2370, QStringLiteral("01"));
        const QString name = rig.path(QStringLiteral("in.cf"));
        writeFile(name, file);
        rig.dialogs.answers = {name};
        rig.files.Open();
        QVERIFY(rig.messages.texts.isEmpty());
        const QByteArray unit = unitConfiguration();
        QCOMPARE(imageBytes(rig.image, 2368), unit.left(2368));
        QCOMPARE(rig.image.cell(2369), modelBytesRead ? QStringLiteral("08") : QStringLiteral("04"));
        QCOMPARE(rig.image.cell(2370), modelBytesRead ? QStringLiteral("02") : QStringLiteral("01"));
    }

    void openRefusesMalformedFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("line");
        const QByteArray canonical = canonicalFile();
        const QByteArray line5 = canonical.split('\n').at(4).chopped(1);
        QTest::newRow("short line 5") << withLine(canonical, 5, line5.chopped(3)) << 5;
        QTest::newRow("long line 5") << withLine(canonical, 5, line5 + "00 ") << 5;
        QTest::newRow("empty line 1") << withLine(canonical, 1, QByteArray()) << 1;
        QTest::newRow("not hex in line 12") << withLine(canonical, 12, "G" + line5.mid(1)) << 12;
        QTest::newRow("blank inside a pair in line 20") << withLine(canonical, 20, "0 " + line5.mid(2)) << 20;
        QTest::newRow("lone digit ends line 37") << withLine(canonical, 37, line5.chopped(2)) << 37;
        QTest::newRow("model line of 3 bytes") << withLine(canonical, 38, "08 02 00 ") << 38;
        QTest::newRow("36 lines") << firstLines(canonical, 36) << 37;
        QTest::newRow("extra line 39") << canonical + "08 02 \r\n" << 39;
        QTest::newRow("empty file") << QByteArray() << 1;
    }
    void openRefusesMalformedFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        ConfigTestRig rig;
        fillImage(rig.image, QByteArray(2370, '\x11'));
        const QList<QString> before = cells(rig.image);
        const QString name = rig.path(QStringLiteral("bad.cf"));
        writeFile(name, file);
        rig.dialogs.answers = {name};
        rig.files.Open();
        QCOMPARE(cells(rig.image), before);
        QCOMPARE(rig.messages.texts.size(), 1);
        const QString message = rig.messages.texts.first();
        QVERIFY2(message.startsWith(QStringLiteral("Ошибка формата файла: ") + name), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("строка %1:").arg(line)), qPrintable(message));
    }

    void openMissingFile()
    {
        ConfigTestRig rig;
        const QString name = rig.path(QStringLiteral("absent.cf"));
        rig.dialogs.answers = {name};
        rig.files.Open();
        QCOMPARE(rig.messages.texts, QStringList{QStringLiteral("Ошибка открытия файла: ") + name});
        QVERIFY(rig.tag().isEmpty());
    }

    void saveRefusesIncompleteImage_data()
    {
        QTest::addColumn<int>("emptyPosition");
        QTest::newRow("empty image") << 0;
        QTest::newRow("cell 700") << 700;
        QTest::newRow("last block byte 2368") << 2368;
    }
    void saveRefusesIncompleteImage()
    {
        QFETCH(int, emptyPosition);
        ConfigTestRig rig;
        if (emptyPosition)
            fillImage(rig.image, unitConfiguration());
        rig.image.setCell(emptyPosition ? emptyPosition : 1, QString());
        const QString name = rig.path(QStringLiteral("keep.cf"));
        writeFile(name, canonicalFile());
        rig.dialogs.answers = {name};
        rig.files.Save();
        QCOMPARE(readFile(name), canonicalFile());
        QVERIFY(rig.dialogs.requests.isEmpty());
        QCOMPARE(rig.tag(), Tag::SaveError);
        QCOMPARE(rig.messages.texts, QStringList{ConfigFiles::kIncompleteImage.arg(emptyPosition ? emptyPosition : 1)});
    }

    // The model bytes line is written when both cells hold data and left out otherwise, as a file
    // without it opens into an image that keeps those cells as they were.
    void saveWritesModelBytesOnlyWhenWhole_data()
    {
        QTest::addColumn<QList<int>>("emptyCells");
        QTest::addColumn<int>("lines");
        QTest::newRow("full image") << QList<int>{} << 38;
        QTest::newRow("no model bytes") << QList<int>{2369, 2370} << 37;
        QTest::newRow("second model byte missing") << QList<int>{2370} << 37;
    }
    void saveWritesModelBytesOnlyWhenWhole()
    {
        QFETCH(QList<int>, emptyCells);
        QFETCH(int, lines);
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        for (const int position : emptyCells)
            rig.image.setCell(position, QString());
        const QString name = rig.path(QStringLiteral("out.cf"));
        rig.dialogs.answers = {name};
        rig.files.Save();
        QVERIFY(rig.messages.texts.isEmpty());
        QCOMPARE(rig.tag(), Tag::Saved);
        QCOMPARE(readFile(name), firstLines(canonicalFile(), lines));

        // Opened into an empty image, saved again: the same file.
        ConfigTestRig other;
        other.dialogs.answers = {name, rig.path(QStringLiteral("again.cf"))};
        other.files.Open();
        other.files.Save();
        QCOMPARE(other.tag(), Tag::Saved);
        QCOMPARE(readFile(rig.path(QStringLiteral("again.cf"))), readFile(name));
    }

    // An image that lost data while the save dialog was open is refused, never saved as an empty file.
    void saveChecksTheImageAgainAfterTheDialog()
    {
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        const QString name = rig.path(QStringLiteral("keep.cf"));
        writeFile(name, canonicalFile());
        ClearingDialogs dialogs(rig.image, name);
        ConfigFiles files(rig.image, rig.link, rig.status, rig.messages, dialogs, rig.clock, rig.folder);
        files.Save();
        QCOMPARE(readFile(name), canonicalFile());
        QCOMPARE(rig.tag(), Tag::SaveError);
        QCOMPARE(rig.messages.texts, QStringList{ConfigFiles::kIncompleteImage.arg(1)});
    }

    // A file that opens but cannot be read: a number users know, and the system's words as tooltip.
    void readFailureIsNumbered()
    {
        ConfigTestRig rig;
        const QString name = QStringLiteral("/proc/self/mem");   // opens, but reading at 0 fails
        rig.dialogs.answers = {name};
        rig.files.Open();
        QCOMPARE(rig.messages.texts, QStringList{ConfigFiles::kReadError + name});
        QCOMPARE(rig.status.connection(), QStringLiteral("Ошибка передачи 57"));
        QVERIFY(!rig.status.connectionToolTip().isEmpty());
        QCOMPARE(rig.link.RPF_02ComError, 57);
        QCOMPARE(rig.tag(), Tag::WriteError);
    }

    void saveIntoMissingFolder()
    {
        ConfigTestRig rig;
        fillImage(rig.image, unitConfiguration());
        const QString name = rig.path(QStringLiteral("no/such/folder/x.cf"));
        rig.dialogs.answers = {name};
        rig.files.Save();
        QCOMPARE(rig.messages.texts,
                 QStringList{QStringLiteral("Ошибка создания файла: ") + name + QStringLiteral("\nПапка не найдена. Файл не создан.")});
        QVERIFY(rig.tag().isEmpty());
    }

    // Cells hold "" or two upper-case digits; other text is kept as written, upper-cased.
    void imageCells_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("firstEmpty");
        QTest::newRow("upper case") << 1 << "C6" << "C6" << 198 << 2;
        QTest::newRow("lower case") << 1 << "0a" << "0A" << 10 << 2;
        QTest::newRow("mixed case, last position") << 2370 << "fF" << "FF" << 255 << 1;
        QTest::newRow("empty") << 1 << "" << "" << -1 << 1;
        QTest::newRow("one digit") << 1 << "7" << "7" << 7 << 2;
        QTest::newRow("not hex") << 1 << "g1" << "G1" << -1 << 2;
        QTest::newRow("three digits") << 1 << "100" << "100" << 256 << 2;
        QTest::newRow("position 0") << 0 << "41" << "" << -1 << 1;
        QTest::newRow("past the last") << 2371 << "41" << "" << -1 << 1;
    }
    void imageCells()
    {
        QFETCH(int, position);
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QFETCH(int, byte);
        QFETCH(int, firstEmpty);
        ConfigImage image;
        image.setCell(position, text);
        QCOMPARE(image.cell(position), cell);
        QCOMPARE(image.byteAt(position), byte);
        QCOMPARE(image.firstEmpty(1, 2370), firstEmpty);
        // A byte replaces whatever text was there.
        image.setByte(position, 0x3D);
        const bool inside = position >= 1 && position <= 2370;
        QCOMPARE(image.cell(position), inside ? QStringLiteral("3D") : QString());
        QCOMPARE(image.byteAt(position), inside ? 61 : -1);
        ConfigImage copy = image;
        QCOMPARE(cells(copy), cells(image));
    }

    // Bytes set in a run land as setByte would put them; what falls outside 1..2370 is dropped.
    void imageSetBytes_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("cells");   // cells 0..3 and 2368..2370
        QTest::newRow("start") << 1 << QByteArray("\x01\xAB") << QStringList{"", "01", "AB", "G1", "", "", ""};
        QTest::newRow("over a text cell") << 2 << QByteArray("\x02\x03") << QStringList{"", "", "02", "03", "", "", ""};
        QTest::newRow("from position 0") << 0 << QByteArray("\x10\x11") << QStringList{"", "11", "", "G1", "", "", ""};
        QTest::newRow("past the end") << 2369 << QByteArray("\x20\x21\x22") << QStringList{"", "", "", "G1", "", "20", "21"};
        QTest::newRow("nothing") << 1 << QByteArray() << QStringList{"", "", "", "G1", "", "", ""};
    }
    void imageSetBytes()
    {
        QFETCH(int, position);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, cells);
        ConfigImage image;
        image.setCell(3, QStringLiteral("g1"));
        image.setBytes(position, bytes.constData(), bytes.size());
        QStringList got;
        for (const int p : {0, 1, 2, 3, 2368, 2369, 2370})
            got << image.cell(p);
        QCOMPARE(got, cells);
    }

    // A file is read up to a bound, in pieces, however large it is.
    void readAtMost_data()
    {
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<int>("bound");
        QTest::addColumn<int>("read");
        QTest::newRow("empty") << 0 << 10 << 0;
        QTest::newRow("under the bound") << 3 << 10 << 3;
        QTest::newRow("at the bound") << 10 << 10 << 10;
        QTest::newRow("over the bound") << 11 << 10 << 10;
        QTest::newRow("several pieces") << 40000 << 40001 << 40000;
        QTest::newRow("cut after several pieces") << 40000 << 33000 << 33000;
    }
    void readAtMost()
    {
        QFETCH(int, fileSize);
        QFETCH(int, bound);
        QFETCH(int, read);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("f.bin"));
        QByteArray bytes;
        for (int i = 0; i < fileSize; ++i)
            bytes += char(i * 7 % 251);
        writeFile(name, bytes);
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray got = FileRead::atMost(file, bound);
        QCOMPARE(got.size(), read);
        QCOMPARE(got, bytes.left(read));
        QCOMPARE(file.error(), QFileDevice::NoError);
    }
};

QTEST_GUILESS_MAIN(TestConfigFiles)
#include "tst_configfiles.moc"
