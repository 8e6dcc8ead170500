#pragma once
#include "cli/BatchRun.h"
#include "cli/ExitCode.h"
#include "cli/UnitReport.h"
#include "cli/FixedFileDialogs.h"
#include "cli/LineDrain.h"
#include "cli/StderrMessageSink.h"
#include "config/ConfigExchange.h"
#include "shell/Clock.h"
#include "shell/MessageSink.h"
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QTemporaryDir;
class SerialLink;
class UnitSession;

// A unit's message boxes: kept for the end, and in plain mode also shown at once with the port.
// The generic count message is not printed: the unit's result says which count was wrong.
class UnitMessages : public MessageSink {
public:
    UnitMessages(int port, bool live, BatchRun::Writer err)
        : m_prefix(QStringLiteral("COM%1: ").arg(port)), m_live(live), m_err(std::move(err))
    {
    }
    void show(const QString &text) override
    {
        texts << text;
        const QString printed = StderrMessageSink::visible(text, withheld());
        if (m_live && !printed.isEmpty())
            m_err(m_prefix + printed + QLatin1Char('\n'));
    }
    // The texts kept, without the withheld lines; those printed with nothing left are left out.
    QStringList printable() const
    {
        QStringList out;
        for (const QString &text : texts)
            if (const QString printed = StderrMessageSink::visible(text, withheld()); !printed.isEmpty())
                out << printed;
        return out;
    }
    static const QStringList &withheld()
    {
        static const QStringList lines{ConfigExchange::kCountMismatch};
        return lines;
    }
    QStringList texts;

private:
    QString m_prefix;
    bool m_live;
    BatchRun::Writer m_err;
};

// One unit of a batch: its core, and the command run as a chain of exchanges, each step started
// when the one before has ended (no loop of its own: the batch's one event loop drives them all).
class BatchUnit : public QObject {
public:
    // live: the unit's messages are shown at once (plain output), not only kept for the end.
    BatchUnit(int port, std::unique_ptr<SerialPort> serialPort, ProgramSettings &settings, const CliOptions &options,
              const QString &folder, bool live, BatchRun::Writer err, const QList<QByteArray> &blocks);
    ~BatchUnit() override;

    std::function<void(BatchUnit *)> ended;

    void start();
    // Starts the next step once the exchange waited for has ended. Called by the batch's loop between
    // ticks too: a pump that stopped would never end the exchange.
    void check(bool betweenTicks = true);
    void interrupt();

    bool done() const { return m_done; }
    bool found() const { return !m_name.isEmpty(); }
    BatchRun::Row row() const;
    QJsonObject json() const { return m_json; }
    QString findText() const { return m_findText; }
    QStringList messages() const { return m_messages.printable(); }
    // Port, name, bytes and state, for the progress display.
    QString progressLine() const;
    // The tenth of the running transfer, -1 when none runs: plain mode writes a line per tenth.
    int tenth() const;
    QString stage() const { return m_stage; }

private:
    SerialLink &link();

    void waitWhile(const QString &tag, std::function<void()> then);
    void begin(const QString &stage, std::function<QString()> leftIn);
    void abort();
    void finish(int code, const QString &result);
    void fail(int code, const QString &result);
    // Whether the generic count message came since the running step began.
    bool countShown() const;

    // Asks the unit who it is, once the line has fallen quiet.
    void identify();
    void identified();

    // The configuration read into the image, the device information filled from it.
    void readInfo(std::function<void(bool)> then);

    QString fileIn(const QString &suffix) const;

    void readConfig();

    void writeConfig();

    // A firmware transfer starts through the queue.
    bool startFirmware(const QString &tag);

    void readFirmware();

    void writeFirmware();

    int m_port;
    const CliOptions &m_options;
    const QList<QByteArray> &m_blocks;
    UnitMessages m_messages;
    FixedFileDialogs m_dialogs;
    SystemClock m_systemClock;
    std::unique_ptr<SerialPort> m_serialPort;
    std::unique_ptr<UnitSession> m_unit;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QElapsedTimer m_clock;
    QTimer m_drainTimer;
    std::optional<LineDrain> m_drain;
    qint64 m_drainBegan = 0;
    QString m_waitTag;
    std::function<void()> m_then;
    std::function<QString()> m_leftIn;
    QString m_stage;
    bool m_counting = false;
    QString m_name;
    int m_code = ExitCode::Success;
    QString m_result;
    QString m_detail;
    UnitReport::PortOutcome m_outcome;
    qsizetype m_mark = 0;   // messages before the running step
    qint64 m_elapsedMs = 0;
    bool m_done = false;
    QJsonObject m_json;
    QString m_findText;
};
