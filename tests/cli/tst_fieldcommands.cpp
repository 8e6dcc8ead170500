#include <QtTest>
#include "../config/ConfigTestRig.h"
#include "../firmware/FirmwareTestRig.h"
#include "unit/ExitCode.h"
#include "cli/FieldCommands.h"
#include "editors/ConfigFields.h"

namespace {

// Runs set, then show on what it wrote; out and err as printed.
struct FieldRun {
    int code = -1;
    QString out;
    QString err;
};

FieldRun runFields(ConfigFiles &files, CliOptions::Command command, const QStringList &operands, bool names = false)
{
    CliOptions options;
    options.command = command;
    options.operands = operands;
    options.names = names;
    FieldRun run;
    FieldCommands commands(files, options, nullptr, [&run](const QString &t) { run.out += t; },
                           [&run](const QString &t) { run.err += t; });
    run.code = commands.run();
    return run;
}

} // namespace

// show's text output as a script reads it, and what set takes.
class TestFieldCommands : public QObject {
    Q_OBJECT
private slots:
    // Every line is "name: value" or a note "# …"; the value runs from the first ": " to the line end.
    void showKeepsOneValueALine()
    {
        ConfigImage image;
        const QByteArray cp1251Text("A\n\xD4\xE5\xE9\xEA: 1", 9);   // "A", a line break, "Фейк: 1"
        for (int i = 0; i < 64; ++i)
            image.setByte(321 + i, i < cp1251Text.size() ? static_cast<unsigned char>(cp1251Text.at(i)) : 0);
        for (int i = 0; i < 64; ++i)
            image.setByte(385 + i, 'B');   // "Вход 3" without its terminating zero: red
        const QStringList lines = FieldCommands::showText(ConfigFields(image).values()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);

        QStringList names;
        for (const QString &line : lines) {
            if (line.startsWith(QLatin1String("# ")))
                continue;
            const qsizetype colon = line.indexOf(QLatin1String(": "));
            QVERIFY2(colon > 0, qPrintable(line));
            names << line.left(colon);
        }
        // show --names lists the same names, each one set takes.
        ConfigTestRig rig;
        const FieldRun listed = runFields(rig.files, CliOptions::Command::Show, {}, true);
        QCOMPARE(listed.code, ExitCode::Success);
        QCOMPARE(listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), names);
        QCOMPARE(names.first(), QStringLiteral("Вход 1"));
        for (const QString &name : std::as_const(names))
            QVERIFY2(ConfigFields::byName(name), qPrintable(name));
        QVERIFY(lines.contains(QStringLiteral("Вход 2: A␊Фейк: 1")));
        const qsizetype red = lines.indexOf(QRegularExpression(QStringLiteral("Вход 3: .*")));
        QVERIFY(red >= 0 && red + 1 < lines.size());
        QVERIFY(!lines.at(red).contains(QLatin1String("красное")));
        QVERIFY2(lines.at(red + 1).startsWith(QStringLiteral("# Вход 3 — красное поле: от 1 до 60 символов")),
                 qPrintable(lines.at(red + 1)));
    }

    void setOperand_data()
    {
        QTest::addColumn<QString>("operand");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");   // the line show prints afterwards, or a part of set's error
        QTest::newRow("blanks around = go, those inside stay") << "Вход 1 =  Пожар  в зале" << ExitCode::Success
                                                               << "Вход 1: Пожар  в зале";
        QTest::newRow("line break refused") << "Вход 2=A\nФейк: 1" << ExitCode::BadFile
                                            << "Вход 2: значение «A␊Фейк: 1» не принято — управляющий символ с кодом 10";
    }
    void setOperand()
    {
        QFETCH(QString, operand);
        QFETCH(int, code);
        QFETCH(QString, shown);
        ConfigTestRig rig;
        const QString file = rig.path(QStringLiteral("site.cf"));
        const QByteArray before = ConfigFiles::formatLine(QByteArray(64, '\0')).repeated(37);
        QVERIFY(writeFile(file, before));

        const FieldRun set = runFields(rig.files, CliOptions::Command::Set, {file, operand});
        QCOMPARE(set.code, code);
        if (code != ExitCode::Success) {
            QVERIFY2(set.err.contains(shown), qPrintable(set.err));
            QVERIFY(readFile(file) == before);
            return;
        }
        const FieldRun show = runFields(rig.files, CliOptions::Command::Show, {file});
        QVERIFY2(show.out.split(QLatin1Char('\n')).contains(shown), qPrintable(show.out));
    }
};

QTEST_GUILESS_MAIN(TestFieldCommands)
#include "tst_fieldcommands.moc"
