#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class SerialLink;
class UnitMessages;
class UnitSession;

// One piece of service work on one unit, as an object: start() sets it going, the unit's pump and
// the session's exchangeEnded drive it on, finished() ends it with a result. Nothing waits in a loop
// of its own, so any number of jobs share one event loop. A job never closes over a face: what it
// tells goes out through its signals and its result.
class UnitJob : public QObject {
    Q_OBJECT
public:
    struct Result {
        int code = 0;     // the exit status (ExitCode)
        // The sentence for the user: what was done, or why it failed and what the file and the unit
        // are left with.
        QString text;
        // A table's few words on success ("сохранено: COM1 Склад.cf"); empty on failure.
        QString brief;
        // text is a routine's own message, already shown as it came.
        bool shown = false;
    };

    UnitJob(UnitSession &unit, UnitMessages &messages, QObject *parent = nullptr);
    ~UnitJob() override;

    virtual void start() = 0;
    // Ctrl+C: the exchange stops, and finished() follows with what the unit and file are left with.
    void interrupt();

    bool done() const { return m_done; }
    const Result &result() const { return m_result; }
    // The last configuration read came whole but its model cells named no model.
    bool readNamedNoModel() const { return !m_noModelCells.isEmpty(); }
    // What the job does now, e.g. "Чтение конфигурации"; a transfer's caption.
    QString stage() const { return m_stage; }
    // The running transfer's bytes done and in all, while one is counted.
    std::optional<std::pair<qint64, qint64>> counted() const;
    // Whether the stage shown is a counted transfer (identification and waits are not).
    bool counting() const { return m_counting; }
    UnitSession &unit() { return m_unit; }
    // The warnings told on the way, for a batch's table.
    const QStringList &warnings() const { return m_warnings; }

signals:
    // A stage began (its caption) or its note changed.
    void stageChanged(const QString &stage);
    void progressed(qint64 count, qint64 total);
    // An exchange waited for has ended, before the job goes on.
    void exchangeDone();
    // A step done on the way, told as it happens ("Записано успешно! F.cf" before the verify).
    void said(const QString &text);
    // Something the user must know even when told nothing else (--quiet): a doubt about the data.
    void warned(const QString &text);
    void finished();

protected:
    // After an exchange was started: then() runs once it has ended, outside the pump's own tick;
    // at once (queued too) when it is not running, i.e. its start failed.
    void await(std::function<void()> then);
    // A new stage; leftIn says what Ctrl+C during it leaves behind.
    void begin(const QString &stage, std::function<QString()> leftIn, bool counted = true);
    void note(const QString &stage);
    void warn(const QString &text);
    void finish(int code, const QString &text, const QString &brief = QString());
    // Stops the exchange first.
    void fail(int code, const QString &text);
    // What a routine said since the stage began, or fallback.
    QString firstMessageOr(const QString &fallback);
    // Whether the exchanges' generic count message came since the stage began.
    bool countShown() const;
    SerialLink &link();

    // The configuration read into the image and the device information filled from it.
    // leftIn: what Ctrl+C during the read leaves behind, when not the read's own words.
    // A read whose model cells name no model is not ok: the bytes are not a unit's.
    void readInfo(std::function<void(bool ok)> then, const QString &leftIn = QString());
    // Why the last readInfo was not ok, as a sentence.
    QString readInfoFailure();
    // The configuration read into a side buffer, the image untouched (the transfer's copied()).
    void readAside(std::function<void(bool ok)> then, const QString &leftIn);

    UnitSession &m_unit;
    UnitMessages &m_messages;
    // A copy of a read on the way that could not be written makes a success SideFileFailed; off for
    // the commands that only show the unit (its error is shown all the same).
    bool m_copiesCount = true;

private:
    void onEnded();

    std::function<void()> m_then;
    std::function<QString()> m_leftIn;
    QString m_stage;
    QStringList m_warnings;
    bool m_counting = false;
    qsizetype m_mark = 0;
    bool m_done = false;
    int m_copyFailures = 0;
    QString m_noModelCells;   // the last readInfo's model cells, when they named no model   // the unit's copies that could not be written before this job
    Result m_result;
};
