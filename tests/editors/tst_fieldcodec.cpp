#include <QtTest>
#include "config/ConfigImage.h"
#include "editors/FieldCodec.h"

// Encoding and validation of the settings fields, cell by cell.
class TestFieldCodec : public QObject {
    Q_OBJECT

    // Cells from position on, given as "41 4C 00" ("--" for an empty cell).
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
    // An image whose cells near position all hold "EE".
    static void stale(ConfigImage &image, int position, int count)
    {
        for (int i = 0; i < count; ++i)
            image.setCell(position + i, QStringLiteral("EE"));
    }

private slots:
    void numericValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plain") << "25" << qint64(25);
        QTest::newRow("plus") << "+5" << qint64(5);
        QTest::newRow("minus") << "-12" << qint64(-12);
        QTest::newRow("leading blanks") << "  7x" << qint64(7);
        QTest::newRow("stops at a second sign") << "1-2" << qint64(1);
        QTest::newRow("lone minus") << "-" << qint64(0);
        QTest::newRow("no number") << "abc" << qint64(0);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("huge saturates, never wraps") << "99999999999999999999999" << qint64(922337203685477570);
        QTest::newRow("huge negative") << "-99999999999999999999999" << qint64(-922337203685477570);
    }
    void numericValue()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QCOMPARE(FieldCodec::numericValue(text), value);
    }

    void showText_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<int>("maxCells");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<QString>("text");
        QTest::newRow("terminated") << "41 4C 41 52 4D 00 42" << 60 << true << "ALARM";
        QTest::newRow("cyrillic") << "C2 F5 EE E4 00" << 60 << true << "Вход";
        QTest::newRow("empty cell skipped") << "41 -- 42 00" << 60 << true << "AB";
        QTest::newRow("first cell 00") << "00 41 42" << 60 << false << "";
        QTest::newRow("all empty") << "-- -- --" << 3 << false << "";
        QTest::newRow("limited by the cell count") << "31 32 33 34" << 3 << true << "123";
        QTest::newRow("reads like the marker") << "ED E5 F2 20 E4 E0 ED ED FB F5 00" << 60 << true << "нет данных";
    }
    void showText()
    {
        QFETCH(QString, cells);
        QFETCH(int, maxCells);
        QFETCH(bool, hasData);
        QFETCH(QString, text);
        ConfigImage image;
        put(image, 257, cells);
        const FieldCodec::Shown shown = FieldCodec::PokazatTekst(image, 257, maxCells);
        QCOMPARE(shown.hasData, hasData);
        QCOMPARE(shown.text, text);
    }

    // Storing over cells that hold "EE": valid texts write their bytes and "00", nothing after.
    void storeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minLength");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<int>("minValue");   // -1000: no bound
        QTest::addColumn<int>("maxValue");   // -1000: no bound
        QTest::addColumn<int>("characterClass");
        QTest::addColumn<QString>("cells");   // 8 cells from the start after the store
        const int none = -1000;
        QTest::newRow("ALARM") << "ALARM" << 1 << 60 << none << none << 0 << "41 4C 41 52 4D 00 EE EE";
        QTest::newRow("cyrillic in Windows-1251") << "Дача" << 1 << 14 << none << none << 0
                                                  << "C4 E0 F7 E0 00 EE EE EE";
        QTest::newRow("empty is too short") << "" << 1 << 60 << none << none << 0 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("61 characters") << QString(61, QLatin1Char('x')) << 1 << 60 << none << none << 0
                                       << "EE EE EE EE EE EE EE EE";
        QTest::newRow("no Windows-1251 code") << "A☃B" << 1 << 60 << none << none << 0 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("emoji") << "A\U0001F600" << 1 << 60 << none << none << 0 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("NUL") << QStringLiteral("A") + QChar(0) + QStringLiteral("B") << 1 << 60 << none << none << 0
                             << "EE EE EE EE EE EE EE EE";
        QTest::newRow("free text starting -5 has no bound") << "-5 градусов" << 1 << 14 << none << none << 0
                                                            << "2D 35 20 E3 F0 E0 E4 F3";
        QTest::newRow("Balans *100#") << "*100#" << 5 << 5 << none << none << 2 << "2A 31 30 30 23 00 EE EE";
        QTest::newRow("Balans four") << "*100" << 5 << 5 << none << none << 2 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("Balans six") << "*1000#" << 5 << 5 << none << none << 2 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("class 2 blank") << "*10 #" << 5 << 5 << none << none << 2 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("Mikrofon 15") << "15" << 1 << 2 << 0 << 15 << 1 << "31 35 00 EE EE EE EE EE";
        QTest::newRow("Mikrofon 16") << "16" << 1 << 2 << 0 << 15 << 1 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("Zaderjka 0") << "0" << 1 << 2 << 1 << none << 1 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("Zaderjka 1") << "1" << 1 << 2 << 1 << none << 1 << "31 00 EE EE EE EE EE EE";
        QTest::newRow("class 1 letter") << "1a" << 1 << 2 << none << none << 1 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("class 1 other digits") << "١٢" << 1 << 2 << none << none << 1 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("ACTIVE ZONE 4") << "1234" << 4 << 12 << none << none << 1 << "31 32 33 34 00 EE EE EE";
        QTest::newRow("ACTIVE ZONE 3") << "123" << 4 << 12 << none << none << 1 << "EE EE EE EE EE EE EE EE";
        QTest::newRow("ACTIVE ZONE 13") << "1234567890123" << 4 << 12 << none << none << 1
                                        << "EE EE EE EE EE EE EE EE";
        QTest::newRow("overflowing value is above its bound") << "99999999999" << 1 << 11 << 0 << 15 << 1
                                                              << "EE EE EE EE EE EE EE EE";
    }
    void storeText()
    {
        QFETCH(QString, text);
        QFETCH(int, minLength);
        QFETCH(int, maxLength);
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(int, characterClass);
        QFETCH(QString, cells);
        const auto bound = [](int v) { return v == -1000 ? std::nullopt : std::optional<int>(v); };
        ConfigImage image;
        stale(image, 1470, 80);
        const bool stored = FieldCodec::ZapisatTekst(image, text, 1473, bound(minValue), bound(maxValue), minLength,
                                                     maxLength, characterClass);
        QCOMPARE(take(image, 1473, 8), cells);
        QCOMPARE(stored, !cells.startsWith(QLatin1String("EE EE EE EE EE EE EE EE")));
        QCOMPARE(take(image, 1470, 3), QStringLiteral("EE EE EE"));
    }

    void storeLongTextEndsAtItsLength()
    {
        ConfigImage image;
        stale(image, 257, 64);
        QVERIFY(FieldCodec::ZapisatTekst(image, QString(60, QChar(0x416)), 257, {}, {}, 1, 60, 0));   // "Ж"
        QCOMPARE(image.cell(257 + 59), QStringLiteral("C6"));
        QCOMPARE(image.cell(257 + 60), QStringLiteral("00"));
        QCOMPARE(image.cell(257 + 61), QStringLiteral("EE"));
    }

    void showTemperature_data()
    {
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wellFormed");
        QTest::newRow("upper 46 shows 25") << "00" << "2E" << "H" << "25" << true;
        QTest::newRow("relay -10 shows -5") << "FF" << "F6" << "R" << "-5" << true;
        QTest::newRow("lower odd 51 shows 25.5") << "00" << "33" << "L" << "25.5" << false;
        QTest::newRow("lower -1 shows -.5") << "FF" << "FF" << "L" << "-.5" << false;
        QTest::newRow("lower 1 shows .5") << "00" << "01" << "L" << ".5" << false;
        QTest::newRow("upper -1 shows 1.5") << "FF" << "FF" << "H" << "1.5" << false;
        QTest::newRow("lower -9 shows -4.5") << "FF" << "F7" << "L" << "-4.5" << false;
        QTest::newRow("upper -4 shows 0") << "FF" << "FC" << "H" << "0" << true;
        QTest::newRow("out of range") << "01" << "00" << "R" << "128" << false;
        QTest::newRow("most negative") << "80" << "00" << "L" << "-16384" << false;
    }
    void showTemperature()
    {
        QFETCH(QString, high);
        QFETCH(QString, low);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(bool, wellFormed);
        ConfigImage image;
        image.setCell(1577, high);
        image.setCell(1576, low);
        const FieldCodec::Shown shown = FieldCodec::PokazatTemperaturu(image, 1577, 1576, kind.at(0));
        QVERIFY(shown.hasData);
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.wellFormed, wellFormed);
    }

    void showTemperatureWithoutData()
    {
        ConfigImage image;
        image.setCell(1545, QStringLiteral("10"));
        QVERIFY(!FieldCodec::PokazatTemperaturu(image, 1544, 1545, QLatin1Char('R')).hasData);
    }

    // Stores into cell A (high byte) 1544 and cell B (low byte) 1545 over "EE".
    void storeTemperature_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cells");
        QTest::newRow("upper 25") << "25" << "H" << "00 2E";
        QTest::newRow("relay -5") << "-5" << "R" << "FF F6";
        QTest::newRow("lower +5") << "+5" << "L" << "00 0A";
        QTest::newRow("upper +5") << "+5" << "H" << "00 06";
        QTest::newRow("upper 0") << "0" << "H" << "FF FC";
        QTest::newRow("lower 99") << "99" << "L" << "00 C6";
        QTest::newRow("upper -99") << "-99" << "H" << "FF 36";
        QTest::newRow("blanks around") << " 7 " << "L" << "00 0E";
        QTest::newRow("100") << "100" << "L" << "EE EE";
        QTest::newRow("-100") << "-100" << "L" << "EE EE";
        QTest::newRow("25.5") << "25.5" << "L" << "EE EE";
        QTest::newRow("25,5") << "25,5" << "L" << "EE EE";
        QTest::newRow("abc") << "abc" << "L" << "EE EE";
        QTest::newRow("empty upper is 0") << "" << "H" << "FF FC";
        QTest::newRow("empty lower is 0") << "" << "L" << "00 00";
        QTest::newRow("blanks only are 0") << "  " << "R" << "00 00";
        QTest::newRow("lone minus") << "-" << "L" << "EE EE";
        QTest::newRow("1-2") << "1-2" << "L" << "EE EE";
        QTest::newRow("5-") << "5-" << "L" << "EE EE";
        QTest::newRow("two signs") << "+-5" << "L" << "EE EE";
        QTest::newRow("overflow") << "99999999999" << "L" << "EE EE";
        QTest::newRow("overflow wrapping to 0") << "18446744073709551616" << "L" << "EE EE";
    }
    void storeTemperature()
    {
        QFETCH(QString, text);
        QFETCH(QString, kind);
        QFETCH(QString, cells);
        ConfigImage image;
        stale(image, 1543, 4);
        const bool stored = FieldCodec::ZapisatTemperaturu(image, text, 1544, 1545, -99, 99, kind.at(0));
        QCOMPARE(take(image, 1544, 2), cells);
        QCOMPARE(stored, cells != QLatin1String("EE EE"));
        QCOMPARE(take(image, 1543, 1) + take(image, 1546, 1), QStringLiteral("EEEE"));
    }

    void storePhone_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cells");   // 14 cells from 1025
        QTest::newRow("twelve characters") << "+79161234567" << "2B 37 39 31 36 31 32 33 34 35 36 37 00 EE";
        QTest::newRow("eleven characters") << "+7916123456" << "2B 37 39 31 36 31 32 33 34 35 36 00 EE EE";
        QTest::newRow("star for a digit") << "+7916*23456" << "2B 37 39 31 36 2A 32 33 34 35 36 00 EE EE";
        const QString untouched = QStringLiteral("EE EE EE EE EE EE EE EE EE EE EE EE EE EE");
        QTest::newRow("no plus") << "879161234567" << untouched;
        QTest::newRow("ten characters") << "+791612345" << untouched;
        QTest::newRow("thirteen characters") << "+791612345678" << untouched;
        QTest::newRow("blank") << "+7916 234567" << untouched;
        QTest::newRow("hash") << "+7916#234567" << untouched;
        QTest::newRow("second plus") << "++7916234567" << untouched;
        QTest::newRow("empty") << "" << untouched;
    }
    void storePhone()
    {
        QFETCH(QString, text);
        QFETCH(QString, cells);
        ConfigImage image;
        stale(image, 1025, 16);
        QCOMPARE(FieldCodec::ZapisatNomer(image, text, 1025), !cells.startsWith(QLatin1String("EE")));
        QCOMPARE(take(image, 1025, 14), cells);
    }

    void showFlag_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("wellFormed");
        QTest::newRow("on") << "31 00" << true << true << true;
        QTest::newRow("off") << "30 00" << true << false << true;
        QTest::newRow("two") << "32 00" << true << false << false;
        QTest::newRow("one and more") << "31 31 00" << true << false << false;
        QTest::newRow("cleared") << "00 31" << false << false << true;
        QTest::newRow("empty") << "-- --" << false << false << true;
    }
    void showFlag()
    {
        QFETCH(QString, cells);
        QFETCH(bool, hasData);
        QFETCH(bool, checked);
        QFETCH(bool, wellFormed);
        ConfigImage image;
        put(image, 1761, cells);
        const FieldCodec::Shown shown = FieldCodec::PokazatFlag(image, 1761);
        QCOMPARE(shown.hasData, hasData);
        QCOMPARE(shown.checked, checked);
        QCOMPARE(shown.wellFormed, wellFormed);
    }

    void storeFlag_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("cells");
        QTest::newRow("on") << true << "31 00 EE";
        QTest::newRow("off") << false << "30 00 EE";
    }
    void storeFlag()
    {
        QFETCH(bool, on);
        QFETCH(QString, cells);
        ConfigImage image;
        stale(image, 1761, 3);
        FieldCodec::ZapisatFlag(image, 1761, on);
        QCOMPARE(take(image, 1761, 3), cells);
    }

    void showThreshold_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wellFormed");
        QTest::newRow("80") << "50" << true << "80" << true;
        QTest::newRow("100") << "64" << true << "100" << true;
        QTest::newRow("0") << "00" << true << "0" << true;
        QTest::newRow("255 is shown without a mark") << "FF" << true << "255" << true;
        QTest::newRow("empty") << "" << false << "" << true;
    }
    void showThreshold()
    {
        QFETCH(QString, cell);
        QFETCH(bool, hasData);
        QFETCH(QString, text);
        QFETCH(bool, wellFormed);
        ConfigImage image;
        image.setCell(1377, cell);
        const FieldCodec::Shown shown = FieldCodec::PokazatPorog(image, 1377);
        QCOMPARE(shown.hasData, hasData);
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.wellFormed, wellFormed);
    }

    void storeThreshold_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::newRow("100") << "100" << "64";
        QTest::newRow("40") << "40" << "28";
        QTest::newRow("0") << "0" << "00";
        QTest::newRow("leading zeros") << "007" << "07";
        QTest::newRow("101") << "101" << "EE";
        QTest::newRow("1000") << "1000" << "EE";
        QTest::newRow("-5") << "-5" << "EE";
        QTest::newRow("5%") << "5%" << "EE";
        QTest::newRow("empty") << "" << "EE";
        QTest::newRow("255") << "255" << "EE";
    }
    void storeThreshold()
    {
        QFETCH(QString, text);
        QFETCH(QString, cell);
        ConfigImage image;
        stale(image, 1376, 3);
        QCOMPARE(FieldCodec::ZapisatPorog(image, text, 1377), cell != QLatin1String("EE"));
        QCOMPARE(take(image, 1376, 3), QStringLiteral("EE %1 EE").arg(cell));
    }
};

QTEST_MAIN(TestFieldCodec)
#include "tst_fieldcodec.moc"
