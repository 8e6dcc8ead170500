#pragma once
#include <QByteArray>
#include <QString>

// The program's half of a block write in lock-step with the unit ("#6001", "#5001"): the unit answers
// the request and every block with a text containing "OK", and each such answer releases the next
// block. An answer may arrive split over several reads, so received text is kept until an "OK"
// completes; only text that can no longer become one breaks the sequence. Line ends, blanks and NUL
// bytes around an "OK" (a USB adapter often hands the line end over in a read of its own) are never
// stray text. A write succeeds only when the unit acknowledged every block and then fell silent, and
// it never outlasts its deadline, however the unit goes on sending.
class LockStepWrite {
public:
    inline static const QByteArray kGoAhead = QByteArrayLiteral("OK");
    // The write ends at the first poll whose idle count exceeds this.
    static constexpr int kIdleLimit = 15;
    // Period of the receive poll the deadline is counted in.
    static constexpr int kPollMs = 50;
    // The deadline allows this many times the line time of the request, the blocks and their
    // answers at the port's speed ...
    static constexpr int kLineTimeFactor = 4;
    // ... plus this long for the unit to take each block (the pace of one block per two polls) ...
    static constexpr int kBlockTurnaroundMs = 100;
    // ... plus the closing silence. Bytes on the line: the request and its "OK" CR LF, then each
    // block and its "OK" CR LF.
    static constexpr int kRequestLineBytes = 5 + 4;
    static constexpr int kBlockLineBytes = 64 + 4;
    // Every block went out but the unit never acknowledged the last one.
    inline static const QString kNotAcknowledged =
        QStringLiteral("Ошибка загрузки! Устройство не подтвердило прием последнего блока!");
    // The unit kept the line busy past the write's deadline.
    inline static const QString kOverdue =
        QStringLiteral("Ошибка загрузки! Устройство не завершило обмен в отведенное время!");

    enum class Step {
        Wait,       // nothing to do now
        SendNext,   // an "OK" released block nextBlock(): send it, then call blockSent()
        Broken,     // text that is no "OK" arrived; brokenText() holds it
        Finished,   // silence after every block was acknowledged
        Stalled,    // silence before that
        Overdue,    // the deadline passed before the write ended
    };

    explicit LockStepWrite(int blockCount) : m_blockCount(blockCount) {}

    // Receive polls a write of blockCount blocks may take from its request at this port speed.
    static int deadlinePolls(int blockCount, int baud);
    // Line ends, blanks and NUL bytes: what a unit may send around its "OK".
    static bool isFiller(char byte) { return byte == '\r' || byte == '\n' || byte == ' ' || byte == '\0'; }

    // The request has gone out at receive poll pollNow: nothing sent, nothing acknowledged, nothing
    // kept. With a port speed (baud > 0) the write has a deadline; without one it has none.
    void start(int pollNow = 0, int baud = 0);
    // One read of the link (empty when nothing arrived), the idle poll count after it and the
    // number of the current receive poll.
    Step onRead(const QByteArray &received, int idlePolls, int pollNow = 0);
    void blockSent() { ++m_sent; }

    int blockCount() const { return m_blockCount; }
    int nextBlock() const { return m_sent; }
    int sent() const { return m_sent; }
    int acknowledged() const { return m_acknowledged; }
    bool allSent() const { return m_sent >= m_blockCount; }
    bool allAcknowledged() const { return m_acknowledged >= m_blockCount; }
    // Polls from the request after which the write is overdue; 0: no deadline.
    int deadline() const { return m_deadline; }
    // The text of the last Broken step.
    QByteArray brokenText() const { return m_broken; }

private:
    int m_blockCount;
    int m_sent = 0;
    int m_acknowledged = 0;
    int m_startPoll = 0;
    int m_deadline = 0;
    QByteArray m_pending;   // received since the last "OK", still able to become one
    QByteArray m_broken;
};
