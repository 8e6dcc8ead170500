#include <QtTest>
#include "config/ConfigImage.h"
#include "editors/ConfigFields.h"

// The settings fields by name over a whole image: what show reports and what set stores or refuses.
class TestConfigFields : public QObject {
    Q_OBJECT

    // "position:CC CC ...;position:..." into the image.
    static void put(ConfigImage &image, const QString &cells)
    {
        for (const QString &part : cells.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            int position = part.section(QLatin1Char(':'), 0, 0).toInt();
            for (const QString &c : part.section(QLatin1Char(':'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                image.setCell(position++, c);
        }
    }
    static QString take(const ConfigImage &image, int position, int count)
    {
        QStringList out;
        for (int i = 0; i < count; ++i)
            out << image.cell(position + i);
        return out.join(QLatin1Char(' '));
    }
    static ConfigImage filled(const QString &cell)
    {
        ConfigImage image;
        for (int p = 1; p <= ConfigImage::kLastPosition; ++p)
            image.setCell(p, cell);
        return image;
    }
    static ConfigFields::Value valueOf(ConfigImage &image, const QString &name)
    {
        for (const ConfigFields::Value &v : ConfigFields(image).values())
            if (v.field->name == name)
                return v;
        return {};
    }

private slots:
    void namesAreTheBoxNames()
    {
        const QList<FieldSpec> &all = ConfigFields::all();
        QCOMPARE(all.size(), 97);   // 30 basic settings, 43 SIM-card settings, 24 input thresholds
        QCOMPARE(all.first().name, QStringLiteral("Вход 1"));
        QCOMPARE(all.at(12).name, QStringLiteral("T1 Верхняя (H)"));
        QCOMPARE(all.last().name, QStringLiteral("Вход 12 Нижний (L)"));
        for (const char *name : {"Реле 3 ночь", "19 DOZVON", "PARTNER2", "Systema Zorgel Text", "Systema Zorgel ON",
                                 "6 ключ", "ACTIVE ZONE", "Вход 7 Верхний (H)"})
            QVERIFY2(ConfigFields::byName(QString::fromUtf8(name)), name);
        for (const FieldSpec &f : all)
            QCOMPARE(ConfigFields::byName(f.name), &f);   // every name once
    }

    // An image of "00" cells with some cells set: what the field shows and whether it is red.
    void show_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("flagged");
        const QString cut = QStringLiteral("449:") + QStringLiteral("41 ").repeated(61);
        QTest::newRow("text") << "257:41 4C 41 52 4D 00" << "Вход 1" << true << "ALARM" << false;
        QTest::newRow("cyrillic text") << "385:CF EE E6 E0 F0 00" << "Вход 3" << true << "Пожар" << false;
        QTest::newRow("text without data") << "" << "Вход 2" << false << "нет данных" << false;
        QTest::newRow("cut record") << cut << "Вход 4" << true << QStringLiteral("A").repeated(60) << true;
        QTest::newRow("upper bound") << "1576:2E 00" << "T1 Верхняя (H)" << true << "25" << false;
        QTest::newRow("half degree") << "1578:33 00" << "T1 Нижняя (L)" << true << "25.5" << true;
        QTest::newRow("minus half degree") << "1552:FF FF" << "Реле 2 ночь" << true << "-.5" << true;
        QTest::newRow("phone") << "1921:2B 37 39 31 36 31 32 33 34 35 36 37 00" << "PARTNER1" << true
                               << "+79161234567" << false;
        QTest::newRow("parameter outside its class") << "1697:41 00" << "Parol" << true << "A" << true;
        QTest::newRow("flag on") << "1713:31 00" << "Otchet" << true << "1" << false;
        QTest::newRow("flag holding neither value, as it is") << "1761:32 00" << "Syrena" << true << "2" << true;
        QTest::newRow("stored 255 without a mark") << "1377:FF;1393:50" << "Вход 1 Верхний (H)" << true << "255" << false;
        QTest::newRow("flag without data") << "" << "1 ключ" << false << "нет данных" << false;
        QTest::newRow("pair out of order, upper") << "1377:14;1393:50" << "Вход 1 Верхний (H)" << true << "20" << true;
        QTest::newRow("pair out of order, lower") << "1377:14;1393:50" << "Вход 1 Нижний (L)" << true << "80" << true;
    }
    void show()
    {
        QFETCH(QString, cells);
        QFETCH(QString, name);
        QFETCH(bool, hasData);
        QFETCH(QString, text);
        QFETCH(bool, flagged);
        ConfigImage image = filled(QStringLiteral("00"));
        put(image, cells);
        const ConfigFields::Value v = valueOf(image, name);
        QVERIFY(v.field);
        QCOMPARE(v.hasData, hasData);
        QCOMPARE(v.text, text);
        QCOMPARE(v.flagged, flagged);
        QCOMPARE(v.reason.isEmpty(), !flagged);
    }

    // Over an image of "EE" cells (inputs 1: upper 50, lower 40): the cells written, or the refusals
    // with nothing written at all.
    void set_data()
    {
        QTest::addColumn<QStringList>("assignments");
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<QString>("written");   // position:cells expected after the store
        QTest::addColumn<QString>("because");   // part of the first refusal's reason

        auto row = [](const char *tag, const QStringList &a, const QStringList &refused, const QString &written,
                      const QString &because = QString()) {
            QTest::newRow(tag) << a << refused << written << because;
        };
        const QStringList none;
        row("text", {"Вход 1=ALARM"}, none, "257:41 4C 41 52 4D 00 EE");
        row("cyrillic text", {"Вход 12=Пожар"}, none, "961:CF EE E6 E0 F0 00 EE");
        row("text too long", {QStringLiteral("Вход 1=") + QStringLiteral("A").repeated(61)}, {"Вход 1"}, "",
            "от 1 до 60 символов");
        row("empty text", {"Вход 1="}, {"Вход 1"}, "");
        row("no Windows-1251 code", {"Вход 2=Ключ ☃"}, {"Вход 2"}, "", "☃");
        row("line break", {"Вход 2=A\nФейк: 1"}, {"Вход 2"}, "", "управляющий символ с кодом 10");
        row("tab in a phone", {"00 SMS=+7916\t1234567"}, {"00 SMS"}, "", "управляющий символ с кодом 9");
        row("DEL", {"Balans=*10\x7f#"}, {"Balans"}, "", "управляющий символ с кодом 127");
        row("upper bound", {"T1 Верхняя (H)=25"}, none, "1576:2E 00");
        row("lower bound with sign", {"T1 Нижняя (L)=+5"}, none, "1578:0A 00");
        row("relay, big-endian", {"Реле 1 день=-5"}, none, "1544:FF F6");
        row("half degree refused", {"T1 Верхняя (H)=25.5"}, {"T1 Верхняя (H)"}, "", "целое число градусов");
        row("temperature out of range", {"Реле 3 ночь=100"}, {"Реле 3 ночь"}, "");
        row("phone", {"00 SMS=+79161234567"}, none, "1025:2B 37 39 31 36 31 32 33 34 35 36 37 00 EE");
        row("phone without plus", {"00 SMS=79161234567"}, {"00 SMS"}, "");
        row("parameter", {"Zaderjka=1"}, none, "1681:31 00 EE");
        row("parameter below its minimum", {"Zaderjka=0"}, {"Zaderjka"}, "", "не меньше 1");
        row("balance code", {"Balans=*100#"}, none, "1953:2A 31 30 30 23 00");
        row("balance code too short", {"Balans=*100"}, {"Balans"}, "", "ровно 5 символов");
        row("flag yes", {"Syrena=да"}, none, "1761:31 00 EE");
        row("flag 0", {"1 ключ=0"}, none, "1825:30 00 EE");
        row("flag neither", {"Syrena=2"}, {"Syrena"}, "", "1 или 0");
        row("threshold", {"Вход 1 Верхний (H)=100"}, none, "1377:64");
        row("threshold above 100", {"Вход 2 Верхний (H)=101"}, {"Вход 2 Верхний (H)"}, "");
        row("lower above the stored upper", {"Вход 1 Нижний (L)=60"}, {"Вход 1 Нижний (L)"}, "",
            "нижний порог входа не больше верхнего");
        row("pair raised together, lower first", {"Вход 1 Нижний (L)=70", "Вход 1 Верхний (H)=90"}, none,
            "1377:5A;1393:46");
        row("unknown name", {"Вход 13=A"}, {"Вход 13"}, "", "нет такого поля");
        row("one refusal stores nothing", {"Вход 1=ALARM", "Zaderjka=0"}, {"Zaderjka"}, "");
    }
    void set()
    {
        QFETCH(QStringList, assignments);
        QFETCH(QStringList, refused);
        QFETCH(QString, written);
        QFETCH(QString, because);
        ConfigImage image = filled(QStringLiteral("EE"));
        put(image, QStringLiteral("1377:32;1393:28"));
        const ConfigImage before = image;
        QList<ConfigFields::Assignment> list;
        for (const QString &a : assignments)
            list << ConfigFields::Assignment{a.section(QLatin1Char('='), 0, 0), a.section(QLatin1Char('='), 1)};

        const QList<ConfigFields::Refusal> refusals = ConfigFields(image).set(list);
        QStringList names;
        for (const ConfigFields::Refusal &r : refusals)
            names << r.name;
        QCOMPARE(names, refused);
        if (!because.isEmpty())
            QVERIFY2(refusals.first().reason.contains(because), qPrintable(refusals.first().reason));

        ConfigImage expected = before;
        put(expected, written);
        for (int p = 1; p <= ConfigImage::kLastPosition; ++p)
            QVERIFY2(image.cell(p) == expected.cell(p),
                     qPrintable(QStringLiteral("cell %1: %2").arg(p).arg(take(image, p, 1))));
        QCOMPARE(image.isChanged(), refused.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConfigFields)
#include "tst_configfields.moc"
