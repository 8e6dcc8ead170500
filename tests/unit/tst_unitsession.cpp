#include "SessionSeams.h"
#include <QtTest>
#include "FakeSerialPort.h"
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "TestSeams.h"
#include "config/ConfigExchange.h"
#include "config/ConfigImage.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "unit/UnitSession.h"
#include <QSignalSpy>

namespace {

// Two units in one process, as the command line's batch has them: one settings model, a session each.
struct TwoUnits : SessionSeams {
    FakeSerialPort portA;                      // a unit whose adapter is pulled mid-read
    SimCore coreB{SimDefaults::image(), SimDefaults::firmware()};
    SimLoopbackPort portB{coreB, 2};
    std::unique_ptr<UnitSession> a, b;

    explicit TwoUnits(const QStringList &lines)
    {
        QDir(folder.path()).mkpath(QStringLiteral("Service"));
        QFile file(settings.filePath());
        if (file.open(QIODevice::WriteOnly))
            file.write(Cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
        file.close();
        settings.TXconfigLoadParam();
        a = std::make_unique<UnitSession>(folder.path(), &portA, borrowed());
        b = std::make_unique<UnitSession>(folder.path(), &portB, borrowed());
        a->start(false);
        b->start(false);
    }
    // 50 ms of both pumps.
    void poll()
    {
        portB.advance(50);
        a->link().receiveTick();
        b->link().receiveTick();
    }
    bool identify(UnitSession &unit, int port)
    {
        QString number = QString::number(port);
        unit.link().PoiskUstroistva(number);
        for (int i = 0; i < 20 && unit.link().RPF_02VektorPriemaIsPorta == Tag::NameReading; ++i)
            poll();
        return unit.link().RPF_02VektorPriemaIsPorta == Tag::NameRead;
    }
};

const QStringList kLines{QStringLiteral("Доступный номер порта:1"), QStringLiteral("Доступный номер порта:2"),
                         QStringLiteral("Доступная скорость порта:9600"), QStringLiteral("Доступная скорость порта:19200"),
                         QStringLiteral("Акт индекс номера порта:2"), QStringLiteral("Акт индекс скорости:2"),
                         QStringLiteral("Акт индекс контр передачи:3"), QStringLiteral("RPF_19.Check5:1")};

} // namespace

// The core of one unit without widgets: what it takes from the settings model, and that units in
// one process share nothing else.
class TestUnitSession : public QObject {
    Q_OBJECT
private slots:
    // A unit made after the load and one present at a reload both take the model's values.
    void followsTheSettingsModel()
    {
        TwoUnits units(kLines);
        for (UnitSession *unit : {units.a.get(), units.b.get()}) {
            QCOMPARE(unit->choices().portItems(), (QStringList{"1", "2"}));
            QCOMPARE(unit->choices().speedText(), QStringLiteral("19200"));
            QCOMPARE(unit->choices().handshakeIndex(), 2);
            QCOMPARE(unit->link().UsbComPortNumber, 2);
            QCOMPARE(unit->link().UsbComPortSpeed, 19200);
            QVERIFY(unit->supervisor().Avtopoisk);
        }
        // One unit's own choice (the command line's --speed) is its own.
        units.a->overrideSpeed(115200);
        QCOMPARE(units.a->link().UsbComPortSpeed, 115200);
        QCOMPARE(units.b->link().UsbComPortSpeed, 19200);
        // A port numbered while the program runs joins every unit's list, and nothing else changes.
        units.settings.addPortNumber(7);
        QCOMPARE(units.b->choices().portItems(), (QStringList{"1", "2", "7"}));
        QCOMPARE(units.a->link().UsbComPortSpeed, 115200);
        // The options take effect at the next tick of every unit.
        units.options.setCheckState(1, 1);
        QVERIFY(units.a->supervisor().searchOnLoss && units.b->supervisor().searchOnLoss);
    }

    // Unit A loses its adapter in the middle of a read while B reads on: B ends with its unit's
    // image, A's image is never filled by B's bytes, and nothing is told to B.
    void aPulledAdapterStopsOnlyItsUnit()
    {
        TwoUnits units(kLines);
        units.portA.onWrite = [&](const QByteArray &bytes) {
            if (bytes == "#4000")
                units.portA.feed("#4000=UNIT A          \r\n");
            else if (bytes == "#6000")
                units.portA.feed(QByteArray(640, '\x11'));
        };
        QVERIFY(units.identify(*units.a, 1));
        QVERIFY(units.identify(*units.b, 2));
        QCOMPARE(units.a->link().deviceName(), QStringLiteral("UNIT A          "));
        QCOMPARE(units.b->link().UstroistvoNameClear, units.coreB.deviceName());
        for (UnitSession *unit : {units.a.get(), units.b.get()})
            unit->status().setConnection(StatusModel::kActive);

        QSignalSpy onlineB(units.b.get(), &UnitSession::onlineChanged);
        units.a->configExchange().ConfiguraciaReadProcess();
        units.b->configExchange().ConfiguraciaReadProcess();
        units.poll();
        units.poll();
        units.portA.failReadsWith = 8020;   // the adapter is pulled
        for (int i = 0; i < 200 && units.b->link().RPF_02VektorPriemaIsPorta == Tag::ConfigRead; ++i)
            units.poll();

        QVERIFY(!units.a->link().isOpen());
        QCOMPARE(units.a->status().connection(), QStringLiteral("Ошибка соединения 8020"));
        QVERIFY(units.a->link().RPF_02VektorPriemaIsPorta != Tag::ReadOk);
        QCOMPARE(units.b->link().RPF_02VektorPriemaIsPorta, Tag::ReadOk);
        QVERIFY(units.b->link().isOpen());
        for (int i = 1; i <= ConfigImage::kImageSize; ++i)
            QCOMPARE(units.b->image().byteAt(i), int(static_cast<unsigned char>(units.coreB.image().at(i - 1))));
        QCOMPARE(units.a->image().byteAt(641), -1);
        QVERIFY(onlineB.isEmpty());
        // Only A's loss is told.
        QVERIFY2(units.messages.texts.size() == 1
                     && units.messages.texts.first().startsWith(
                         QStringLiteral("Связь с устройством потеряна во время чтения конфигурации (получено 640 из")),
                 qPrintable(units.messages.texts.join(QLatin1Char('|'))));
    }

    // The core stops its timers and closes its port when it goes, also in the middle of an exchange.
    void goingAwayClosesThePort()
    {
        TwoUnits units(kLines);
        QVERIFY(units.identify(*units.b, 2));
        units.b->status().setConnection(StatusModel::kActive);
        units.b->configExchange().ConfiguraciaReadProcess();
        units.poll();
        QVERIFY(units.portB.isOpen());
        units.b.reset();
        QVERIFY(!units.portB.isOpen());
        units.a->link().receiveTick();   // the other unit goes on
    }

    // An exchange's end is told once, with its final state: a success, a failure (also when the port
    // went under it); abort() ends one without a word and frees the port.
    void exchangeEndedTellsTheFinalState_data()
    {
        QTest::addColumn<int>("ending");   // 0 the reply comes, 1 no reply, 2 the adapter is pulled, 3 abort
        QTest::addColumn<QStringList>("ended");
        QTest::newRow("read") << 0 << QStringList{Tag::ReadOk};
        QTest::newRow("no reply") << 1 << QStringList{Tag::ReadError};
        QTest::newRow("adapter pulled") << 2 << QStringList{Tag::ReadError};
        QTest::newRow("aborted") << 3 << QStringList{};
    }
    void exchangeEndedTellsTheFinalState()
    {
        QFETCH(int, ending);
        QFETCH(QStringList, ended);
        TwoUnits units(kLines);
        units.portA.onWrite = [&](const QByteArray &bytes) {
            if (bytes == "#4000")
                units.portA.feed("#4000=UNIT A          \r\n");
            else if (bytes == "#6000" && ending == 0)
                units.portA.feed(QByteArray(2368, '\x11') + QByteArray("\x08\x02", 2));
        };
        QVERIFY(units.identify(*units.a, 1));
        units.a->status().setConnection(StatusModel::kActive);
        QSignalSpy spy(units.a.get(), &UnitSession::exchangeEnded);
        units.a->configExchange().ConfiguraciaReadProcess();
        units.a->followExchange();
        QVERIFY(units.a->exchangeRunning());
        if (ending == 2)
            units.portA.failReadsWith = 8020;
        if (ending == 3)
            units.a->abort();
        for (int i = 0; i < 200 && units.a->exchangeRunning(); ++i)
            units.poll();
        QStringList tags;
        for (const QList<QVariant> &arguments : spy)
            tags << arguments.at(0).toString();
        QCOMPARE(tags, ended);
        QCOMPARE(units.a->exchangeTag(), ended.value(0));
        QCOMPARE(units.a->link().isOpen(), ending < 2);
    }
};

QTEST_GUILESS_MAIN(TestUnitSession)
#include "tst_unitsession.moc"
