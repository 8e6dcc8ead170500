#pragma once
#include <QByteArray>
#include <QString>

// The program's half of a block write in lock-step with the unit ("#6001", "#5001"): the unit answers
// the request and every block with a text containing "OK", and each such answer releases the next
// block. An answer may arrive split over several reads, so received text is kept until an "OK"
// completes; only text that can no longer become one breaks the sequence. A write succeeds only when
// the unit acknowledged every block and then fell silent.
class LockStepWrite {
public:
    inline static const QByteArray kGoAhead = QByteArrayLiteral("OK");
    // The write ends at the first poll whose idle count exceeds this.
    static constexpr int kIdleLimit = 15;
    // Every block went out but the unit never acknowledged the last one.
    inline static const QString kNotAcknowledged =
        QStringLiteral("Ошибка загрузки! Устройство не подтвердило прием последнего блока!");

    enum class Step {
        Wait,       // nothing to do now
        SendNext,   // an "OK" released block nextBlock(): send it, then call blockSent()
        Broken,     // text that is no "OK" arrived; brokenText() holds it
        Finished,   // silence after every block was acknowledged
        Stalled,    // silence before that
    };

    explicit LockStepWrite(int blockCount) : m_blockCount(blockCount) {}

    // The request has gone out: nothing sent, nothing acknowledged, nothing kept.
    void start();
    // One read of the link (empty when nothing arrived) and the idle poll count after it.
    Step onRead(const QByteArray &received, int idlePolls);
    void blockSent() { ++m_sent; }

    int blockCount() const { return m_blockCount; }
    int nextBlock() const { return m_sent; }
    int sent() const { return m_sent; }
    int acknowledged() const { return m_acknowledged; }
    bool allSent() const { return m_sent >= m_blockCount; }
    bool allAcknowledged() const { return m_acknowledged >= m_blockCount; }
    // The text of the last Broken step.
    QByteArray brokenText() const { return m_broken; }

private:
    int m_blockCount;
    int m_sent = 0;
    int m_acknowledged = 0;
    QByteArray m_pending;   // received since the last "OK", still able to become one
    QByteArray m_broken;
};
