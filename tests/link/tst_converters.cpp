#include <QtTest>
#include "link/Converters.h"
#include "TestSeams.h"

class TestConverters : public QObject {
    Q_OBJECT
private slots:
    void roundTripAllBytes()
    {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        QByteArray copy = all;
        QString hex = Converters::BytesToHexText(copy);
        QVERIFY(copy.isEmpty());
        QCOMPARE(hex.size(), 256 * 3);
        QCOMPARE(hex.left(6), QStringLiteral("00 01 "));
        QCOMPARE(hex.right(3), QStringLiteral("FF "));
        RecordingMessageSink sink;
        QCOMPARE(Converters::HexTextToBytes(hex, &sink), all);
        QVERIFY(hex.isEmpty());
        QVERIFY(sink.texts.isEmpty());
    }
    void hexToBytes_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::newRow("canonical") << "41 42 43 " << QByteArray("ABC") << true;
        QTest::newRow("no blanks") << "414243" << QByteArray("ABC") << true;
        QTest::newRow("lower case") << "6a 6B" << QByteArray("jk") << true;
        QTest::newRow("blanks around one pair") << "  41  " << QByteArray("A") << true;
        QTest::newRow("empty") << "" << QByteArray() << true;
        QTest::newRow("blank inside pair") << "4 1" << QByteArray("\x04") << false;
        QTest::newRow("lone digit") << "41 4" << QByteArray("A") << false;
        QTest::newRow("invalid second digit") << "4G" << QByteArray("\x04") << true;
        QTest::newRow("invalid first digit") << "G4" << QByteArray(1, '\0') << true;
    }
    void hexToBytes()
    {
        QFETCH(QString, hex);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        RecordingMessageSink sink;
        bool converted = true;
        QCOMPARE(Converters::HexTextToBytes(hex, &sink, &converted), bytes);
        QCOMPARE(converted, ok);
        QCOMPARE(sink.texts.size(), ok ? 0 : 1);
        if (!ok)
            QCOMPARE(sink.texts.first(), QStringLiteral("Нарушен формат данных!"));
    }
    void cyrillicIsWindows1251()
    {
        QByteArray a("\xC0");   // capital А in Windows-1251
        QCOMPARE(Converters::BytesToHexText(a), QStringLiteral("C0 "));
    }
    void spacePairsAndNumbers()
    {
        QString digits = QStringLiteral("0A1B");
        QCOMPARE(Converters::SpacePairs(digits), QStringLiteral("0A 1B "));
        QVERIFY(digits.isEmpty());
        QCOMPARE(Converters::NumberToHex2(10), QStringLiteral("0A"));
        QCOMPARE(Converters::NumberToHex2(255), QStringLiteral("FF"));
        QCOMPARE(Converters::NumberToHex2(0), QStringLiteral("00"));
    }
    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        using L = QList<QByteArray>;
        QTest::newRow("empty") << QByteArray() << L{};
        QTest::newRow("one line, no end") << QByteArray("41 42") << L{"41 42"};
        QTest::newRow("CR LF") << QByteArray("41\r\n42\r\n") << L{"41", "42"};
        QTest::newRow("CR") << QByteArray("41\r42\r") << L{"41", "42"};
        QTest::newRow("LF, last without end") << QByteArray("41\n42") << L{"41", "42"};
        QTest::newRow("LF CR is two ends") << QByteArray("41\n\r42") << L{"41", "", "42"};
        QTest::newRow("CR CR LF") << QByteArray("\r\r\n") << L{"", ""};
        QTest::newRow("only ends") << QByteArray("\n\n\r\n") << L{"", "", ""};
        QTest::newRow("mixed") << QByteArray("a\rb\nc\r\nd") << L{"a", "b", "c", "d"};
        QTest::newRow("NUL inside a line") << QByteArray("a\0b\nc", 5) << L{QByteArray("a\0b", 3), "c"};
    }
    void splitLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        QCOMPARE(Converters::SplitLines(bytes), lines);
    }
};

QTEST_GUILESS_MAIN(TestConverters)
#include "tst_converters.moc"
