#include <QtTest>
#include "unit/ModelCheck.h"

// The image's model bytes against the unit's own, before a write.
class TestModelCheck : public QObject {
    Q_OBJECT
private slots:
    void compare_data()
    {
        QTest::addColumn<QString>("inputs");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QByteArray>("unitTail");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("text");
        QTest::newRow("same model") << "08" << "02" << QByteArray("\x08\x02", 2) << int(ModelCheck::Outcome::Same)
                                    << QString();
        QTest::newRow("other model, both named")
            << "04" << "01" << QByteArray("\x12\x02", 2) << int(ModelCheck::Outcome::Other)
            << QStringLiteral("Конфигурация предназначена для модели ЗОРГЕЛ-GSM4, а устройство — ЗОРГЕЛ-GSM12T.");
        QTest::newRow("unit's model garbled") << "08" << "02" << QByteArray("\x08\x55", 2)
                                              << int(ModelCheck::Outcome::Unreadable)
                                              << QStringLiteral("Не удалось прочитать модель устройства.");
    }
    void compare()
    {
        QFETCH(QString, inputs);
        QFETCH(QString, variant);
        QFETCH(QByteArray, unitTail);
        QFETCH(int, outcome);
        QFETCH(QString, text);
        const ModelCheck::Result result = ModelCheck::compare(inputs, variant, unitTail);
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.text(), text);
    }
};

QTEST_APPLESS_MAIN(TestModelCheck)
#include "tst_modelcheck.moc"
