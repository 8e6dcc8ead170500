#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "link/StatusSupervisor.h"
#include "link/UnitSettings.h"
#include "unit/UnitSession.h"
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString P = ProgramSettings::kPortKey;
const QString S = ProgramSettings::kSpeedKey;
const QString AP = ProgramSettings::kActivePortKey;
const QString AS = ProgramSettings::kActiveSpeedKey;
const QString AH = ProgramSettings::kActiveHandshakeKey;
QString C(int n) { return QStringLiteral("RPF_19.Check%1:").arg(n); }

QByteArray cp1251File(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += Cp1251::encode(line) + "\r\n";
    return bytes;
}

QString checkStates(const ProgramOptions &options)
{
    QString s;
    for (int n = 1; n <= ProgramOptions::kCount; ++n)
        s += QString::number(options.checkState(n));
    return s;
}

// Remembers what the timers and the link looked like whenever a message was shown.
class ProbeSink : public MessageSink {
public:
    void show(const QString &text) override
    {
        texts << text;
        if (probe)
            probe();
    }
    QStringList texts;
    std::function<void()> probe;
};

// The settings with a unit that follows them, as the program has it.
struct Rig {
    QTemporaryDir dir;
    ProbeSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    FakeSerialPort port;
    ProgramOptions options;
    ProgramSettings settings;
    UnitSession unit;
    SerialLink &link = unit.link();
    CommandQueue &queue = unit.queue();
    StatusSupervisor &supervisor = unit.supervisor();
    QTimer &supervision = unit.supervisor().timer();

    explicit Rig(const QString &name = QStringLiteral("Service/TX.cfg"))
        : settings(QDir(dir.path()).filePath(name), options, messages),
          unit(dir.path(), &port, UnitSession::Borrowed{settings, messages, dialogs, clock})
    {
        QDir(dir.path()).mkpath(QStringLiteral("Service"));
        unit.start(false);
    }
    QString path() const { return settings.filePath(); }
    void write(const QByteArray &bytes)
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void refresh() { settings.TXconfigUpdateParam(unit.choice()); }
};

} // namespace

class TestProgramSettings : public QObject {
    Q_OBJECT
private slots:
    void splitLine_data();
    void splitLine();
    void loadAppliesLines_data();
    void loadAppliesLines();
    void loadSelectsFromTheLists();
    void loadCountsLines_data();
    void loadCountsLines();
    void refreshRewritesKnownLinesOnly();
    void refreshKeepsSpeedWhenNoneSelected();
    void saveWithoutRefreshWritesLinesAsRead();
    void roundTripIsByteExact_data();
    void roundTripIsByteExact();
    void missingFileStartsWithDefaults();
    void emptyFileStartsWithDefaultsUntilUserSaves_data();
    void emptyFileStartsWithDefaultsUntilUserSaves();
    void readIsBounded_data();
    void readIsBounded();
    void loadAnnouncesChoicesOnce();
    void strayBytesKeepTheKeys_data();
    void strayBytesKeepTheKeys();
    void unreadableFileIsNeverReplaced_data();
    void unreadableFileIsNeverReplaced();
    void saveBeforeLoadLeavesFileAlone();
    void failedSaveReportsOnce_data();
    void failedSaveReportsOnce();
    void timersPausedAndRestored_data();
    void timersPausedAndRestored();
    void worksWithoutSupervisionTimer();
    void addedPortJoinsTheList_data();
    void addedPortJoinsTheList();
    void changesAnnouncedOncePerBatch_data();
    void changesAnnouncedOncePerBatch();
};

void TestProgramSettings::splitLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "Акт индекс скорости:2" << "Акт индекс скорости:" << "2";
    QTest::newRow("blanks everywhere") << "  Акт индекс скорости:   2  " << "Акт индекс скорости:" << "2";
    QTest::newRow("blank before colon stays in key") << "Ключ :1" << "Ключ :" << "1";
    QTest::newRow("first colon splits") << "a:b:c" << "a:" << "b:c";
    QTest::newRow("no colon: empty key") << "  просто текст " << "" << "просто текст";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("colon only") << ":" << ":" << "";
    QTest::newRow("empty value") << "RPF_19.Check1:   " << "RPF_19.Check1:" << "";
    QTest::newRow("tabs and control characters are blanks") << "\tКлюч:\x01 1\t" << "Ключ:" << "1";
    // A stray byte 0xA0 of a UTF-8 file, read as Windows-1251: trimmed, it would change the encoding
    // the saved file is read in.
    QTest::newRow("no-break space is text") << "\u00A0Ключ:1\u00A0" << "\u00A0Ключ:" << "1\u00A0";
}

void TestProgramSettings::splitLine()
{
    QFETCH(QString, line);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QString k = QStringLiteral("junk"), v = QStringLiteral("junk");
    ProgramSettings::splitLine(line, k, v);
    QCOMPARE(k, key);
    QCOMPARE(v, value);
}

void TestProgramSettings::loadAppliesLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("speeds");
    QTest::addColumn<int>("speed");          // UsbComPortSpeed
    QTest::addColumn<int>("handshaking");    // UsbComPortHandshaking
    QTest::addColumn<int>("portNumber");     // UsbComPortNumber
    QTest::addColumn<QString>("checks");
    QTest::addColumn<bool>("avtopoisk");
    QTest::addColumn<bool>("useLast");
    QTest::addColumn<int>("wizards");

    const QStringList none;
    const QStringList speeds3{"9600", "19200", "115200"};
    // Before the load: port 7, 4800 baud, "RTS" (3), both Booleans on, all boxes clear.
    QTest::newRow("ports, speeds, then the indexes")
        << QStringList{P + "1", P + "2", P + "3", S + "9600", S + "19200", S + "115200", AP + "3", AS + "2", AH + "1"}
        << QStringList{"1", "2", "3"} << speeds3 << 19200 << 1 << 3 << "00000" << true << true << 0;
    QTest::newRow("blanks around key and value")
        << QStringList{"   " + AP + "   5   ", "\t" + C(1) + "  1 "} << none << none << 4800 << 3 << 5 << "10000"
        << true << true << 0;
    QTest::newRow("line without colon ignored")
        << QStringList{"Акт индекс номера порта 5", "RPF_19.Check1 1"} << none << none << 4800 << 3 << 7 << "00000"
        << true << true << 0;
    QTest::newRow("key in other case ignored")
        << QStringList{"rpf_19.check1:1", "акт индекс номера порта:5"} << none << none << 4800 << 3 << 7 << "00000"
        << true << true << 0;
    QTest::newRow("blank before colon is another key")
        << QStringList{"Акт индекс номера порта :5"} << none << none << 4800 << 3 << 7 << "00000" << true << true << 0;
    QTest::newRow("every list line adds an item")
        << QStringList{P + "4", P + "4", P + " 12"} << QStringList{"4", "4", "12"} << none << 4800 << 3 << 7
        << "00000" << true << true << 0;
    QTest::newRow("list values that are no numbers skipped")
        << QStringList{P + "COM3", P + "0", P + "-1", P, S + "fast", S + "0", S + "9600", AS + "1"} << none
        << QStringList{"9600"} << 9600 << 3 << 7 << "00000" << true << true << 0;
    QTest::newRow("index before its list has nothing to select")
        << QStringList{AS + "1", S + "9600", S + "19200"} << none << QStringList{"9600", "19200"} << 4800 << 3 << 7
        << "00000" << true << true << 0;
    QTest::newRow("speed index past the list")
        << QStringList{S + "9600", S + "19200", S + "115200", AS + "4"} << none << speeds3 << 4800 << 3 << 7
        << "00000" << true << true << 0;
    QTest::newRow("speed index 0")
        << QStringList{S + "9600", AS + "0"} << none << QStringList{"9600"} << 4800 << 3 << 7 << "00000" << true
        << true << 0;
    QTest::newRow("indexes at the ends of int")
        << QStringList{S + "9600", AS + "-2147483648", AH + "-2147483648", AS + "2147483647", AH + "2147483647"}
        << none << QStringList{"9600"} << 4800 << 3 << 7 << "00000" << true << true << 0;
    QTest::newRow("speed index no number")
        << QStringList{S + "9600", AS + "один"} << none << QStringList{"9600"} << 4800 << 3 << 7 << "00000" << true
        << true << 0;
    QTest::newRow("handshaking 4 is RTSXonXoff")
        << QStringList{AH + "4"} << none << none << 4800 << 4 << 7 << "00000" << true << true << 0;
    QTest::newRow("handshaking 5 and 0 skipped")
        << QStringList{AH + "5", AH + "0", AH + ""} << none << none << 4800 << 3 << 7 << "00000" << true << true << 0;
    QTest::newRow("port number not usable")
        << QStringList{AP + "abc", AP + "0", AP + "2.5", AP + "-3", AP + "99999"} << none << none << 4800 << 3 << 7
        << "00000" << true << true << 0;
    QTest::newRow("greyed state applied")
        << QStringList{C(5) + "2", C(4) + "2"} << none << none << 4800 << 3 << 7 << "00022" << true << true << 0;
    QTest::newRow("Check5 0 clears Avtopoisk")
        << QStringList{C(5) + "0"} << none << none << 4800 << 3 << 7 << "00000" << false << true << 0;
    QTest::newRow("Check4 0 clears UseLastSucsessConnection")
        << QStringList{C(4) + "0"} << none << none << 4800 << 3 << 7 << "00000" << true << false << 0;
    QTest::newRow("Check5 1 with Check4 1")
        << QStringList{C(4) + "1", C(5) + "1", C(1) + "1", C(2) + "1"} << none << none << 4800 << 3 << 7 << "11011"
        << true << true << 0;
    QTest::newRow("states outside 0..2 skipped")
        << QStringList{C(5) + "3", C(1) + "-1", C(2) + "x", C(4) + ""} << none << none << 4800 << 3 << 7 << "00000"
        << true << true << 0;
    QTest::newRow("Check3 1 asks for the wizard once")
        << QStringList{C(3) + "1", C(3) + "1"} << none << none << 4800 << 3 << 7 << "00100" << true << true << 1;
    QTest::newRow("Check3 greyed is no request")
        << QStringList{C(3) + "2"} << none << none << 4800 << 3 << 7 << "00200" << true << true << 0;
    QTest::newRow("later occurrence wins")
        << QStringList{C(1) + "1", C(1) + "0", AP + "2", AP + "6"} << none << none << 4800 << 3 << 6 << "00000"
        << true << true << 0;
    QTest::newRow("unknown option ignored")
        << QStringList{"RPF_19.Check6:1", "RPF_19.Check0:1"} << none << none << 4800 << 3 << 7 << "00000" << true
        << true << 0;
}

void TestProgramSettings::loadAppliesLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, ports);
    QFETCH(QStringList, speeds);
    QFETCH(int, speed);
    QFETCH(int, handshaking);
    QFETCH(int, portNumber);
    QFETCH(QString, checks);
    QFETCH(bool, avtopoisk);
    QFETCH(bool, useLast);
    QFETCH(int, wizards);

    Rig rig;
    rig.write(cp1251File(lines));
    rig.link.choices().setPortItems({"9"});
    rig.link.UsbComPortNumber = 7;
    rig.link.UsbComPortSpeed = 4800;
    rig.link.choices().setHandshakeIndex(2);
    rig.link.UsbComPortHandshaking = 3;
    rig.supervisor.Avtopoisk = true;
    rig.supervisor.UseLastSucsessConnection = true;

    rig.settings.TXconfigLoadParam();

    QCOMPARE(rig.link.choices().portItems(), ports);
    // A file that offers or chooses no speed falls back to the built-in list and its first entry
    // (the rows mark "nothing chosen" by leaving the 4800 set before the load).
    const QStringList offered = speeds.isEmpty() ? UnitSettings::kDesignSpeeds : speeds;
    QCOMPARE(rig.link.choices().speedItems(), offered);
    QCOMPARE(rig.link.UsbComPortSpeed, speed == 4800 ? offered.first().toInt() : speed);
    QVERIFY(rig.link.choices().isValidSpeedIndex(rig.link.choices().speedIndex()));
    QCOMPARE(rig.link.UsbComPortHandshaking, handshaking);
    QCOMPARE(rig.link.choices().handshakeIndex(), handshaking - 1);
    QCOMPARE(rig.link.UsbComPortNumber, portNumber);
    QCOMPARE(checkStates(rig.options), checks);
    QCOMPARE(rig.supervisor.Avtopoisk, avtopoisk);
    QCOMPARE(rig.supervisor.UseLastSucsessConnection, useLast);
    QCOMPARE(int(rig.settings.wizardAtStart()), wizards);
    // Whatever could not be applied, every line is kept for the save.
    QStringList trimmed;
    for (const QString &l : lines)
        trimmed << l.trimmed();
    QCOMPARE(rig.settings.KolichestvoStrokTX, lines.size());
    QCOMPARE(rig.settings.StrokiTX, QStringList{QString()} + trimmed);
    QVERIFY(rig.queue.LinkFree());
    QVERIFY(rig.messages.texts.isEmpty());
    // Loading sets the boxes; it is not a change by the user.
    QVERIFY(!rig.options.saveEnabled());
}

void TestProgramSettings::loadSelectsFromTheLists()
{
    Rig rig;
    rig.write(cp1251File({P + "1", P + "2", P + "3", S + "9600", S + "19200", S + "115200", AS + "2", AH + "1"}));
    rig.link.choices().setHandshakeIndex(3);
    rig.settings.TXconfigLoadParam();
    QCOMPARE(rig.link.choices().speedIndex(), 1);
    QCOMPARE(rig.link.choices().speedText(), QStringLiteral("19200"));
    QCOMPARE(rig.link.UsbComPortSpeed, 19200);
    QCOMPARE(rig.link.choices().handshakeIndex(), 0);
    QCOMPARE(rig.link.UsbComPortHandshaking, 1);
}

void TestProgramSettings::loadCountsLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QByteArray("a:1\r\nb:2\r\n") << QStringList{"a:1", "b:2"};
    QTest::newRow("last line unterminated") << QByteArray("a:1\r\nb:2") << QStringList{"a:1", "b:2"};
    QTest::newRow("LF only") << QByteArray("a:1\nb:2\n") << QStringList{"a:1", "b:2"};
    QTest::newRow("CR only") << QByteArray("a:1\rb:2\r") << QStringList{"a:1", "b:2"};
    QTest::newRow("empty lines kept") << QByteArray("a:1\r\n\r\nb:2\r\n\r\n") << QStringList{"a:1", "", "b:2", ""};
    QTest::newRow("blank lines trimmed") << QByteArray("   \r\n x y \r\n") << QStringList{"", "x y"};
}

void TestProgramSettings::loadCountsLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    Rig rig;
    rig.write(bytes);
    rig.settings.TXconfigLoadParam();
    QCOMPARE(rig.settings.KolichestvoStrokTX, lines.size());
    QCOMPARE(rig.settings.StrokiTX, QStringList{QString()} + lines);
    // Written back with CR LF after every line, nothing more.
    rig.settings.TXconfigSaveParam();
    QCOMPARE(rig.read(), cp1251File(lines));
}

void TestProgramSettings::refreshRewritesKnownLinesOnly()
{
    Rig rig;
    const QByteArray original = cp1251File({
        "  " + P + "   3  ", "Доступная скорость порта : 9600", S + "9600", S + " 19200", AP + "  3", AS + "1",
        AH + "1", C(1) + " 0", C(2) + "1", C(3) + "0", C(4) + "0", C(5) + "1", "Примечание без двоеточия", "",
        "Другое:  значение  "});
    rig.write(original);
    rig.settings.TXconfigLoadParam();

    rig.link.UsbComPortNumber = 5;
    rig.link.choices().setSpeedIndex(1);
    rig.link.choices().setHandshakeIndex(3);
    rig.options.setCheckState(1, 1);
    rig.options.setCheckState(2, 2);
    rig.options.setCheckState(5, 0);
    rig.refresh();

    const QStringList expected{P + "3", "Доступная скорость порта : 9600", S + "9600", S + "19200", AP + "5",
                               AS + "2", AH + "4", C(1) + "1", C(2) + "2", C(3) + "0", C(4) + "0", C(5) + "0",
                               "Примечание без двоеточия", "", "Другое:  значение"};
    QCOMPARE(rig.settings.StrokiTX, QStringList{QString()} + expected);
    QCOMPARE(rig.read(), original);   // a refresh does not touch the file

    rig.settings.TXconfigSaveParam();
    QCOMPARE(rig.read(), cp1251File(expected));
    QVERIFY(rig.messages.texts.isEmpty());
}

void TestProgramSettings::refreshKeepsSpeedWhenNoneSelected()
{
    Rig rig;
    rig.write(cp1251File({AS + "3", AH + "2"}));
    rig.settings.TXconfigLoadParam();
    // No speed list in the file: the built-in one serves, and the file's choice selects from it.
    QCOMPARE(rig.link.choices().speedText(), QStringLiteral("115200"));
    QCOMPARE(rig.link.UsbComPortSpeed, 115200);
    rig.refresh();
    QCOMPARE(rig.settings.StrokiTX, (QStringList{QString(), AS + "3", AH + "2"}));
}

void TestProgramSettings::saveWithoutRefreshWritesLinesAsRead()
{
    Rig rig;
    const QByteArray original = cp1251File({P + "1", AP + "1", C(5) + "1"});
    rig.write(original);
    rig.settings.TXconfigLoadParam();
    rig.link.UsbComPortNumber = 4;
    rig.options.setCheckState(5, 0);
    rig.settings.TXconfigSaveParam();
    QCOMPARE(rig.read(), original);
}

void TestProgramSettings::roundTripIsByteExact_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");

    QByteArray everyHighByte;
    for (int b = 0x80; b <= 0xFF; ++b)
        everyHighByte += char(b);
    const QStringList lines{P + "3", S + "9600", AP + "3", AS + "1", AH + "2", C(1) + "1", C(3) + "0",
                            "Примечание: ёЁ№ «кавычки»"};
    QByteArray utf8;
    for (const QString &line : lines)
        utf8 += line.toUtf8() + "\r\n";

    QTest::newRow("Windows-1251") << cp1251File(lines) << false;
    QTest::newRow("Windows-1251, every byte above 127")
        << cp1251File(lines) + "Байты:x" + everyHighByte + "x\r\n" << false;
    QTest::newRow("UTF-8") << utf8 << true;
    QTest::newRow("UTF-8 with byte order mark") << QByteArray("\xEF\xBB\xBF") + utf8 << true;
}

void TestProgramSettings::roundTripIsByteExact()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    Rig rig;
    rig.write(bytes);
    rig.settings.TXconfigLoadParam();
    QCOMPARE(rig.settings.isUtf8(), utf8);
    // The Cyrillic keys were recognised in either encoding.
    QCOMPARE(rig.link.UsbComPortNumber, 3);
    QCOMPARE(rig.link.choices().portItems(), QStringList{"3"});
    QCOMPARE(rig.link.UsbComPortHandshaking, 2);
    rig.refresh();
    rig.settings.TXconfigSaveParam();
    QCOMPARE(rig.read(), bytes);
}

void TestProgramSettings::missingFileStartsWithDefaults()
{
    Rig rig;
    rig.settings.TXconfigLoadParam();

    QCOMPARE(rig.link.choices().portItems(), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));
    QCOMPARE(rig.link.choices().speedItems(), (QStringList{"9600", "19200", "115200"}));
    QCOMPARE(rig.link.choices().speedText(), QStringLiteral("9600"));
    QCOMPARE(rig.link.UsbComPortSpeed, 9600);
    QCOMPARE(rig.link.UsbComPortNumber, 1);
    QCOMPARE(rig.link.UsbComPortHandshaking, 1);
    QCOMPARE(checkStates(rig.options), QStringLiteral("11001"));
    QVERIFY(rig.supervisor.Avtopoisk);
    QVERIFY(!rig.supervisor.UseLastSucsessConnection);
    QVERIFY(!rig.settings.wizardAtStart());
    QVERIFY(rig.messages.texts.isEmpty());
    // The automatic search walks these lines.
    QCOMPARE(rig.settings.StrokiTX, QStringList{QString()} + ProgramSettings::defaultLines());

    // The first save brings the file into being.
    QVERIFY(rig.settings.canSave());
    rig.settings.TXconfigSaveParam();
    QCOMPARE(rig.read(), ProgramSettings::defaultFileContents());
}

void TestProgramSettings::emptyFileStartsWithDefaultsUntilUserSaves_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved");
    const QByteArray defaults = ProgramSettings::defaultFileContents();
    QTest::newRow("no bytes") << QByteArray() << defaults;
    QTest::newRow("blank lines") << QByteArray("  \r\n\r\n\t\r\n") << defaults;
    // Left by an editor that writes UTF-8: the file keeps its encoding.
    QTest::newRow("byte order mark only")
        << QByteArray("\xEF\xBB\xBF") << ProgramSettings::encodeLines(ProgramSettings::defaultLines(), true, true);
}

void TestProgramSettings::emptyFileStartsWithDefaultsUntilUserSaves()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);
    Rig rig;
    rig.write(bytes);
    rig.settings.TXconfigLoadParam();
    QCOMPARE(rig.link.choices().portItems(), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));
    QCOMPARE(rig.link.UsbComPortSpeed, 9600);
    QCOMPARE(checkStates(rig.options), QStringLiteral("11001"));
    QVERIFY(rig.supervisor.Avtopoisk);

    // Saves the program makes on its own (on identification, at the end) leave the file alone.
    rig.refresh();
    rig.settings.TXconfigSaveParam();
    QCOMPARE(rig.read(), bytes);
    QVERIFY(rig.queue.LinkFree());
    // The user's save writes the settings in use.
    rig.settings.saveByUser(rig.unit.choice());
    QCOMPARE(rig.read(), saved);
    QVERIFY(rig.messages.texts.isEmpty());
}

void TestProgramSettings::readIsBounded_data()
{
    QTest::addColumn<int>("commentLines");
    QTest::addColumn<int>("commentLength");
    QTest::addColumn<int>("linesRead");   // 0: all of them
    const int keys = 3;
    QTest::newRow("at the line bound") << ProgramSettings::kMaxLines - keys << 10 << 0;
    QTest::newRow("one line past it") << ProgramSettings::kMaxLines - keys + 1 << 10 << ProgramSettings::kMaxLines;
    QTest::newRow("far past it") << 20000 << 10 << ProgramSettings::kMaxLines;
    QTest::newRow("one line of 2 MiB") << 1 << (2 << 20) << keys;
}

void TestProgramSettings::readIsBounded()
{
    QFETCH(int, commentLines);
    QFETCH(int, commentLength);
    QFETCH(int, linesRead);
    Rig rig;
    const QByteArray comment = QByteArray(commentLength, 'x') + "\r\n";
    const QByteArray bytes = cp1251File({P + "5", AP + "5", C(1) + "1"}) + comment.repeated(commentLines);
    rig.write(bytes);
    rig.settings.TXconfigLoadParam();

    QCOMPARE(rig.link.choices().portItems(), QStringList{"5"});
    QCOMPARE(rig.link.UsbComPortNumber, 5);
    QCOMPARE(rig.settings.KolichestvoStrokTX, linesRead ? linesRead : 3 + commentLines);
    QCOMPARE(rig.settings.isTruncated(), linesRead != 0);
    QCOMPARE(rig.messages.texts.size(), linesRead ? 1 : 0);
    if (linesRead)
        QVERIFY(rig.messages.texts.first().contains(QString::number(linesRead)));
    // A file read only in part is never written back, by the program or by the user.
    rig.refresh();
    rig.settings.TXconfigSaveParam();
    rig.settings.saveByUser(rig.unit.choice());
    if (linesRead) {
        QCOMPARE(rig.read(), bytes);
        // Only the user's save is answered.
        QCOMPARE(rig.messages.texts.size(), 2);
        QCOMPARE(rig.messages.texts.last(),
                 rig.path() + QStringLiteral(": файл настроек программы слишком велик, настройки в него не сохранены. "
                                             "Файл не изменён: уменьшите, удалите или переименуйте его, и программа "
                                             "создаст новый."));
    } else {
        QVERIFY(rig.messages.texts.isEmpty());
    }
}

void TestProgramSettings::loadAnnouncesChoicesOnce()
{
    Rig rig;
    QStringList lines;
    for (int port = 1; port <= 900; ++port)
        lines << P + QString::number(port);
    lines << S + "9600" << S + "19200" << AP + "3" << AS + "2" << AH + "2";
    rig.write(cp1251File(lines));
    QSignalSpy changes(&rig.link, &SerialLink::stateChanged);
    rig.settings.TXconfigLoadParam();
    QCOMPARE(rig.link.choices().portItems().size(), 900);
    QCOMPARE(rig.link.choices().speedText(), QStringLiteral("19200"));
    // The serial page rebuilds its lists once per load, not once per line.
    QCOMPARE(changes.count(), 1);
}

void TestProgramSettings::strayBytesKeepTheKeys_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    const auto utf8File = [](const QStringList &lines) {
        QByteArray out;
        for (const QString &line : lines)
            out += line.toUtf8() + "\r\n";
        return out;
    };
    const QStringList keys{P + "3", AP + "3", AH + "2", C(1) + "1"};
    QTest::newRow("UTF-8, stray byte on an unused line")
        << utf8File(keys) + "Заметка: \xFF\r\n" << true;
    QTest::newRow("UTF-8, stray byte before the keys")
        << "\x98\r\n" + utf8File(keys) << true;
    QTest::newRow("UTF-8 with byte order mark, stray byte")
        << "\xEF\xBB\xBF" + utf8File(keys) + "\xC0\r\n" << true;
    QTest::newRow("Windows-1251 keys, a UTF-8 note")
        << cp1251File(keys) + QStringLiteral("Заметка").toUtf8() + "\r\n" << false;
    QTest::newRow("UTF-8, CR line ends, stray byte")
        << QByteArray(utf8File(keys)).replace("\r\n", "\r") + "\xFF\r" << true;
    QTest::newRow("UTF-8, LF line ends, stray byte first, last line without an end")
        << "\xFF\n" + QByteArray(utf8File(keys)).replace("\r\n", "\n").chopped(1) << true;
    QTest::newRow("UTF-8, LF CR line ends, stray byte")
        << QByteArray(utf8File(keys)).replace("\r\n", "\n\r") + "\xFE\n\r" << true;
}

void TestProgramSettings::strayBytesKeepTheKeys()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    Rig rig;
    rig.write(bytes);
    rig.settings.TXconfigLoadParam();
    QCOMPARE(rig.settings.isUtf8(), utf8);
    QCOMPARE(rig.link.choices().portItems(), QStringList{"3"});
    QCOMPARE(rig.link.UsbComPortNumber, 3);
    QCOMPARE(rig.link.UsbComPortHandshaking, 2);
    rig.refresh();
    const QStringList firstLines = rig.settings.StrokiTX;
    rig.settings.TXconfigSaveParam();
    const QByteArray firstSave = rig.read();

    // Load, save and load again: the same settings, the same lines, the same file.
    Rig again;
    again.write(firstSave);
    again.settings.TXconfigLoadParam();
    QCOMPARE(again.settings.isUtf8(), utf8);
    QCOMPARE(again.settings.StrokiTX, firstLines);
    QCOMPARE(again.link.UsbComPortNumber, 3);
    QCOMPARE(again.link.UsbComPortHandshaking, 2);
    QCOMPARE(checkStates(again.options), checkStates(rig.options));
    again.refresh();
    again.settings.TXconfigSaveParam();
    QCOMPARE(again.read(), firstSave);
}

void TestProgramSettings::unreadableFileIsNeverReplaced_data()
{
    QTest::addColumn<bool>("folder");          // a folder where the file should be; else random bytes
    QTest::addColumn<QString>("atLoad");       // after the path
    QTest::addColumn<QString>("atSave");
    QTest::addColumn<QString>("savePrefix");   // before the path
    QTest::addColumn<int>("savesTold");        // of an automatic save and the user's
    QTest::newRow("a folder") << true
                              << QStringLiteral(": это папка, а не файл. Используются настройки по умолчанию; программа "
                                                "не будет перезаписывать этот файл.")
                              << QStringLiteral(": это папка, а не файл. Файл не изменён.")
                              << QStringLiteral("Ошибка открытия файла конфигурации программы : 75\n") << 2;
    QTest::newRow("random bytes, no setting among them")
        << false
        << QStringLiteral(": в файле нет ни одной строки настроек программы. Используются настройки по умолчанию; "
                          "программа не будет перезаписывать этот файл.")
        << QStringLiteral(": в файле нет ни одной строки настроек программы. Файл не изменён: удалите или "
                          "переименуйте его, и программа создаст новый.")
        << QString() << 1;
}

void TestProgramSettings::unreadableFileIsNeverReplaced()
{
    QFETCH(bool, folder);
    QFETCH(QString, atLoad);
    QFETCH(QString, atSave);
    QFETCH(QString, savePrefix);
    QFETCH(int, savesTold);
    Rig rig;
    QByteArray bytes;
    if (folder) {
        QVERIFY(QDir().mkpath(rig.path()));
    } else {
        for (int i = 0; i < 3000; ++i)
            bytes += char((i * 7919 + 13) % 256);
        rig.write(bytes);
    }
    rig.settings.TXconfigLoadParam();
    QCOMPARE(rig.link.choices().portItems().size(), 8);
    QVERIFY(rig.supervisor.Avtopoisk);
    QVERIFY(!rig.settings.canSave());
    // Said at the load: the defaults are in use and the file stays.
    QCOMPARE(rig.messages.texts, QStringList{savePrefix + rig.path() + atLoad});
    rig.messages.texts.clear();

    rig.refresh();
    // Said on every save of a folder, the user's button included; binary bytes only at the user's (the load said
    // it). Nothing is written.
    QVERIFY(!rig.settings.TXconfigSaveParam());
    QVERIFY(!rig.settings.saveByUser(rig.unit.choice()));
    if (folder)
        QVERIFY(QFileInfo(rig.path()).isDir());
    else
        QCOMPARE(rig.read(), bytes);
    const QString said = savePrefix + rig.path() + atSave;
    QCOMPARE(rig.messages.texts, QStringList(savesTold, said));
    QVERIFY(rig.queue.LinkFree());
}

void TestProgramSettings::saveBeforeLoadLeavesFileAlone()
{
    Rig rig;
    const QByteArray original = cp1251File({P + "1", P + "2", AP + "2", C(1) + "1"});
    rig.write(original);
    rig.refresh();
    rig.settings.TXconfigSaveParam();
    QCOMPARE(rig.read(), original);
    QVERIFY(rig.messages.texts.isEmpty());
    QVERIFY(rig.queue.LinkFree());

    Rig fresh;
    fresh.settings.TXconfigSaveParam();
    QVERIFY(!QFile::exists(fresh.path()));
}

void TestProgramSettings::failedSaveReportsOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("replaceByFolder");
    QTest::addColumn<QString>("message");
    QTest::newRow("folder missing") << "Нет/TX.cfg" << false
                                    << ProgramSettings::kOpenError + "76\n%1: папка не найдена. Файл не создан.";
    QTest::newRow("file became a folder") << "Service/TX.cfg" << true
                                          << ProgramSettings::kOpenError + "75\n%1: это папка, а не файл. Файл не изменён.";
}

void TestProgramSettings::failedSaveReportsOnce()
{
    QFETCH(QString, name);
    QFETCH(bool, replaceByFolder);
    QFETCH(QString, message);
    Rig rig(name);
    if (replaceByFolder)
        rig.write(cp1251File({P + "1", AP + "1"}));
    rig.settings.TXconfigLoadParam();
    if (replaceByFolder) {
        QVERIFY(QFile::remove(rig.path()));
        QVERIFY(QDir().mkpath(rig.path()));
    }
    rig.supervision.start(200);
    rig.link.pollTimer().start();
    QList<bool> whileShown;
    rig.messages.probe = [&] {
        whileShown << rig.supervision.isActive() << rig.link.pollTimer().isActive() << rig.queue.LinkFree();
    };

    rig.unit.whileSettingsFileInUse([&] { rig.settings.TXconfigSaveParam(); });

    QCOMPARE(rig.messages.texts, QStringList{message.arg(rig.path())});
    QCOMPARE(whileShown, (QList<bool>{false, false, false}));
    QVERIFY(rig.supervision.isActive());
    QVERIFY(rig.link.pollTimer().isActive());
    QVERIFY(rig.queue.LinkFree());
    if (replaceByFolder)
        QVERIFY(QFileInfo(rig.path()).isDir());
}

void TestProgramSettings::timersPausedAndRestored_data()
{
    QTest::addColumn<bool>("supervision");
    QTest::addColumn<bool>("poll");
    QTest::newRow("both running") << true << true;
    QTest::newRow("supervision only") << true << false;
    QTest::newRow("poll only") << false << true;
    QTest::newRow("neither") << false << false;
}

void TestProgramSettings::timersPausedAndRestored()
{
    QFETCH(bool, supervision);
    QFETCH(bool, poll);
    Rig rig;
    rig.write(cp1251File({C(1) + "1", C(5) + "1"}));
    if (supervision)
        rig.supervision.start(200);
    if (poll)
        rig.link.pollTimer().start();

    QList<bool> duringLoad;
    connect(&rig.options, &ProgramOptions::changed, &rig.options, [&] {
        duringLoad << rig.supervision.isActive() << rig.link.pollTimer().isActive() << rig.queue.LinkFree();
    });
    rig.unit.whileSettingsFileInUse([&] { rig.settings.TXconfigLoadParam(); });
    QCOMPARE(duringLoad, (QList<bool>{false, false, false, false, false, false}));
    QCOMPARE(rig.supervision.isActive(), supervision);
    QCOMPARE(rig.link.pollTimer().isActive(), poll);

    rig.unit.whileSettingsFileInUse([&] { rig.settings.TXconfigSaveParam(); });
    QCOMPARE(rig.supervision.isActive(), supervision);
    QCOMPARE(rig.link.pollTimer().isActive(), poll);
    QVERIFY(rig.queue.LinkFree());
}

void TestProgramSettings::worksWithoutSupervisionTimer()
{
    // The settings alone, with no unit and no timer: the command line reads them so.
    QTemporaryDir dir;
    RecordingMessageSink messages;
    ProgramOptions options;
    ProgramSettings settings(dir.filePath(QStringLiteral("TX.cfg")), options, messages);
    settings.TXconfigLoadParam();
    QCOMPARE(settings.portItems().size(), 8);
    settings.TXconfigSaveParam();
    QCOMPARE(QFile(settings.filePath()).size(), ProgramSettings::defaultFileContents().size());
}


// A port numbered while the program runs: one new list line after the last one, written by the next save.
void TestProgramSettings::addedPortJoinsTheList_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("after the last port line")
        << QStringList{P + "1", P + "2", S + "9600", AP + "1"} << 5
        << QStringList{P + "1", P + "2", P + "5", S + "9600", AP + "1"} << QStringList{"1", "2", "5"};
    QTest::newRow("already listed")
        << QStringList{P + " 3", S + "9600"} << 3 << QStringList{P + " 3", S + "9600"} << QStringList{"3"};
    QTest::newRow("no port lines: first")
        << QStringList{S + "9600", AP + "1"} << 2 << QStringList{P + "2", S + "9600", AP + "1"} << QStringList{"2"};
    QTest::newRow("not a port number")
        << QStringList{P + "1", S + "9600"} << 0 << QStringList{P + "1", S + "9600"} << QStringList{"1"};
}

void TestProgramSettings::addedPortJoinsTheList()
{
    QFETCH(QStringList, file);
    QFETCH(int, number);
    QFETCH(QStringList, saved);
    QFETCH(QStringList, items);
    for (bool beforeLoad : {false, true}) {
        Rig rig;
        rig.write(cp1251File(file));
        if (beforeLoad)
            rig.settings.addPortNumber(number);   // waits for the load
        rig.settings.TXconfigLoadParam();
        if (!beforeLoad)
            rig.settings.addPortNumber(number);
        QCOMPARE(rig.link.choices().portItems(), items);
        QCOMPARE(rig.read(), cp1251File(file));   // nothing written yet
        rig.settings.TXconfigSaveParam();
        QCOMPARE(rig.read(), cp1251File(saved));
        rig.settings.TXconfigLoadParam();   // a reload keeps it, once
        QCOMPARE(rig.link.choices().portItems(), items);
    }
}

// The model tells its readers once per load and once per refresh; a save changes no value.
void TestProgramSettings::changesAnnouncedOncePerBatch_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("loaded");
    QTest::addColumn<int>("changed");
    QTest::newRow("load") << "load" << 1 << 1;
    QTest::newRow("refresh") << "refresh" << 0 << 1;
    QTest::newRow("save") << "save" << 0 << 0;
    QTest::newRow("save by the user") << "user" << 0 << 1;
}

void TestProgramSettings::changesAnnouncedOncePerBatch()
{
    QFETCH(QString, step);
    QFETCH(int, loaded);
    QFETCH(int, changed);
    QTemporaryDir dir;
    RecordingMessageSink messages;
    ProgramOptions options;
    ProgramSettings settings(dir.filePath(QStringLiteral("TX.cfg")), options, messages);
    QFile file(settings.filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QStringList lines;
    for (int port = 1; port <= 50; ++port)
        lines << P + QString::number(port);
    lines << S + "9600" << S + "19200" << AP + "7" << AS + "2" << AH + "3" << C(1) + "1" << C(5) + "1";
    file.write(cp1251File(lines));
    file.close();
    if (step != QLatin1String("load"))
        settings.TXconfigLoadParam();
    QSignalSpy loadedSpy(&settings, &ProgramSettings::loaded);
    QSignalSpy changedSpy(&settings, &ProgramSettings::changed);
    ProgramSettings::Choice choice;
    choice.port = 4;
    choice.speedIndex = 0;
    choice.handshakeIndex = 1;
    if (step == QLatin1String("load"))
        settings.TXconfigLoadParam();
    else if (step == QLatin1String("refresh"))
        settings.TXconfigUpdateParam(choice);
    else if (step == QLatin1String("save"))
        settings.TXconfigSaveParam();
    else
        settings.saveByUser(choice);
    QCOMPARE(loadedSpy.count(), loaded);
    QCOMPARE(changedSpy.count(), changed);
    // What a reader finds once told: the file's values, or the unit's choice after a refresh.
    const bool refreshed = step == QLatin1String("refresh") || step == QLatin1String("user");
    QCOMPARE(settings.portItems().size(), 50);
    QCOMPARE(settings.speedItems(), (QStringList{"9600", "19200"}));
    QCOMPARE(settings.activePort(), std::optional<int>(refreshed ? 4 : 7));
    QCOMPARE(settings.speedIndex(), refreshed ? 0 : 1);
    QCOMPARE(settings.handshakeIndex(), std::optional<int>(refreshed ? 1 : 2));
    QCOMPARE(settings.loadedOption(1), std::optional<int>(1));
    QCOMPARE(settings.loadedOption(4), std::optional<int>());
}

QTEST_GUILESS_MAIN(TestProgramSettings)
#include "tst_programsettings.moc"
