#include <QtTest>
#include "../config/ConfigTestRig.h"
#include "report/CommissioningReport.h"
#include "unit/CommissioningData.h"

namespace {
using Bytes = QList<QPair<int, int>>;   // cell, byte over the plain image

// A unit's image: every cell 00 (texts empty), thresholds 80 and 20, eight inputs, variant "T".
ConfigImage plainImage()
{
    ConfigImage image;
    for (int position = 1; position <= ConfigImage::kLastPosition; ++position)
        image.setByte(position, 0);
    for (int input = 1; input <= 12; ++input) {
        image.setByte(1376 + input, 80);
        image.setByte(1392 + input, 20);
    }
    image.setByte(2369, 0x08);
    image.setByte(2370, 0x02);
    return image;
}

const CommissioningData::Row *rowNamed(const QList<CommissioningData::Section> &sections, const QString &name)
{
    for (const CommissioningData::Section &section : sections)
        for (const CommissioningData::Row &row : section.rows)
            if (row.caption == name)
                return &row;
    return nullptr;
}
}

// The commissioning report: the settings as the pages show them, red values with their rule, names
// never passed on raw, and a whole unit on at most eight A4 pages.
class TestCommissioningReport : public QObject {
    Q_OBJECT
private slots:
    void settingsAsThePagesShowThem_data()
    {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("rule");                   // empty: not red
        const QString thresholds =
            QStringLiteral("целое число от 0 до 100, нижний порог входа не больше верхнего");
        QTest::newRow("tick box on") << Bytes{{1761, '1'}} << QStringLiteral("Syrena")
                                     << QStringLiteral("да") << QString();
        QTest::newRow("tick box off") << Bytes{{1761, '0'}} << QStringLiteral("Syrena")
                                      << QStringLiteral("нет") << QString();
        QTest::newRow("thresholds in order") << Bytes{} << QStringLiteral("Вход 1 Верхний (H)")
                                             << QStringLiteral("80") << QString();
        QTest::newRow("upper below lower: upper red")
            << Bytes{{1377, 10}} << QStringLiteral("Вход 1 Верхний (H)") << QStringLiteral("10")
            << thresholds;
        QTest::newRow("upper below lower: lower red")
            << Bytes{{1377, 10}} << QStringLiteral("Вход 1 Нижний (L)") << QStringLiteral("20")
            << thresholds;
        // The page loads "FF" as 255 and marks only the pair's order.
        QTest::newRow("threshold FF") << Bytes{{1388, 0xFF}} << QStringLiteral("Вход 12 Верхний (H)")
                                      << QStringLiteral("255") << QString();
        QTest::newRow("message text") << Bytes{{257, 'A'}, {258, 'B'}} << QStringLiteral("Вход 1")
                                      << QStringLiteral("AB") << QString();
    }
    void settingsAsThePagesShowThem()
    {
        QFETCH(Bytes, bytes);
        QFETCH(QString, field);
        QFETCH(QString, shown);
        QFETCH(QString, rule);
        CommissioningData data;
        data.image = plainImage();
        for (const auto &[cell, byte] : bytes)
            data.image.setByte(cell, static_cast<unsigned char>(byte));
        const QList<CommissioningData::Section> pages = CommissioningData::settingsPages(data.image);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages.at(2).title, QStringLiteral("Входы"));
        const CommissioningData::Row *row = rowNamed(pages, field);
        QVERIFY(row);
        QCOMPARE(row->value, shown);
        QCOMPARE(row->flagged, !rule.isEmpty());
        QCOMPARE(row->rule, rule);
        const QString html = CommissioningReport::html(data);
        QCOMPARE(html.contains(QStringLiteral("должно быть ") + rule), !rule.isEmpty());
    }

    // A report must not pass edits the unit never got, or half a read, for the unit's settings.
    void settingsTheUnitMayNotHoldAreSaid_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<QString>("warning");
        QTest::newRow("as read") << false << false << QString();
        QTest::newRow("edited, not written") << true << false << QStringLiteral("Есть изменения, ещё не записанные");
        QTest::newRow("read broken off") << false << true << QStringLiteral("Чтение конфигурации не завершено");
    }
    void settingsTheUnitMayNotHoldAreSaid()
    {
        QFETCH(bool, changed);
        QFETCH(bool, partial);
        QFETCH(QString, warning);
        ConfigImage image = plainImage();
        image.setReadFrom(QStringLiteral("Котельная"), QDateTime(QDate(2026, 12, 8), QTime(10, 15, 2)));
        image.setChanged(changed);
        image.setPartial(partial);
        QCOMPARE(CommissioningData::originOf(image), QStringLiteral("прочитаны из устройства Котельная 08.12.2026 10:15:02"));
        const QString said = CommissioningData::warningFor(image);
        QVERIFY2(warning.isEmpty() ? said.isEmpty() : said.startsWith(warning), qPrintable(said));
    }

    void namesAreShownWithVisibleEscapes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("bell") << QStringLiteral("Склад\a") << QStringLiteral("Склад\\x07");
        QTest::newRow("terminal escape") << QStringLiteral("\x1b[2JСклад") << QStringLiteral("\\x1B[2JСклад");
        QTest::newRow("line break") << QStringLiteral("Склад\r\n2") << QStringLiteral("Склад\\x0D\\x0A2");
        QTest::newRow("delete") << QStringLiteral("Склад\x7f") << QStringLiteral("Склад\\x7F");
    }
    void namesAreShownWithVisibleEscapes()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        CommissioningData data;
        data.image = plainImage();
        data.unitName = name;
        data.unit = {{QStringLiteral("Общие"), {{QStringLiteral("Имя устройства:"), name, false, QString()}}}};
        const QString html = CommissioningReport::html(data);
        QVERIFY2(html.count(shown) >= 2, qPrintable(html.left(600)));
        for (const QChar c : name)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                QVERIFY(!html.contains(c));
        // The program's own line breaks in the read-back are breaks, not escapes.
        data.readBack = QStringLiteral("Записано успешно!\nПамять устройства прочитана после записи.");
        QVERIFY(CommissioningReport::html(data).contains(
            QStringLiteral("Записано успешно!<br/>Память устройства прочитана после записи.")));
    }

    // The longest report: every field red (a unit's bytes that are no settings), ten minutes of
    // trend and a read-back: still at most eight A4 pages.
    void aWholeUnitFitsEightA4Pages()
    {
        CommissioningData data;
        data.when = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 2));
        data.unitName = QStringLiteral("ЗОРГЕЛ-GSM12T");
        fillImage(data.image, unitConfiguration());
        data.image.setByte(2369, 0x12);
        int red = 0;
        for (const CommissioningData::Section &page : CommissioningData::settingsPages(data.image))
            for (const CommissioningData::Row &row : page.rows)
                red += row.flagged ? 1 : 0;
        QVERIFY(red > 60);
        data.live = true;
        data.layout = *MonitorDecoder::rowLayout(12);
        for (int i = 0; i < 1200; ++i) {
            CommissioningData::Sample s;
            s.time = data.when.addMSecs(500 * i);
            s.battery = 12.5 + (i % 7) * 0.01;
            s.sensors[1] = 20 + (i % 5);
            data.trend << s;
        }
        data.readBack = QString(400, QLatin1Char('x'));
        int pages = 0;
        const QByteArray pdf = CommissioningReport::pdf(data, &pages);
        QVERIFY2(pages >= 1 && pages <= 8, qPrintable(QString::number(pages)));
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(pdf.count("/MediaBox [0 0 595.000000 842.000000]"), qsizetype(pages));
    }
};

QTEST_MAIN(TestCommissioningReport)
#include "tst_commissioningreport.moc"
