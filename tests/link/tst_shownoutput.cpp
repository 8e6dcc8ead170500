#include <QtTest>
#include "link/CsvCell.h"
#include "link/ShownText.h"

// A unit's name or text is shown, never obeyed: not by a terminal, not by a spreadsheet.
class TestShownOutput : public QObject {
    Q_OBJECT
private slots:
    void controlCharactersBecomeEscapes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("lines");   // a message: its own line ends stay
        QTest::newRow("ESC and BEL") << QStringLiteral("A\x1B[2JB\x07") << QStringLiteral("A\\x1B[2JB\\x07")
                                     << QStringLiteral("A\\x1B[2JB\\x07");
        QTest::newRow("line ends") << QStringLiteral("A\r\nB") << QStringLiteral("A\\x0D\\x0AB")
                                   << QStringLiteral("A\\x0D\nB");
        QTest::newRow("NUL, tab, DEL, C1") << QStringLiteral("\t") + QChar(0) + QChar(0x7F) + QChar(0x9B)
                                           << QStringLiteral("\\x09\\x00\\x7F\\x9B") << QStringLiteral("\\x09\\x00\\x7F\\x9B");
        QTest::newRow("Cyrillic and signs stay") << QStringLiteral("ЗОРГЕЛ-GSM8T «Склад» №1")
                                                 << QStringLiteral("ЗОРГЕЛ-GSM8T «Склад» №1")
                                                 << QStringLiteral("ЗОРГЕЛ-GSM8T «Склад» №1");
    }
    void controlCharactersBecomeEscapes()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QString, lines);
        QCOMPARE(ShownText::escaped(text), shown);
        QCOMPARE(ShownText::escapedLines(text), lines);
    }

    void csvTextCellsAreNeverFormulas_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("written");
        QTest::newRow("=") << QStringLiteral("=HYPERLINK(\"x\")") << QStringLiteral("'=HYPERLINK(\"x\")");
        QTest::newRow("+") << QStringLiteral("+1+A1") << QStringLiteral("'+1+A1");
        QTest::newRow("-") << QStringLiteral("-A1") << QStringLiteral("'-A1");
        QTest::newRow("@") << QStringLiteral("@SUM(A1)") << QStringLiteral("'@SUM(A1)");
        QTest::newRow("= with ESC") << QStringLiteral("=A\x1B") << QStringLiteral("'=A\\x1B");
        QTest::newRow("a temperature stays a number") << QStringLiteral("-5") << QStringLiteral("-5");
        QTest::newRow("decimal point") << QStringLiteral("-3.5") << QStringLiteral("-3.5");
        QTest::newRow("decimal comma") << QStringLiteral("-3,5") << QStringLiteral("-3,5");
        QTest::newRow("= inside") << QStringLiteral("Вход 1=Пожар") << QStringLiteral("Вход 1=Пожар");
    }
    void csvTextCellsAreNeverFormulas()
    {
        QFETCH(QString, cell);
        QFETCH(QString, written);
        QCOMPARE(CsvCell::text(cell), written);
    }
};

QTEST_GUILESS_MAIN(TestShownOutput)
#include "tst_shownoutput.moc"
