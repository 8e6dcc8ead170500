#include "link/Cp1251.h"
#include "settings/ProgramFolder.h"
#include "settings/ProgramSettings.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestProgramFolder : public QObject {
    Q_OBJECT
private slots:
    void choosesFolder_data();
    void choosesFolder();
    void pathsBelowTheFolder();
    void firstStartCreatesDefaults();
    void existingFileIsKept();
    void portableFolderIsLeftAlone();
    void defaultFileIsWindows1251WithCrLf();
    void cannotCreateReportsFailure();
};

void TestProgramFolder::choosesFolder_data()
{
    QTest::addColumn<QString>("beside");     // what stands beside the executable: "", "dir", "file"
    QTest::addColumn<bool>("portable");
    QTest::newRow("Service folder beside: portable") << "dir" << true;
    QTest::newRow("nothing beside: user data") << "" << false;
    QTest::newRow("Service is a file: user data") << "file" << false;
}

void TestProgramFolder::choosesFolder()
{
    QFETCH(QString, beside);
    QFETCH(bool, portable);
    QTemporaryDir exe, data;
    if (beside == QLatin1String("dir"))
        QVERIFY(QDir(exe.path()).mkdir(QStringLiteral("Service")));
    if (beside == QLatin1String("file")) {
        QFile f(exe.filePath(QStringLiteral("Service")));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const ProgramFolder folder(exe.path(), data.path() + QStringLiteral("/tarviks"));
    QCOMPARE(folder.isPortable(), portable);
    QCOMPARE(folder.path(), portable ? exe.path() : data.path() + QStringLiteral("/tarviks"));
}

void TestProgramFolder::pathsBelowTheFolder()
{
    QTemporaryDir exe;
    const ProgramFolder folder(exe.path(), QStringLiteral("/home/u/.local/share/tarviks/"));
    QCOMPARE(folder.path(), QStringLiteral("/home/u/.local/share/tarviks"));
    QCOMPARE(folder.settingsFile(), QStringLiteral("/home/u/.local/share/tarviks/Service/TX.cfg"));
    QCOMPARE(folder.portsFolder(), QStringLiteral("/home/u/.local/share/tarviks/Service/ports"));
    QCOMPARE(folder.configurationsFolder(), QStringLiteral("/home/u/.local/share/tarviks/Конфигурации/"));
    QCOMPARE(folder.firmwareFolder(), QStringLiteral("/home/u/.local/share/tarviks/Прошивки/"));
}

void TestProgramFolder::firstStartCreatesDefaults()
{
    QTemporaryDir exe, data;
    const ProgramFolder folder(exe.path(), data.filePath(QStringLiteral("a/tarviks")));
    QVERIFY(folder.prepare());
    QFile file(folder.settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ProgramSettings::defaultFileContents());
    QVERIFY(QFileInfo(folder.configurationsFolder()).isDir());
    QVERIFY(QFileInfo(folder.firmwareFolder()).isDir());
    // A second start finds everything in place.
    QVERIFY(folder.prepare());
}

void TestProgramFolder::existingFileIsKept()
{
    QTemporaryDir exe, data;
    const ProgramFolder folder(exe.path(), data.path());
    QVERIFY(QDir(data.path()).mkpath(QStringLiteral("Service")));
    const QByteArray mine = Cp1251::encode(QStringLiteral("Акт индекс номера порта:5\r\n"));
    {
        QFile f(folder.settingsFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(mine);
    }
    QVERIFY(folder.prepare());
    QFile f(folder.settingsFile());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), mine);
}

void TestProgramFolder::portableFolderIsLeftAlone()
{
    QTemporaryDir exe, data;
    QVERIFY(QDir(exe.path()).mkdir(QStringLiteral("Service")));
    const ProgramFolder folder(exe.path(), data.path());
    QVERIFY(folder.prepare());
    QVERIFY(!QFile::exists(folder.settingsFile()));
    QVERIFY(!QFile::exists(data.filePath(QStringLiteral("Service"))));
}

void TestProgramFolder::defaultFileIsWindows1251WithCrLf()
{
    const QByteArray bytes = ProgramSettings::defaultFileContents();
    QVERIFY(bytes.startsWith(Cp1251::encode(QStringLiteral("Доступный номер порта:1\r\n"))));
    QVERIFY(bytes.endsWith("RPF_19.Check5:1\r\n"));
    QCOMPARE(bytes.count("\r\n"), ProgramSettings::defaultLines().size());
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QCOMPARE(Cp1251::decode(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts),
             ProgramSettings::defaultLines());
}

void TestProgramFolder::cannotCreateReportsFailure()
{
    QTemporaryDir exe, data;
    // A file stands where the folder should be made.
    QFile blocker(data.filePath(QStringLiteral("tarviks")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const ProgramFolder folder(exe.path(), blocker.fileName());
    QVERIFY(!folder.prepare());
}

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
