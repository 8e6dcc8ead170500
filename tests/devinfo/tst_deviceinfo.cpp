#include <QtTest>
#include <QGroupBox>
#include <QLabel>
#include "FakeSerialPort.h"
#include "TestSeams.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "devinfo/DeviceInfoPage.h"
#include "link/CommandQueue.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"

using Cells = QMap<int, QString>;
using Values = QMap<int, QString>;

struct InfoRig {
    FakeSerialPort port;
    RecordingMessageSink messages;
    CommandQueue queue{messages};
    StatusModel status;
    SerialLink link{port, queue, status};
    ConfigImage image;
    DeviceInfo info{image, link};

    void set(const Cells &cells)
    {
        for (auto it = cells.begin(); it != cells.end(); ++it)
            image.setCell(it.key(), it.value());
    }
};

// Eight cells from position `first` on, from 16 hex digits (fewer digits fill fewer cells).
static Cells run(int first, const QString &digits)
{
    Cells cells;
    for (int i = 0; i + 1 < digits.size(); i += 2)
        cells.insert(first + i / 2, digits.mid(i, 2));
    return cells;
}

static Cells merged(std::initializer_list<Cells> parts)
{
    Cells all;
    for (const Cells &part : parts)
        all.insert(part);
    return all;
}

class TestDeviceInfo : public QObject {
    Q_OBJECT
private slots:
    void values_data()
    {
        QTest::addColumn<Cells>("cells");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<Values>("expected");   // indexes not listed show "нет данных"
        QTest::addColumn<int>("inputs");        // published KolichestvoVhodov, 0: still empty
        const QString reg = QStringLiteral("зарегистрирован");
        const QString notReg = QStringLiteral("не зарегистрирован");
        const QString err = QStringLiteral("ошибка");

        QTest::newRow("nothing read") << Cells{} << QByteArray()
                                      << Values{{7, QStringLiteral("нет данных / нет данных")}} << 0;
        QTest::newRow("GSM8T") << Cells{{2369, "08"}, {2370, "02"}} << QByteArray()
                               << Values{{5, "8"}, {6, "ЗОРГЕЛ-GSM8T"}, {7, "нет данных / нет данных"}} << 8;
        QTest::newRow("GSM12") << Cells{{2369, "12"}, {2370, "01"}} << QByteArray()
                               << Values{{5, "12"}, {6, "ЗОРГЕЛ-GSM12"}, {7, "нет данных / нет данных"}} << 12;
        QTest::newRow("GSM4") << Cells{{2369, "04"}, {2370, "01"}} << QByteArray()
                              << Values{{5, "4"}, {6, "ЗОРГЕЛ-GSM4"}, {7, "нет данных / нет данных"}} << 4;
        QTest::newRow("no input count, plain model")
            << Cells{{2370, "01"}} << QByteArray() << Values{{6, "ЗОРГЕЛ-GSM0"}, {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("6 inputs is no model count")
            << Cells{{2369, "06"}, {2370, "02"}} << QByteArray()
            << Values{{6, "ЗОРГЕЛ-GSM6T"}, {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("unknown variant") << Cells{{2369, "08"}, {2370, "03"}} << QByteArray()
                                         << Values{{5, "8"}, {7, "нет данных / нет данных"}} << 8;
        QTest::newRow("3 extension blocks")
            << Cells{{193, "03"}} << QByteArray()
            << Values{{21, reg}, {22, reg}, {23, reg}, {24, notReg}, {25, notReg}, {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("no extension blocks")
            << Cells{{193, "00"}} << QByteArray()
            << Values{{21, notReg}, {22, notReg}, {23, notReg}, {24, notReg}, {25, notReg},
                      {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("7 extension blocks")
            << Cells{{193, "07"}} << QByteArray()
            << Values{{21, err}, {22, err}, {23, err}, {24, err}, {25, err}, {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("erased block count") << Cells{{193, "FF"}} << QByteArray()
                                            << Values{{7, "нет данных / нет данных"}} << 0;
        QTest::newRow("block count 1F reads as 1")
            << Cells{{193, "1F"}} << QByteArray()
            << Values{{21, reg}, {22, notReg}, {23, notReg}, {24, notReg}, {25, notReg},
                      {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("keys and sensors")
            << merged({run(121, "FFFFFFFFFFFFFFFF"), run(145, "0123456789ABCDEF"), run(169, "01020304"),
                       run(1, "28FF4C5A0B000012"), run(33, "FFFFFFFFFFFFFFFF")})
            << QByteArray()
            << Values{{11, notReg}, {14, "0123456789ABCDEF"}, {17, "01020304"}, {31, "28FF4C5A0B000012"},
                      {35, notReg}, {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("versions")
            << Cells{{1411, "00"}, {1412, "12"}, {1413, "5F"}, {1420, "00"}, {1421, "20"}, {1422, "7A"}} << QByteArray()
            << Values{{7, "001.25 / 002.07"}} << 0;
        QTest::newRow("IMEI") << run(2353, "333533343536373839303132333435") << QByteArray()
                              << Values{{4, "353456789012345"}, {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("IMEI not registered") << run(2353, "333333333333333333333333333333") << QByteArray()
                                             << Values{{4, notReg}, {7, "нет данных / нет данных"}} << 0;
        QTest::newRow("device name") << Cells{} << QByteArray("ZORGEL GSM8T  01")
                                     << Values{{1, "ZORGEL GSM8T  01"}, {7, "нет данных / нет данных"}} << 0;
    }
    void values()
    {
        QFETCH(Cells, cells);
        QFETCH(QByteArray, name);
        QFETCH(Values, expected);
        QFETCH(int, inputs);
        InfoRig rig;
        rig.set(cells);
        rig.link.UstroistvoNameClear = name;
        rig.info.fill();
        for (const int index : DeviceInfo::allIndexes())
            QCOMPARE(rig.info.value(index), expected.value(index, DeviceInfo::kNoData));
        QCOMPARE(rig.info.KolichestvoVhodov.value_or(0), inputs);
        const QStringList versions = rig.info.value(7).split(QStringLiteral(" / "));
        QCOMPARE(rig.info.VersiaJadra, versions.value(0));
        QCOMPARE(rig.info.VersiaProshivki, versions.value(1));
        QVERIFY(rig.messages.texts.isEmpty());

        // The page shows exactly these values, greyed.
        DeviceInfoPage page(rig.info);
        page.show();
        for (const int index : DeviceInfo::allIndexes()) {
            QLabel *value = page.valueLabel(index);
            QVERIFY(value);
            QCOMPARE(value->text(), expected.value(index, DeviceInfo::kNoData));
            QVERIFY(!value->isEnabled());
        }
    }

    void inputCountKeepsLastValidValue()
    {
        InfoRig rig;
        rig.set({{2369, "12"}});
        rig.info.fill();
        rig.set({{2369, ""}});
        rig.info.fill();
        QCOMPARE(rig.info.value(5), DeviceInfo::kNoData);
        QCOMPARE(rig.info.KolichestvoVhodov, std::optional<int>(12));
        rig.set({{1411, "00"}, {1412, "12"}, {1413, "5F"}});
        rig.info.fill();
        QCOMPARE(rig.info.VersiaJadra, QStringLiteral("001.25"));
        rig.info.clearVersions();
        QVERIFY(rig.info.VersiaJadra.isEmpty() && rig.info.VersiaProshivki.isEmpty());
    }

    void captions_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1") << 1 << "Frame1" << "Имя устройства:";
        QTest::newRow("4") << 4 << "Frame1" << "IMEI:";
        QTest::newRow("7") << 7 << "Frame1" << "Версия прошивки:";
        QTest::newRow("11") << 11 << "Frame2" << "Мастер-ключ:";
        QTest::newRow("17") << 17 << "Frame2" << "Дополн. ключ №6:";
        QTest::newRow("21") << 21 << "Frame4" << "Блок №1:";
        QTest::newRow("31") << 31 << "Frame3" << "T2:";
        QTest::newRow("35") << 35 << "Frame3" << "T6:";
    }
    void captions()
    {
        QFETCH(int, index);
        QFETCH(QString, frame);
        QFETCH(QString, caption);
        InfoRig rig;
        DeviceInfoPage page(rig.info);
        QLabel *label = page.captionLabel(index);
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->parentWidget()->objectName(), frame);
        QCOMPARE(page.valueLabel(index)->parentWidget()->objectName(), frame);
    }
};

QTEST_MAIN(TestDeviceInfo)
#include "tst_deviceinfo.moc"
