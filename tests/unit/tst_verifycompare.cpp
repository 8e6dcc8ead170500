#include <QtTest>
#include "unit/VerifyCompare.h"
#include "config/ConfigImage.h"

// --verify: what the unit returned against the blocks of the file that was written.
class TestVerifyCompare : public QObject {
    Q_OBJECT

    static QList<QByteArray> blocks()
    {
        QList<QByteArray> out;
        for (int b = 0; b < ConfigImage::kBlockCount; ++b) {
            QByteArray block;
            for (int i = 0; i < ConfigImage::kBlockSize; ++i)
                block += char((b * 7 + i) & 0xFF);
            out << block;
        }
        return out;
    }

private slots:
    void compare_data()
    {
        QTest::addColumn<QList<int>>("changed");    // positions given another byte in the unit
        QTest::addColumn<QList<int>>("emptied");    // positions the read left without data
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("first");
        QTest::addColumn<QString>("text");
        QTest::newRow("identical") << QList<int>{} << QList<int>{} << 0 << 0 << QString();
        QTest::newRow("first byte") << QList<int>{1} << QList<int>{} << 1 << 1
                                    << QStringLiteral("Проверка не пройдена: отличаются 1 из 2368 байт, первый — "
                                                      "байт 1 (в устройстве FF, в файле 00).");
        QTest::newRow("last byte and one before") << QList<int>{2368, 700} << QList<int>{} << 2 << 700 << QString();
        QTest::newRow("no data counts as different")
            << QList<int>{} << QList<int>{65} << 1 << 65
            << QStringLiteral("Проверка не пройдена: отличаются 1 из 2368 байт, первый — байт 65 "
                              "(в устройстве нет данных, в файле 07).");
    }

    void compare()
    {
        QFETCH(QList<int>, changed);
        QFETCH(QList<int>, emptied);
        QFETCH(int, count);
        QFETCH(int, first);
        QFETCH(QString, text);
        const QList<QByteArray> file = blocks();
        ConfigImage image;
        for (int position = 1; position <= ConfigImage::kMemorySize; ++position)
            image.setByte(position, static_cast<unsigned char>(file.at((position - 1) / 64).at((position - 1) % 64)));
        // The model bytes are the unit's own and never compared.
        image.setByte(2369, 0x12);
        for (const int position : changed)
            image.setByte(position, static_cast<unsigned char>(image.byteAt(position) ^ 0xFF));
        for (const int position : emptied)
            image.setCell(position, QString());

        const VerifyCompare::Mismatch mismatch = VerifyCompare::compare(image, file);
        QCOMPARE(mismatch.count, count);
        QCOMPARE(mismatch.first, first);
        if (!text.isEmpty())
            QCOMPARE(VerifyCompare::text(mismatch, ConfigImage::kMemorySize), text);
    }
};

QTEST_GUILESS_MAIN(TestVerifyCompare)
#include "tst_verifycompare.moc"
