#include "SessionSeams.h"
#include <QtTest>
#include "SimCore.h"
#include "SimDefaults.h"
#include "SimLoopbackPort.h"
#include "TestSeams.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
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

enum class Exchange { ConfigWrite, LoadFromFile, FirmwareWrite, ConfigRead, FirmwareRead, Identification };

const QMap<QString, Exchange> &exchanges()
{
    static const QMap<QString, Exchange> map{
        {QStringLiteral("configuration write"), Exchange::ConfigWrite},
        {QStringLiteral("Load from file"), Exchange::LoadFromFile},
        {QStringLiteral("firmware write"), Exchange::FirmwareWrite},
        {QStringLiteral("configuration read"), Exchange::ConfigRead},
        {QStringLiteral("firmware read"), Exchange::FirmwareRead},
        {QStringLiteral("identification"), Exchange::Identification},
    };
    return map;
}

QByteArray requestOf(Exchange exchange)
{
    switch (exchange) {
    case Exchange::ConfigWrite:
    case Exchange::LoadFromFile: return "#6001";
    case Exchange::FirmwareWrite: return "#5001";
    case Exchange::ConfigRead: return "#6000";
    case Exchange::FirmwareRead: return "#5000";
    case Exchange::Identification: return "#4000";
    }
    return QByteArray();
}

// The answer's pieces when a read's reply comes spaced out: one a block, or the name in two.
int replyPieces(Exchange exchange)
{
    switch (exchange) {
    case Exchange::ConfigRead: return 37;
    case Exchange::FirmwareRead: return 980;
    default: return 2;
    }
}

bool isWrite(Exchange exchange)
{
    return exchange == Exchange::ConfigWrite || exchange == Exchange::LoadFromFile
        || exchange == Exchange::FirmwareWrite;
}

// The line behaviours. For a write the unit's "OK"s are held back; for a read the reply comes in
// pieces that far apart. ms: the delay, chosen per row against the exchange's silence limit.
SimFaults faultsFor(Exchange exchange, const QString &behaviour, int ms)
{
    SimFaults faults;
    faults.onlyFor = {requestOf(exchange)};
    const bool write = isWrite(exchange);
    if (behaviour == QLatin1String("every answer late")) {
        if (write) {
            faults.ackDelayMs = ms;
        } else {
            faults.pieces = replyPieces(exchange);
            faults.gapMs = ms;
        }
    } else if (behaviour == QLatin1String("one answer late")) {
        if (write) {
            faults.ackDelayMs = ms;
            faults.ackDelayEvery = 10;
        } else {
            faults.pieces = 2;
            faults.gapMs = ms;
        }
    } else if (behaviour == QLatin1String("line end apart")) {
        if (write) {
            faults.splitCrlfMs = ms;
        } else {
            faults.pieces = 2;
            faults.gapMs = ms;
        }
    } else if (behaviour == QLatin1String("status text")) {
        // The line before the 10th "OK", which comes 100 ms after it, in a read of its own.
        faults.statusText = "BUSY";
        faults.statusAt = 10;
        faults.ackDelayMs = 100;
        faults.ackDelayEvery = 10;
    } else if (behaviour == QLatin1String("stream")) {
        faults.streamAfter = 1000000000000;
        faults.streamByte = 'x';
    } else if (behaviour == QLatin1String("silence")) {
        faults.silent = true;
    } else if (behaviour == QLatin1String("dropped")) {
        // ms: write blocks, or reply bytes after the 24 of the name, before the line goes.
        if (write)
            faults.closeAfterBlocks = ms;
        else
            faults.closeAfterBytes = exchange == Exchange::Identification ? ms : 24 + ms;
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
const QString kFirmwareWarning = QStringLiteral("Запись прошивки не завершена: устройство может остаться без "
                                                "работающей прошивки! Повторите загрузку прошивки из файла.");
const QString kLostReason = QStringLiteral("Причина: порт перестал отвечать (Ошибка соединения 8020) — адаптер "
                                           "отключён, устройство выключено или перезапущено.");
const QString kConfigIncomplete =
    QStringLiteral("Конфигурация в устройстве может быть записана не полностью, повторите запись.");
const QString kFirmwareNotSaved = QStringLiteral("Файл прошивки не сохранён: %1");

} // namespace

// Every exchange against every way a line behaves, with the protocol's limits written out: an
// answer within 16 polls (0.8 s) of the block keeps a write going however long it takes in all,
// beyond that it ends with the size message; a read ends after 16 silent polls, and at once when
// more than its reply has come; identification waits 5 silent polls and no more than 24 bytes. A
// status text goes on in a firmware write and breaks a configuration write. In process, on
// virtual time.
class TestLineFaultMatrix : public QObject {
    Q_OBJECT

private slots:
    void exchangeOnLine_data()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<QString>("behaviour");
        QTest::addColumn<int>("ms");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QStringList>("messages");   // message boxes in order; %1: the file
        const auto row = [](const QString &exchange, const QString &behaviour, int ms, const QString &tag,
                            const QStringList &messages) {
            QTest::newRow(qPrintable(QStringLiteral("%1: %2 %3").arg(exchange, behaviour).arg(ms)))
                << exchange << behaviour << ms << tag << messages;
        };
        const QString noGoAhead =
            QStringLiteral("Ошибка загрузки! Устройство передаёт посторонние данные вместо подтверждения \"OK\"!");

        for (const QString &write : {QStringLiteral("configuration write"), QStringLiteral("Load from file")}) {
            row(write, "fast", 0, Tag::Written, {});
            row(write, "every answer late", 700, Tag::Written, {});
            row(write, "every answer late", 800, Tag::Written, {});   // 16 polls: the limit
            // At 9600 baud a block is 71 ms on the line: 16 polls after it reached the unit, and one
            // poll for a timer firing early, the limit is 950 ms after it went out.
            row(write, "every answer late", 850, Tag::Written, {});
            row(write, "every answer late", 900, Tag::Written, {});
            row(write, "one answer late", 1000, Tag::WriteError, {kSize});
            row(write, "line end apart", 60, Tag::Written, {});
            row(write, "status text", 0, Tag::WriteError, {kSequence});
            row(write, "stream", 0, Tag::WriteError, {kSequence});
            row(write, "silence", 0, Tag::WriteError, {kSize});
            row(write, "dropped", 27, Tag::WriteError,
                {QStringLiteral("Связь с устройством потеряна во время записи конфигурации (передано 1728 из 2368 "
                                "байт).\n")
                 + kLostReason + QLatin1Char('\n') + kConfigIncomplete});
        }

        const QString firmware = QStringLiteral("firmware write");
        row(firmware, "fast", 0, Tag::Written, {});
        row(firmware, "every answer late", 700, Tag::Written, {});
        row(firmware, "every answer late", 800, Tag::Written, {});
        row(firmware, "every answer late", 900, Tag::Written, {});
        row(firmware, "one answer late", 1000, Tag::WriteError, {kSize + QLatin1Char('\n') + kFirmwareWarning});
        row(firmware, "line end apart", 60, Tag::Written, {});
        row(firmware, "status text", 0, Tag::Written, {kSequence + QStringLiteral(" ОК=BUSY")});
        row(firmware, "stream", 0, Tag::WriteError,
            {noGoAhead + QLatin1Char('\n') + kSequence + QStringLiteral(" ОК=") + QString(100, QLatin1Char('x'))
             + QStringLiteral("…\n") + kFirmwareWarning});
        row(firmware, "silence", 0, Tag::WriteError, {kSize});
        row(firmware, "dropped", 300, Tag::WriteError,
            {QStringLiteral("Связь с устройством потеряна во время записи прошивки (передано 19200 из 62720 байт).\n")
             + kLostReason
             + QStringLiteral("\nЗапись прошивки не завершена: устройство может остаться без работающей прошивки! "
                              "Когда устройство снова ответит, повторите загрузку прошивки из файла.")});

        const QString read = QStringLiteral("configuration read");
        row(read, "fast", 0, Tag::ReadOk, {});
        row(read, "every answer late", 700, Tag::ReadOk, {});
        row(read, "every answer late", 800, Tag::ReadOk, {});
        row(read, "one answer late", 900, Tag::ReadError, {kSize});
        row(read, "line end apart", 60, Tag::ReadOk, {});
        row(read, "stream", 0, Tag::ReadError, {kSize});
        row(read, "silence", 0, Tag::ReadError, {kSize});
        row(read, "dropped", 1176, Tag::ReadError,
            {QStringLiteral("Связь с устройством потеряна во время чтения конфигурации (получено 1176 из 2370 байт).\n")
             + kLostReason
             + QStringLiteral("\nВ памяти программы часть конфигурации устройства и часть прежней: когда "
                              "устройство снова ответит, прочитайте конфигурацию ещё раз кнопкой \"Прочитать\".")});

        const QString firmwareRead = QStringLiteral("firmware read");
        row(firmwareRead, "fast", 0, Tag::Saved, {});
        row(firmwareRead, "every answer late", 700, Tag::Saved, {});
        row(firmwareRead, "one answer late", 900, Tag::SaveError, {kSize + QLatin1Char('\n') + kFirmwareNotSaved});
        row(firmwareRead, "line end apart", 60, Tag::Saved, {});
        row(firmwareRead, "stream", 0, Tag::SaveError, {kSize + QLatin1Char('\n') + kFirmwareNotSaved});
        row(firmwareRead, "silence", 0, Tag::SaveError, {kSize + QLatin1Char('\n') + kFirmwareNotSaved});
        row(firmwareRead, "dropped", 19200, Tag::SaveError,
            {QStringLiteral("Связь с устройством потеряна во время чтения прошивки (получено 19200 из 62720 байт).\n")
             + kLostReason + QLatin1Char('\n') + kFirmwareNotSaved});

        // The name reply waits 5 silent polls and no more: a piece 350 ms after the first (taken at
        // the poll after it came) leaves 5 silent polls between, 400 ms leaves 6.
        const QString name = QStringLiteral("identification");
        row(name, "fast", 0, Tag::NameRead, {});
        row(name, "every answer late", 350, Tag::NameRead, {});
        row(name, "every answer late", 400, Tag::NameNotRead, {});
        row(name, "every answer late", 700, Tag::NameNotRead, {});
        row(name, "line end apart", 60, Tag::NameRead, {});
        row(name, "stream", 0, Tag::NameNotRead, {});
        row(name, "silence", 0, Tag::NameNotRead, {});
        row(name, "dropped", 10, QString(), {});   // the port closed: no unit, no exchange
    }

    void exchangeOnLine()
    {
        QFETCH(QString, exchange);
        QFETCH(QString, behaviour);
        QFETCH(int, ms);
        QFETCH(QString, tag);
        QFETCH(QStringList, messages);
        const Exchange which = exchanges().value(exchange);
        MatrixRig rig(faultsFor(which, behaviour, ms));
        const QString file = rig.folder.filePath(which == Exchange::FirmwareWrite || which == Exchange::FirmwareRead
                                                     ? QStringLiteral("unit.fw")
                                                     : QStringLiteral("unit.cf"));
        const QByteArray newConfig = inverted(SimDefaults::image());
        const QByteArray newFirmware = inverted(SimDefaults::firmware());
        const QByteArray earlierFile("an earlier backup");

        // Every poll an exchange may take: 980 blocks at 18 polls each and the closing silence.
        constexpr int kPollLimit = 980 * 18 + 100;
        int polls = 0;
        if (which == Exchange::Identification) {
            QString number = QStringLiteral("1");
            rig.unit.link().PoiskUstroistva(number);
            polls = rig.pollWhile(Tag::NameReading, kPollLimit);
        } else {
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
                QFile out(file);
                QVERIFY(out.open(QIODevice::WriteOnly));
                out.write(ConfigFiles::formatImage(image));
                out.close();
                rig.dialogs.answers = {file};
                rig.unit.configTransfer().LoadFromFile();
                inProgress = Tag::ConfigFileLoad;
                break;
            }
            case Exchange::FirmwareWrite: {
                QFile out(file);
                QVERIFY(out.open(QIODevice::WriteOnly));
                out.write(FirmwareFile::format(newFirmware));
                out.close();
                QVERIFY(rig.unit.firmwareExchange().loadFromFile(file));
                rig.unit.queue().pump();
                inProgress = Tag::FirmwareWrite;
                break;
            }
            case Exchange::ConfigRead:
                rig.unit.configExchange().ConfiguraciaReadProcess();
                inProgress = Tag::ConfigRead;
                break;
            case Exchange::FirmwareRead: {
                QFile out(file);
                QVERIFY(out.open(QIODevice::WriteOnly));
                out.write(earlierFile);
                out.close();
                QVERIFY(rig.unit.firmwareExchange().saveToFile(file));
                rig.unit.queue().pump();
                inProgress = Tag::FirmwareRead;
                break;
            }
            case Exchange::Identification:
                break;
            }
            QCOMPARE(rig.tag(), inProgress);
            polls = rig.pollWhile(inProgress, kPollLimit);
        }
        QVERIFY2(polls < kPollLimit, "the exchange did not end");

        QCOMPARE(rig.tag(), tag);
        QStringList expected;
        for (const QString &message : std::as_const(messages))
            expected << (message.contains(QLatin1String("%1")) ? message.arg(file) : message);
        QCOMPARE(rig.messages.texts, expected);
        QVERIFY(rig.unit.queue().LinkFree());

        // What the unit and the file hold: the new data only after a success; a failed read keeps
        // the earlier file.
        const bool success = tag == Tag::Written || tag == Tag::ReadOk || tag == Tag::Saved;
        switch (which) {
        case Exchange::ConfigWrite:
        case Exchange::LoadFromFile:
            QCOMPARE(rig.core.image().left(2368) == newConfig.left(2368), success);
            break;
        case Exchange::FirmwareWrite:
            QCOMPARE(rig.core.firmware() == newFirmware, success);
            break;
        case Exchange::ConfigRead:
            if (success) {
                for (int position = 1; position <= 2370; ++position)
                    QCOMPARE(rig.unit.image().byteAt(position), int(quint8(SimDefaults::image().at(position - 1))));
            }
            break;
        case Exchange::FirmwareRead: {
            QFile in(file);
            QVERIFY(in.open(QIODevice::ReadOnly));
            QCOMPARE(in.readAll(), success ? FirmwareFile::format(SimDefaults::firmware()) : earlierFile);
            break;
        }
        case Exchange::Identification:
            QCOMPARE(rig.unit.link().UstroistvoNameClear, success || tag == Tag::NameRead ? SimDefaults::deviceName()
                                                                                        : QByteArray());
            break;
        }
    }
};

QTEST_GUILESS_MAIN(TestLineFaultMatrix)
#include "tst_linefaultmatrix.moc"
