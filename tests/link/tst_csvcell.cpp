#include <QtTest>
#include "link/CsvCell.h"

// A unit's name or text in a CSV file is never taken by a spreadsheet as a formula (the terminal's
// side: tst_runner).
class TestCsvCell : public QObject {
    Q_OBJECT
private slots:
    void csvTextCellsAreNeverFormulas_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("written");
        for (const char *formula : {"=HYPERLINK(\"x\")", "+1+A1", "-A1", "@SUM(A1)"})
            QTest::newRow(formula) << QString::fromUtf8(formula) << QLatin1Char('\'') + QString::fromUtf8(formula);
        QTest::newRow("= and ESC") << "=A\x1B" << "'=A\\x1B";
        for (const char *number : {"-5", "-3.5", "-3,5"})
            QTest::newRow(number) << QString::fromLatin1(number) << QString::fromLatin1(number);
        QTest::newRow("= inside") << "Вход 1=Пожар" << "Вход 1=Пожар";
    }
    void csvTextCellsAreNeverFormulas()
    {
        QFETCH(QString, cell);
        QFETCH(QString, written);
        QCOMPARE(CsvCell::text(cell), written);
    }
};

QTEST_GUILESS_MAIN(TestCsvCell)
#include "tst_csvcell.moc"
