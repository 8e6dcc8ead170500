#include <QtTest>
#include "config/ConfigImage.h"
#include "editors/FieldCodec.h"
#include "editors/FieldEditor.h"
#include "editors/FieldMaps.h"

// The editing rules of the settings pages over the image, typed keystroke by keystroke.
class TestFieldEditor : public QObject {
    Q_OBJECT

    static const QList<FieldSpec> &allFields()
    {
        static const QList<FieldSpec> fields =
            FieldMaps::basicSettings() + FieldMaps::simSettings() + FieldMaps::inputThresholds();
        return fields;
    }
    // Cells from position on, "41 00" ("--" empty).
    static void put(ConfigImage &image, int position, const QString &cells)
    {
        for (const QString &c : cells.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            image.setCell(position++, c == QLatin1String("--") ? QString() : c);
    }
    static QString take(const ConfigImage &image, int position, int count)
    {
        QStringList out;
        for (int i = 0; i < count; ++i)
            out << (image.cell(position + i).isEmpty() ? QStringLiteral("--") : image.cell(position + i));
        return out.join(QLatin1Char(' '));
    }
    // A read unit: every cell "FF" except what the rows put.
    static void fill(ConfigImage &image)
    {
        for (int p = 1; p <= ConfigImage::kImageSize; ++p)
            image.setCell(p, QStringLiteral("FF"));
    }
    static QStringList cells(const ConfigImage &image)
    {
        QStringList out;
        for (int p = 0; p <= ConfigImage::kLastPosition; ++p)
            out << image.cell(p);
        return out;
    }
    // Steps "KEY=text" one after the other; "KEY#" ends the edit of that box (focus moves on).
    static void type(FieldEditor &editor, const QString &steps)
    {
        for (const QString &step : steps.split(QLatin1Char('|'))) {
            if (step.endsWith(QLatin1Char('#'))) {
                editor.finishEdit(step.chopped(1));
                continue;
            }
            const qsizetype eq = step.indexOf(QLatin1Char('='));
            editor.edit(step.left(eq), step.mid(eq + 1));
        }
    }

private slots:
    // A box that ends invalid leaves its cells as they were when the edit began; nothing else moves.
    void noHalfTypedValue_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("invalid");
        QTest::newRow("temperature 100") << 1578 << "28 00" << "T1L=1|T1L=10|T1L=100" << "28 00" << true;
        QTest::newRow("temperature 25") << 1578 << "28 00" << "T1L=2|T1L=25" << "32 00" << false;
        QTest::newRow("temperature lone minus") << 1578 << "28 00" << "T1L=-" << "28 00" << true;
        QTest::newRow("temperature 1-2") << 1578 << "28 00" << "T1L=1|T1L=1-|T1L=1-2" << "28 00" << true;
        QTest::newRow("temperature 5-") << 1578 << "28 00" << "T1L=5|T1L=5-" << "28 00" << true;
        QTest::newRow("temperature cleared is 0") << 1576 << "2E 00" << "T1H=2|T1H=" << "FC FF" << false;
        QTest::newRow("relay -5 typed") << 1544 << "00 2C" << "R1D=-|R1D=-5" << "FF F6" << false;
        QTest::newRow("later edit keeps the earlier store")
            << 1578 << "28 00" << "T1L=2|T1L=25|T1L#|T1L=25.|T1L=25.5" << "32 00" << true;
        QTest::newRow("message cleared") << 257 << "41 4C 41 52 4D 00"
                                         << "Z1TEXT=ALAR|Z1TEXT=ALA|Z1TEXT=AL|Z1TEXT=A|Z1TEXT=" << "41 4C 41 52 4D 00"
                                         << true;
        QTest::newRow("message shortened") << 257 << "41 4C 41 52 4D 00" << "Z1TEXT=ALAR|Z1TEXT=AL"
                                           << "41 4C 00 52 00 00" << false;
        QTest::newRow("message with a snowman") << 257 << "41 00" << "Z1TEXT=AB|Z1TEXT=AB☃" << "41 00 FF" << true;
        QTest::newRow("number half typed") << 1025 << "2B 37 00" << "00 SMS=+|00 SMS=+7|00 SMS=+7916"
                                           << "2B 37 00" << true;
        QTest::newRow("number completed") << 1025 << "2B 37 00"
                                          << "00 SMS=+7916123456|00 SMS=+79161234567"
                                          << "2B 37 39 31 36 31 32 33 34 35 36 37 00" << false;
        QTest::newRow("Zaderjka three digits") << 1681 << "33 30 00" << "Zaderjka=1|Zaderjka=10|Zaderjka=100"
                                               << "33 30 00" << true;
        QTest::newRow("Mikrofon overflow") << 1969 << "38 00" << "Mikrofon=99999999999" << "38 00" << true;
        QTest::newRow("free text starting -5 is below 0") << 1473 << "41 00" << "Systema Zorgel Text=-5 dacha"
                                                          << "41 00" << true;
        QTest::newRow("free text starting 5") << 1473 << "41 00" << "Systema Zorgel Text=5 dacha"
                                              << "35 20 64 61 63 68 61 00" << false;
        QTest::newRow("threshold 255 typed") << 1377 << "50" << "ZH1=2|ZH1=25|ZH1=255" << "50" << true;
        QTest::newRow("threshold 1000") << 1377 << "50" << "ZH1=1|ZH1=10|ZH1=100|ZH1=1000" << "50" << true;
    }
    void noHalfTypedValue()
    {
        QFETCH(int, position);
        QFETCH(QString, before);
        QFETCH(QString, steps);
        QFETCH(QString, after);
        QFETCH(bool, invalid);
        ConfigImage image;
        fill(image);
        put(image, 1393, QStringLiteral("14"));   // input 1 lower threshold 20
        put(image, position, before);
        FieldEditor editor(image, allFields());
        editor.load();
        QStringList expected = cells(image);
        type(editor, steps);
        const QStringList afterCells = after.split(QLatin1Char(' '));
        for (int i = 0; i < afterCells.size(); ++i)
            expected[position + i] = afterCells.at(i);
        QCOMPARE(cells(image), expected);
        const QString key = steps.left(steps.indexOf(QLatin1Char('=')));
        QCOMPARE(editor.box(key).invalid, invalid);
    }

    // Only an edit that stores marks the image as changed.
    void changedMark_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("changed");
        QTest::newRow("nothing typed") << "" << false;
        QTest::newRow("invalid from the first key") << "T1L=abc" << false;
        QTest::newRow("valid") << "T1L=5" << true;
        QTest::newRow("valid then invalid") << "T1L=5|T1L=5x" << true;
        // A store that changes no cell leaves nothing to write.
        QTest::newRow("the stored temperature typed again") << "T1L=20" << false;
        QTest::newRow("the stored temperature as +20") << "T1L=+20" << false;
        QTest::newRow("the stored text typed again") << "Z1TEXT=ALARM" << false;
        QTest::newRow("the text shortened") << "Z1TEXT=ALAR" << true;
        QTest::newRow("the stored threshold typed again") << "ZH1=50" << false;
        QTest::newRow("the stored number typed again") << "00 SMS=+79161234567" << false;
        QTest::newRow("the flag clicked to its state") << "Syrena!1" << false;
        QTest::newRow("the flag clicked over") << "Syrena!0" << true;
    }
    void changedMark()
    {
        QFETCH(QString, steps);
        QFETCH(bool, changed);
        ConfigImage image;
        fill(image);
        put(image, 1578, QStringLiteral("28 00"));                // T1L 20
        put(image, 257, QStringLiteral("41 4C 41 52 4D 00"));     // ALARM
        put(image, 1377, QStringLiteral("32"));                   // input 1: 50 over 20
        put(image, 1393, QStringLiteral("14"));
        put(image, 1025, QStringLiteral("2B 37 39 31 36 31 32 33 34 35 36 37 00"));
        put(image, 1761, QStringLiteral("31 00"));                // Syrena on
        FieldEditor editor(image, allFields());
        editor.load();
        if (steps.contains(QLatin1Char('!')))
            editor.click(steps.section(QLatin1Char('!'), 0, 0), steps.endsWith(QLatin1Char('1')));
        else if (!steps.isEmpty())
            type(editor, steps);
        QCOMPARE(image.isChanged(), changed);
    }

    // Input 1: upper cell 1377 "32" (50), lower cell 1393 "14" (20).
    void thresholdPairs_data()
    {
        QTest::addColumn<QString>("upperCell");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("cells");   // upper, lower
        QTest::addColumn<bool>("upperRed");
        QTest::addColumn<bool>("lowerRed");
        QTest::newRow("lower above the upper") << "32" << "ZL1=6|ZL1=60" << "32 14" << true << true;
        QTest::newRow("then 40 clears both") << "32" << "ZL1=6|ZL1=60|ZL1#|ZL1=4|ZL1=40" << "32 28" << false << false;
        QTest::newRow("raising the upper stores both")
            << "32" << "ZL1=6|ZL1=60|ZL1#|ZH1=7|ZH1=70" << "46 3C" << false << false;
        QTest::newRow("upper below the lower") << "32" << "ZH1=1|ZH1=10" << "32 14" << true << true;
        QTest::newRow("equal bounds") << "32" << "ZL1=5|ZL1=50" << "32 32" << false << false;
        QTest::newRow("invalid partner counts by its stored value")
            << "32" << "ZH1=abc|ZH1#|ZL1=4|ZL1=45" << "32 2D" << true << false;
        QTest::newRow("invalid partner's stored value still binds")
            << "32" << "ZH1=abc|ZH1#|ZL1=6|ZL1=60" << "32 14" << true << true;
        QTest::newRow("own fault leaves the partner alone") << "32" << "ZL1=1|ZL1=10|ZL1=101" << "32 14" << false
                                                            << true;
        QTest::newRow("partner without data") << "--" << "ZL1=9|ZL1=90" << "-- 5A" << false << false;
        // An edit that stored the partner takes it back when it fails.
        QTest::newRow("raised upper cut back below the lower")
            << "32" << "ZL1=6|ZL1=60|ZL1#|ZH1=7|ZH1=70|ZH1=7" << "32 14" << true << true;
        QTest::newRow("raised upper made too long")
            << "32" << "ZL1=6|ZL1=60|ZL1#|ZH1=7|ZH1=70|ZH1=705" << "32 14" << true << true;
        QTest::newRow("raised upper made invalid")
            << "32" << "ZL1=6|ZL1=60|ZL1#|ZH1=7|ZH1=70|ZH1=7x" << "32 14" << true << true;
        QTest::newRow("raised upper cut back, then raised again")
            << "32" << "ZL1=6|ZL1=60|ZL1#|ZH1=7|ZH1=70|ZH1=7|ZH1=70" << "46 3C" << false << false;
        QTest::newRow("partner in order again is not left red")
            << "32" << "ZL1=6|ZL1=60|ZL1#|ZL1=6|ZL1=" << "32 14" << false << true;
        QTest::newRow("lowered lower restores the raised upper")
            << "32" << "ZH1=1|ZH1=10|ZH1#|ZL1=5|ZL1=abc" << "32 14" << true << true;
    }
    void thresholdPairs()
    {
        QFETCH(QString, upperCell);
        QFETCH(QString, steps);
        QFETCH(QString, cells);
        QFETCH(bool, upperRed);
        QFETCH(bool, lowerRed);
        ConfigImage image;
        put(image, 1377, upperCell);
        put(image, 1393, QStringLiteral("14"));
        FieldEditor editor(image, FieldMaps::inputThresholds());
        editor.load();
        type(editor, steps);
        QCOMPARE(take(image, 1377, 1) + QLatin1Char(' ') + take(image, 1393, 1), cells);
        QCOMPARE(editor.box(QStringLiteral("ZH1")).invalid, upperRed);
        QCOMPARE(editor.box(QStringLiteral("ZL1")).invalid, lowerRed);
        // The image never ends with the lower bound above the upper one.
        if (image.byteAt(1377) >= 0)
            QVERIFY(image.byteAt(1393) <= image.byteAt(1377));
    }

    // The field maps as the settings pages document them, one row per box: key, kind, cells (a
    // temperature's two cells in the order written there: low/high for little-endian, high/low for
    // big-endian), cells shown, lengths, value bounds, character class, and the two cells -99
    // degrees is stored as. Each row is checked against the map the editors use and by storing
    // through the editor.
    void fieldMaps_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("cellA");
        QTest::addColumn<int>("cellB");
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("shownCells");
        QTest::addColumn<int>("minLength");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("minValue");
        QTest::addColumn<QString>("maxValue");
        QTest::addColumn<int>("characterClass");
        QTest::addColumn<QString>("minus99");
        QTest::newRow("Z1TEXT") << "Z1TEXT" << "text" << 257 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z2TEXT") << "Z2TEXT" << "text" << 321 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z3TEXT") << "Z3TEXT" << "text" << 385 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z4TEXT") << "Z4TEXT" << "text" << 449 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z5TEXT") << "Z5TEXT" << "text" << 513 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z6TEXT") << "Z6TEXT" << "text" << 577 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z7TEXT") << "Z7TEXT" << "text" << 641 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z8TEXT") << "Z8TEXT" << "text" << 705 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z9TEXT") << "Z9TEXT" << "text" << 769 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z10TEXT") << "Z10TEXT" << "text" << 833 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z11TEXT") << "Z11TEXT" << "text" << 897 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("Z12TEXT") << "Z12TEXT" << "text" << 961 << 0 << "" << 60 << 1 << 60 << "" << "" << 0 << "";
        QTest::newRow("T1H") << "T1H" << "H" << 1576 << 1577 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "36 FF";
        QTest::newRow("T2H") << "T2H" << "H" << 1580 << 1581 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "36 FF";
        QTest::newRow("T3H") << "T3H" << "H" << 1584 << 1585 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "36 FF";
        QTest::newRow("T4H") << "T4H" << "H" << 1588 << 1589 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "36 FF";
        QTest::newRow("T5H") << "T5H" << "H" << 1592 << 1593 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "36 FF";
        QTest::newRow("T6H") << "T6H" << "H" << 1596 << 1597 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "36 FF";
        QTest::newRow("T1L") << "T1L" << "L" << 1578 << 1579 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "3A FF";
        QTest::newRow("T2L") << "T2L" << "L" << 1582 << 1583 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "3A FF";
        QTest::newRow("T3L") << "T3L" << "L" << 1586 << 1587 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "3A FF";
        QTest::newRow("T4L") << "T4L" << "L" << 1590 << 1591 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "3A FF";
        QTest::newRow("T5L") << "T5L" << "L" << 1594 << 1595 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "3A FF";
        QTest::newRow("T6L") << "T6L" << "L" << 1598 << 1599 << "LE" << 0 << 0 << 0 << "-99" << "99" << 0 << "3A FF";
        QTest::newRow("R1D") << "R1D" << "R" << 1544 << 1545 << "BE" << 0 << 0 << 0 << "-99" << "99" << 0 << "FF 3A";
        QTest::newRow("R1N") << "R1N" << "R" << 1550 << 1551 << "BE" << 0 << 0 << 0 << "-99" << "99" << 0 << "FF 3A";
        QTest::newRow("R2D") << "R2D" << "R" << 1546 << 1547 << "BE" << 0 << 0 << 0 << "-99" << "99" << 0 << "FF 3A";
        QTest::newRow("R2N") << "R2N" << "R" << 1552 << 1553 << "BE" << 0 << 0 << 0 << "-99" << "99" << 0 << "FF 3A";
        QTest::newRow("R3D") << "R3D" << "R" << 1548 << 1549 << "BE" << 0 << 0 << 0 << "-99" << "99" << 0 << "FF 3A";
        QTest::newRow("R3N") << "R3N" << "R" << 1554 << 1555 << "BE" << 0 << 0 << 0 << "-99" << "99" << 0 << "FF 3A";
        QTest::newRow("00 SMS") << "00 SMS" << "phone" << 1025 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("01 SMS") << "01 SMS" << "phone" << 1041 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("02 SMS") << "02 SMS" << "phone" << 1057 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("03 SMS") << "03 SMS" << "phone" << 1073 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("04 SMS") << "04 SMS" << "phone" << 1089 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("05 SMS") << "05 SMS" << "phone" << 1105 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("06 SMS") << "06 SMS" << "phone" << 1121 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("07 SMS") << "07 SMS" << "phone" << 1137 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("08 SMS") << "08 SMS" << "phone" << 1153 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("09 SMS") << "09 SMS" << "phone" << 1169 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("10 DOZVON") << "10 DOZVON" << "phone" << 1185 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("11 DOZVON") << "11 DOZVON" << "phone" << 1201 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("12 DOZVON") << "12 DOZVON" << "phone" << 1217 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("13 DOZVON") << "13 DOZVON" << "phone" << 1233 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("14 DOZVON") << "14 DOZVON" << "phone" << 1249 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("15 DOZVON") << "15 DOZVON" << "phone" << 1265 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("16 DOZVON") << "16 DOZVON" << "phone" << 1281 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("17 DOZVON") << "17 DOZVON" << "phone" << 1297 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("18 DOZVON") << "18 DOZVON" << "phone" << 1313 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("19 DOZVON") << "19 DOZVON" << "phone" << 1329 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("PARTNER1") << "PARTNER1" << "phone" << 1921 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("PARTNER2") << "PARTNER2" << "phone" << 1937 << 0 << "" << 12 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("Systema Zorgel Text") << "Systema Zorgel Text" << "text" << 1473 << 0 << "" << 16 << 1 << 14 << "0" << "" << 0 << "";
        QTest::newRow("Zaderjka") << "Zaderjka" << "text" << 1681 << 0 << "" << 16 << 1 << 2 << "1" << "" << 1 << "";
        QTest::newRow("Parol") << "Parol" << "text" << 1697 << 0 << "" << 16 << 1 << 5 << "0" << "" << 1 << "";
        QTest::newRow("T-datchik rele") << "T-datchik rele" << "text" << 1777 << 0 << "" << 16 << 1 << 3 << "0" << "" << 1 << "";
        QTest::newRow("T-datchik SMS") << "T-datchik SMS" << "text" << 1793 << 0 << "" << 16 << 1 << 6 << "0" << "" << 1 << "";
        QTest::newRow("Balans") << "Balans" << "text" << 1953 << 0 << "" << 16 << 5 << 5 << "0" << "" << 2 << "";
        QTest::newRow("Mikrofon") << "Mikrofon" << "text" << 1969 << 0 << "" << 16 << 1 << 2 << "0" << "15" << 1 << "";
        QTest::newRow("ACTIVE ZONE") << "ACTIVE ZONE" << "text" << 1985 << 0 << "" << 16 << 4 << 12 << "0" << "" << 1 << "";
        QTest::newRow("1kluch") << "1kluch" << "flag" << 1825 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("2kluch") << "2kluch" << "flag" << 1841 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("3kluch") << "3kluch" << "flag" << 1857 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("4kluch") << "4kluch" << "flag" << 1873 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("5kluch") << "5kluch" << "flag" << 1889 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("6kluch") << "6kluch" << "flag" << 1905 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("Systema Zorgel ON") << "Systema Zorgel ON" << "flag" << 1665 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("Otchet") << "Otchet" << "flag" << 1713 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("SMS postanovka") << "SMS postanovka" << "flag" << 1729 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("SMS snjatie") << "SMS snjatie" << "flag" << 1745 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("Syrena") << "Syrena" << "flag" << 1761 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("Rele N1") << "Rele N1" << "flag" << 1809 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("Upravlenie") << "Upravlenie" << "flag" << 2001 << 0 << "" << 0 << 0 << 0 << "" << "" << 0 << "";
        QTest::newRow("ZH1") << "ZH1" << "threshold" << 1377 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH2") << "ZH2" << "threshold" << 1378 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH3") << "ZH3" << "threshold" << 1379 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH4") << "ZH4" << "threshold" << 1380 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH5") << "ZH5" << "threshold" << 1381 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH6") << "ZH6" << "threshold" << 1382 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH7") << "ZH7" << "threshold" << 1383 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH8") << "ZH8" << "threshold" << 1384 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH9") << "ZH9" << "threshold" << 1385 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH10") << "ZH10" << "threshold" << 1386 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH11") << "ZH11" << "threshold" << 1387 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZH12") << "ZH12" << "threshold" << 1388 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL1") << "ZL1" << "threshold" << 1393 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL2") << "ZL2" << "threshold" << 1394 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL3") << "ZL3" << "threshold" << 1395 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL4") << "ZL4" << "threshold" << 1396 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL5") << "ZL5" << "threshold" << 1397 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL6") << "ZL6" << "threshold" << 1398 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL7") << "ZL7" << "threshold" << 1399 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL8") << "ZL8" << "threshold" << 1400 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL9") << "ZL9" << "threshold" << 1401 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL10") << "ZL10" << "threshold" << 1402 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL11") << "ZL11" << "threshold" << 1403 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
        QTest::newRow("ZL12") << "ZL12" << "threshold" << 1404 << 0 << "" << 0 << 1 << 3 << "0" << "100" << 1 << "";
    }
    void fieldMaps()
    {
        QFETCH(QString, key);
        QFETCH(QString, kind);
        QFETCH(int, cellA);
        QFETCH(int, cellB);
        QFETCH(QString, order);
        QFETCH(int, shownCells);
        QFETCH(int, minLength);
        QFETCH(int, maxLength);
        QFETCH(QString, minValue);
        QFETCH(QString, maxValue);
        QFETCH(int, characterClass);
        QFETCH(QString, minus99);
        ConfigImage image;
        for (int p = 1; p <= ConfigImage::kImageSize; ++p)
            image.setCell(p, QStringLiteral("31"));
        FieldEditor editor(image, allFields());
        editor.load();
        const FieldSpec *f = editor.field(key);
        QVERIFY(f);
        const auto bound = [](const QString &text) {
            return text.isEmpty() ? std::optional<int>() : std::optional<int>(text.toInt());
        };

        if (kind == QLatin1String("H") || kind == QLatin1String("L") || kind == QLatin1String("R")) {
            QCOMPARE(f->kind, FieldKind::Temperature);
            QCOMPARE(f->temperatureKind, kind.at(0));
            const bool little = order == QLatin1String("LE");
            QCOMPARE(f->positionLow, little ? cellA : cellB);
            QCOMPARE(f->position, little ? cellB : cellA);
            QVERIFY(FieldCodec::valid(*f, maxValue));
            QVERIFY(!FieldCodec::valid(*f, QString::number(maxValue.toInt() + 1)));
            QVERIFY(!FieldCodec::valid(*f, QString::number(minValue.toInt() - 1)));
            editor.edit(key, minValue);
            QCOMPARE(take(image, cellA, 1) + QLatin1Char(' ') + take(image, cellB, 1), minus99);
        } else if (kind == QLatin1String("text")) {
            QCOMPARE(f->kind, FieldKind::Text);
            QCOMPARE(f->position, cellA);
            QCOMPARE(f->shownCells, shownCells);
            QCOMPARE(f->minLength, minLength);
            QCOMPARE(f->maxLength, maxLength);
            QCOMPARE(f->minValue, bound(minValue));
            QCOMPARE(f->maxValue, bound(maxValue));
            QCOMPARE(f->characterClass, characterClass);
            const QChar fill = characterClass == 0 ? QLatin1Char('A') : QLatin1Char('1');
            const QString longest(maxLength, fill);
            QVERIFY(FieldCodec::valid(*f, longest));
            QVERIFY(!FieldCodec::valid(*f, longest + fill));
            QVERIFY(!FieldCodec::valid(*f, QString(minLength - 1, fill)));
            // "#" passes any characters and the class with "#" and "*", not digits only.
            QCOMPARE(FieldCodec::valid(*f, QString(maxLength - 1, fill) + QLatin1Char('#')), characterClass != 1);
            if (!maxValue.isEmpty()) {
                QVERIFY(FieldCodec::valid(*f, maxValue));
                QVERIFY(!FieldCodec::valid(*f, QString::number(maxValue.toInt() + 1)));
            }
            if (!minValue.isEmpty()) {
                QVERIFY(FieldCodec::valid(*f, minValue.rightJustified(minLength, QLatin1Char('0'))));
                QVERIFY(!FieldCodec::valid(*f, QString::number(minValue.toInt() - 1)));
            }
            editor.edit(key, longest);
            const QString code = characterClass == 0 ? QStringLiteral("41") : QStringLiteral("31");
            QCOMPARE(take(image, cellA, maxLength + 1),
                     QStringList(maxLength, code).join(QLatin1Char(' ')) + QStringLiteral(" 00"));
        } else if (kind == QLatin1String("phone")) {
            QCOMPARE(f->kind, FieldKind::Phone);
            QCOMPARE(f->position, cellA);
            QCOMPARE(f->shownCells, shownCells);
            editor.edit(key, QStringLiteral("+79161234567"));
            QCOMPARE(take(image, cellA, 13), QStringLiteral("2B 37 39 31 36 31 32 33 34 35 36 37 00"));
        } else if (kind == QLatin1String("flag")) {
            QCOMPARE(f->kind, FieldKind::Flag);
            QCOMPARE(f->position, cellA);
            editor.click(key, false);
            QCOMPARE(take(image, cellA, 2), QStringLiteral("30 00"));
        } else {
            QCOMPARE(kind, QStringLiteral("threshold"));
            QCOMPARE(f->kind, FieldKind::Threshold);
            QCOMPARE(f->position, cellA);
            QCOMPARE(f->minLength, minLength);
            QCOMPARE(f->maxLength, maxLength);
            QCOMPARE(f->minValue, bound(minValue));
            QCOMPARE(f->maxValue, bound(maxValue));
            QCOMPARE(f->characterClass, characterClass);
            QVERIFY(!FieldCodec::valid(*f, QString::number(maxValue.toInt() + 1)));
            QVERIFY(!FieldCodec::valid(*f, QStringLiteral("0100")));
            QVERIFY(!FieldCodec::valid(*f, QStringLiteral("5%")));
            // An upper bound stores the largest value, a lower bound the smallest.
            const bool upper = key.startsWith(QLatin1String("ZH"));
            editor.edit(key, upper ? maxValue : minValue);
            QCOMPARE(take(image, cellA, 1), upper ? QStringLiteral("64") : QStringLiteral("00"));
        }
        QVERIFY2(!editor.box(key).invalid, qPrintable(key));
    }

    // The maps hold exactly the boxes of the rows above: 30, 43 and 24.
    void fieldMapSizes()
    {
        QCOMPARE(FieldMaps::basicSettings().size(), 30);
        QCOMPARE(FieldMaps::simSettings().size(), 43);
        QCOMPARE(FieldMaps::inputThresholds().size(), 24);
    }

    // Boxes holding a typed value that was refused are listed in the image by page and field;
    // a box red only for what the image holds is not.
    void refusedEdits_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("valid edit") << "T1L=5" << QStringList{};
        QTest::newRow("refused edit") << "T1L=abc" << QStringList{"Стр: T1 Нижняя (L)"};
        QTest::newRow("refused, then valid") << "T1L=abc|T1L=5" << QStringList{};
        QTest::newRow("red from the image only") << "" << QStringList{};
        QTest::newRow("two refused") << "Z1TEXT=|T1L=100"
                                     << QStringList{"Стр: Вход 1", "Стр: T1 Нижняя (L)"};
        QTest::newRow("pair broken: both boxes")
            << "ZL1=6|ZL1=60" << QStringList{"Стр: Вход 1 Нижний (L)", "Стр: Вход 1 Верхний (H)"};
        QTest::newRow("pair mended from the partner") << "ZL1=6|ZL1=60|ZL1#|ZH1=7|ZH1=70" << QStringList{};
        QTest::newRow("mending undone") << "ZL1=6|ZL1=60|ZL1#|ZH1=7|ZH1=70|ZH1=705"
                                        << QStringList{"Стр: Вход 1 Нижний (L)", "Стр: Вход 1 Верхний (H)"};
        QTest::newRow("a load forgets them") << "T1L=abc|LOAD" << QStringList{};
    }
    void refusedEdits()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, listed);
        ConfigImage image;
        fill(image);
        put(image, 1578, QStringLiteral("33 00"));   // T1L 25.5: red from the image
        put(image, 1377, QStringLiteral("32"));
        put(image, 1393, QStringLiteral("14"));
        FieldEditor editor(image, allFields(), QStringLiteral("Стр"));
        editor.load();
        QVERIFY(editor.box(QStringLiteral("T1L")).invalid);
        for (const QString &step : steps.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
            if (step == QLatin1String("LOAD"))
                editor.load();
            else
                type(editor, step);
        }
        QCOMPARE(image.refusedEdits(), listed);
    }

    // What a load shows, on an image of "FF" cells with the row's cells put in.
    void load_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("invalid");
        QTest::addColumn<bool>("checked");
        QTest::newRow("message") << 257 << "41 00" << "Z1TEXT" << true << "A" << false << false;
        QTest::newRow("message first cell 00") << 257 << "00 41" << "Z1TEXT" << false << "нет данных" << false << false;
        QTest::newRow("message reading the marker") << 257 << "ED E5 F2 20 E4 E0 ED ED FB F5 00" << "Z1TEXT" << true
                                                    << "нет данных" << false << false;
        QTest::newRow("message without its end") << 257 << "" << "Z1TEXT" << true << QString(60, QChar(0x44F))
                                                 << true << false;
        QTest::newRow("odd temperature") << 1578 << "33 00" << "T1L" << true << "25.5" << true << false;
        QTest::newRow("erased temperature") << 1544 << "FF FF" << "R1D" << true << "-.5" << true << false;
        QTest::newRow("Zaderjka 0 breaks its bound") << 1681 << "30 00" << "Zaderjka" << true << "0" << true << false;
        QTest::newRow("number") << 1025 << "2B 37 39 31 36 31 32 33 34 35 36 37 00" << "00 SMS" << true
                                << "+79161234567" << false << false;
        QTest::newRow("number too short") << 1025 << "2B 37 00" << "00 SMS" << true << "+7" << true << false;
        QTest::newRow("flag on") << 1761 << "31 00" << "Syrena" << true << "нет данных" << false << true;
        QTest::newRow("flag two") << 1761 << "32 00" << "Syrena" << true << "нет данных" << true << false;
        QTest::newRow("flag cleared") << 1761 << "00" << "Syrena" << false << "нет данных" << false << false;
        QTest::newRow("threshold 255 in order, no mark") << 1377 << "FF" << "ZH1" << true << "255" << false << false;
        QTest::newRow("lower 255 above the upper") << 1393 << "FF" << "ZL1" << true << "255" << true << false;
        QTest::newRow("lower above upper marks the lower") << 1377 << "14" << "ZL1" << true << "80" << true << false;
        QTest::newRow("lower above upper marks the upper") << 1377 << "14" << "ZH1" << true << "20" << true << false;
    }
    void load()
    {
        QFETCH(int, position);
        QFETCH(QString, cells);
        QFETCH(QString, key);
        QFETCH(bool, hasData);
        QFETCH(QString, text);
        QFETCH(bool, invalid);
        QFETCH(bool, checked);
        ConfigImage image;
        fill(image);
        put(image, 1393, QStringLiteral("50"));   // input 1 lower threshold 80
        put(image, 1377, QStringLiteral("64"));   // upper 100
        put(image, position, cells);
        FieldEditor editor(image, allFields());
        editor.load();
        const FieldEditor::Box box = editor.box(key);
        QCOMPARE(box.hasData, hasData);
        if (editor.field(key)->kind != FieldKind::Flag)
            QCOMPARE(box.text, text);
        QCOMPARE(box.invalid, invalid);
        QCOMPARE(box.checked, checked);
    }

    // A flag holding neither value turns red and keeps the tick it had.
    void flagHoldingNeitherValueKeepsItsTick()
    {
        ConfigImage image;
        put(image, 1761, QStringLiteral("31 00"));
        FieldEditor editor(image, allFields());
        editor.load();
        put(image, 1761, QStringLiteral("32 00"));
        editor.load();
        QVERIFY(editor.box(QStringLiteral("Syrena")).invalid);
        QVERIFY(editor.box(QStringLiteral("Syrena")).checked);
    }

    void emptyImageHasNoData()
    {
        ConfigImage image;
        FieldEditor editor(image, allFields());
        editor.load();
        for (const FieldSpec &f : allFields()) {
            QVERIFY2(!editor.box(f.key).hasData, qPrintable(f.key));
            QCOMPARE(editor.box(f.key).text, FieldEditor::kNoData);
        }
        // A box without data takes no edits.
        editor.edit(QStringLiteral("T1L"), QStringLiteral("5"));
        editor.click(QStringLiteral("Syrena"), true);
        QCOMPARE(image.cell(1578), QString());
        QCOMPARE(image.cell(1761), QString());
        QVERIFY(!image.isChanged());
    }

    // A red mark or a tick of the previous unit never survives a new load.
    void everyLoadStartsClean()
    {
        ConfigImage image;
        fill(image);
        put(image, 1761, QStringLiteral("31 00"));
        put(image, 1578, QStringLiteral("28 00"));
        FieldEditor editor(image, allFields());
        editor.load();
        editor.edit(QStringLiteral("T1L"), QStringLiteral("abc"));
        QVERIFY(editor.box(QStringLiteral("T1L")).invalid);
        QVERIFY(editor.box(QStringLiteral("Syrena")).checked);
        put(image, 1761, QStringLiteral("00"));
        editor.load();
        QVERIFY(!editor.box(QStringLiteral("T1L")).invalid);
        QCOMPARE(editor.box(QStringLiteral("T1L")).text, QStringLiteral("20"));
        QVERIFY(!editor.box(QStringLiteral("Syrena")).checked);
        QVERIFY(!editor.box(QStringLiteral("Syrena")).hasData);
        // The load closed the edit: a new invalid edit goes back to the loaded value.
        put(image, 1578, QStringLiteral("0A 00"));
        editor.load();
        editor.edit(QStringLiteral("T1L"), QStringLiteral("x"));
        QCOMPARE(take(image, 1578, 2), QStringLiteral("0A 00"));
    }

    void checkBoxes_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::newRow("tick") << "30 00 FF" << true << "31 00 FF" << true;
        QTest::newRow("untick") << "31 00 FF" << false << "30 00 FF" << false;
        QTest::newRow("invalid content, ticked") << "32 00 FF" << true << "31 00 FF" << true;
        QTest::newRow("invalid content, unticked") << "32 32 00" << false << "30 00 00" << false;
    }
    void checkBoxes()
    {
        QFETCH(QString, cells);
        QFETCH(bool, click);
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        ConfigImage image;
        fill(image);
        put(image, 1761, cells);
        FieldEditor editor(image, FieldMaps::simSettings());
        editor.load();
        editor.click(QStringLiteral("Syrena"), click);
        QCOMPARE(take(image, 1761, 3), stored);
        QCOMPARE(editor.box(QStringLiteral("Syrena")).checked, checked);
        QVERIFY(!editor.box(QStringLiteral("Syrena")).invalid);
        QVERIFY(image.isChanged());
    }
};

QTEST_MAIN(TestFieldEditor)
#include "tst_fieldeditor.moc"
