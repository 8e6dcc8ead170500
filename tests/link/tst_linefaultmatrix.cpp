#include "SessionSeams.h"
#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "unit/UnitSession.h"

namespace {

// The simulated unit's line; once the unit closes it, reading fails as a pulled adapter's does.
class SimLine : public SimLoopbackPort {
public:
    explicit SimLine(SimCore &core) : SimLoopbackPort(core), m_core(core) {}
    QByteArray readAll() override
    {
        m_lost = isOpen() && m_core.lineClosed();
        return m_lost ? QByteArray() : SimLoopbackPort::readAll();
    }
    void close() override
    {
        m_lost = false;
        SimLoopbackPort::close();
    }
    int lastError() const override { return m_lost ? int(ReadError) : SimLoopbackPort::lastError(); }

private:
    SimCore &m_core;
    bool m_lost = false;
};

// One unit, wired as the window and the command line have it, on the simulated unit's line; time
// is virtual, one receive poll 50 ms.
struct MatrixRig : SessionSeams {
    SimCore core;
    SimLine port{core};
    UnitSession unit{folder.path(), &port, borrowed()};

    explicit MatrixRig(const SimFaults &faults) : core(SimDefaults::image(), SimDefaults::firmware(), faults)
    {
        unit.start(false);
    }
    QString tag() { return unit.link().RPF_02VektorPriemaIsPorta; }
    void poll()
    {
        port.advance(SerialLink::kPollMs);
        unit.link().receiveTick();
    }
    // Polls while the tag is `tag`, at most `limit` times; the polls taken.
    int pollWhile(const QString &tag, int limit)
    {
        int polls = 0;
        while (this->tag() == tag && polls < limit) {
            poll();
            ++polls;
        }
        return polls;
    }
    void identify()
    {
        QString number = QStringLiteral("1");
        unit.link().PoiskUstroistva(number);
        pollWhile(Tag::NameReading, 100);
    }
};

enum class Exchange { ConfigWrite, LoadFromFile, FirmwareWrite, FirmwareRead };

// The line behaviours. For a write the unit's "OK"s are held back; for the firmware read the reply
// comes in pieces that far apart, one a block. ms: the delay, chosen per row against the limit.
SimFaults faultsFor(Exchange exchange, const QString &behaviour, int ms)
{
    SimFaults faults;
    const char *const requests[] = {"#6001", "#6001", "#5001", "#5000"};
    faults.onlyFor = {requests[int(exchange)]};
    if (exchange == Exchange::FirmwareRead) {
        faults.pieces = behaviour == QLatin1String("every answer late") ? 980 : 2;
        faults.gapMs = ms;
    } else if (behaviour == QLatin1String("every answer late")) {
        faults.ackDelayMs = ms;
    } else if (behaviour == QLatin1String("one answer late")) {
        faults.ackDelayMs = ms;
        faults.ackDelayEvery = 10;
    } else if (behaviour == QLatin1String("status text")) {
        // The line before the 10th "OK", which comes 100 ms after it, in a read of its own.
        faults.statusText = "BUSY";
        faults.statusAt = 10;
        faults.ackDelayMs = 100;
        faults.ackDelayEvery = 10;
    } else if (behaviour == QLatin1String("status text, then a late answer")) {
        // The same line half a second after the 9th block reached the unit, its "OK" ms after that.
        faults.statusText = "BUSY";
        faults.statusAt = 10;
        faults.statusDelayMs = 500;
        faults.ackDelayMs = ms;
        faults.ackDelayEvery = 10;
    } else if (behaviour == QLatin1String("stream")) {
        faults.streamAfter = 1000000000000;
        faults.streamByte = 'x';
    } else if (behaviour == QLatin1String("dropped")) {
        faults.closeAfterBlocks = ms;
    }
    return faults;
}

// The configuration and firmware the program writes: the unit's own, every byte changed.
QByteArray inverted(const QByteArray &bytes)
{
    QByteArray out = bytes;
    for (char &c : out)
        c = char(~c);
    return out;
}

const QString kSize = QStringLiteral("Ошибка загрузки! Не соответствует количество байт!");
const QString kSequence = QStringLiteral("Ошибка загрузки! Нарушение последовательности обмена!");
const QString kBusy = QStringLiteral(" ОК=BUSY");
const QString kFirmwareWarning = QStringLiteral("Запись прошивки не завершена: устройство может остаться без "
                                                "работающей прошивки! Повторите загрузку прошивки из файла.");

} // namespace

// The exchanges on the simulated unit's line, in process on virtual time, for what their own unit
// tables cannot show: the silence limits at the port's speed (an answer within 16 polls, 0.8 s, of
// the block reaching the unit keeps a write going; the firmware read ends after 16 silent polls), a
// status text breaking a configuration write, a firmware write's stream, Load from file's lost line.
class TestLineFaultMatrix : public QObject {
    Q_OBJECT

private slots:
    void exchangeOnLine_data()
    {
        QTest::addColumn<int>("exchange");
        QTest::addColumn<QString>("behaviour");
        QTest::addColumn<int>("ms");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QStringList>("messages");   // message boxes in order; %1: the file
        const auto row = [](Exchange which, const char *behaviour, int ms, const QString &tag,
                            const QStringList &messages) {
            const char *const names[] = {"configuration write", "Load from file", "firmware write", "firmware read"};
            QTest::addRow("%s: %s %d", names[int(which)], behaviour, ms)
                << int(which) << QString::fromLatin1(behaviour) << ms << tag << messages;
        };

        // At 9600 baud a block is 71 ms on the line: 16 polls after it reached the unit, and one
        // poll for a timer firing early, the limit is 950 ms after it went out.
        row(Exchange::ConfigWrite, "every answer late", 900, Tag::Written, {});
        row(Exchange::ConfigWrite, "one answer late", 1000, Tag::WriteError, {kSize});
        row(Exchange::ConfigWrite, "status text", 0, Tag::WriteError, {kSequence});
        row(Exchange::LoadFromFile, "every answer late", 900, Tag::Written, {});
        row(Exchange::LoadFromFile, "one answer late", 1000, Tag::WriteError, {kSize});
        row(Exchange::LoadFromFile, "dropped", 27, Tag::WriteError,
            {QStringLiteral("Связь с устройством потеряна во время записи конфигурации (передано 1728 из 2368 байт).\n"
                            "Причина: порт перестал отвечать (Ошибка соединения 8020) — адаптер отключён, устройство "
                            "выключено или перезапущено.\n"
                            "Конфигурация в устройстве может быть записана не полностью, повторите запись.")});
        row(Exchange::FirmwareWrite, "every answer late", 900, Tag::Written, {});
        row(Exchange::FirmwareWrite, "one answer late", 1000, Tag::WriteError,
            {kSize + QLatin1Char('\n') + kFirmwareWarning});
        // A status text meanwhile neither stretches nor shortens the limit.
        row(Exchange::FirmwareWrite, "status text, then a late answer", 900, Tag::Written,
            {kSequence + kBusy + QStringLiteral("\nЭто сообщение устройства: запись прошивки продолжается, ждать ответа "
                                                "на него не нужно.")});
        row(Exchange::FirmwareWrite, "status text, then a late answer", 1000, Tag::WriteError,
            {kSize + QLatin1Char('\n') + kSequence + kBusy + QLatin1Char('\n') + kFirmwareWarning});
        row(Exchange::FirmwareWrite, "stream", 0, Tag::WriteError,
            {QStringLiteral("Ошибка загрузки! Устройство передаёт посторонние данные вместо подтверждения \"OK\"!\n")
             + kSequence + QStringLiteral(" ОК=") + QString(100, QLatin1Char('x')) + QStringLiteral("…\n")
             + kFirmwareWarning});
        row(Exchange::FirmwareRead, "every answer late", 700, Tag::Saved, {});
        row(Exchange::FirmwareRead, "one answer late", 900, Tag::SaveError,
            {kSize + QStringLiteral("\nФайл прошивки не сохранён: %1")});
    }

    void exchangeOnLine()
    {
        QFETCH(int, exchange);
        QFETCH(QString, behaviour);
        QFETCH(int, ms);
        QFETCH(QString, tag);
        QFETCH(QStringList, messages);
        const auto which = Exchange(exchange);
        MatrixRig rig(faultsFor(which, behaviour, ms));
        const bool firmware = which == Exchange::FirmwareWrite || which == Exchange::FirmwareRead;
        const QString file = rig.folder.filePath(firmware ? QStringLiteral("unit.fw") : QStringLiteral("unit.cf"));
        const QByteArray newConfig = inverted(SimDefaults::image());
        const QByteArray newFirmware = inverted(SimDefaults::firmware());
        const auto writeFile = [&file](const QByteArray &bytes) {
            QFile out(file);
            return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
        };

        rig.identify();
        QCOMPARE(rig.tag(), Tag::NameRead);
        rig.unit.status().setConnection(StatusModel::kActive);
        QString inProgress;
        switch (which) {
        case Exchange::ConfigWrite:
            rig.unit.image().setBytes(1, newConfig.constData(), newConfig.size());
            rig.unit.configExchange().ConfiguraciaWriteProcess();
            inProgress = Tag::ConfigWrite;
            break;
        case Exchange::LoadFromFile: {
            ConfigImage image;
            image.setBytes(1, newConfig.constData(), newConfig.size());
            QVERIFY(writeFile(ConfigFiles::formatImage(image)));
            rig.dialogs.answers = {file};
            rig.unit.configTransfer().LoadFromFile();
            inProgress = Tag::ConfigFileLoad;
            break;
        }
        case Exchange::FirmwareWrite:
            QVERIFY(writeFile(FirmwareFile::format(newFirmware)));
            QVERIFY(rig.unit.firmwareExchange().loadFromFile(file));
            rig.unit.queue().pump();
            inProgress = Tag::FirmwareWrite;
            break;
        case Exchange::FirmwareRead:
            QVERIFY(rig.unit.firmwareExchange().saveToFile(file));
            rig.unit.queue().pump();
            inProgress = Tag::FirmwareRead;
            break;
        }
        QCOMPARE(rig.tag(), inProgress);
        // Every poll an exchange may take: 980 blocks at 18 polls each and the closing silence.
        constexpr int kPollLimit = 980 * 18 + 100;
        QVERIFY2(rig.pollWhile(inProgress, kPollLimit) < kPollLimit, "the exchange did not end");

        QCOMPARE(rig.tag(), tag);
        QCOMPARE(rig.messages.texts, QStringList(messages).replaceInStrings(QStringLiteral("%1"), file));
        QVERIFY(rig.unit.queue().LinkFree());

        // The unit holds what was written only after a success.
        const bool written = tag == Tag::Written;
        if (which == Exchange::FirmwareWrite)
            QCOMPARE(rig.core.firmware() == newFirmware, written);
        else if (which != Exchange::FirmwareRead)
            QCOMPARE(rig.core.image().left(2368) == newConfig.left(2368), written);
    }
};

QTEST_GUILESS_MAIN(TestLineFaultMatrix)
#include "tst_linefaultmatrix.moc"
