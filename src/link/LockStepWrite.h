#pragma once
#include <QByteArray>
#include <QString>

// The program's half of a block write in lock-step with the unit ("#6001", "#5001"): the unit answers
// the request and every block with a text containing "OK", and each such answer releases the next
// block. An answer may arrive split over several reads, so received text is kept until an "OK"
// completes. Line ends, blanks and NUL bytes around an "OK" (a USB adapter often hands the line end
// over in a read of its own) are never stray text.
//
// A write is judged block by block, never by how long it takes in all: each block's "OK" is due by
// the 16th poll after the block reached the unit, checked on every poll, so text the unit sends
// meanwhile neither stretches nor shortens that. Without an "OK" by then the write stalls, or, with
// bytes arriving on that poll, ends as a line sending something else; so does more than 1 KiB
// received since the last "OK". After the last "OK" the write ends on 16 silent polls, or as such
// a line when bytes still come 16 polls after it.
//
// Other text where an "OK" was due breaks a configuration write at once; a firmware write shows it
// and goes on (see StrayText).
class LockStepWrite {
public:
    inline static const QByteArray kGoAhead = QByteArrayLiteral("OK");
    // The write ends at the first poll whose idle count exceeds this once every block is
    // acknowledged, and at the first poll this many polls past a block's arrival without its "OK".
    static constexpr int kIdleLimit = 15;
    // Bytes the unit may send between two "OK"s: a status line, its line end, fillers.
    static constexpr qsizetype kTextLimit = 1024;
    // Receive poll period the limits are counted in.
    static constexpr int kPollMs = 50;
    // On the line with each block: 64 data bytes and the "OK" CR LF that answers it.
    static constexpr int kBlockLineBytes = 64 + 4;

    // Every block went out but the unit never acknowledged the last one.
    inline static const QString kNotAcknowledged =
        QStringLiteral("Ошибка загрузки! Устройство не подтвердило прием последнего блока!");
    // The unit kept sending, but no "OK".
    inline static const QString kNoGoAhead =
        QStringLiteral("Ошибка загрузки! Устройство передаёт посторонние данные вместо подтверждения \"OK\"!");

    // What other text where an "OK" was due does to the write.
    enum class StrayText {
        Breaks,   // the configuration's rule: the write ends
        Shown,    // the firmware's rule: the text is reported, the next "OK" releases the next block
    };

    enum class Step {
        Wait,       // nothing to do now
        SendNext,   // an "OK" released block nextBlock(): send it, then call blockSent()
        Broken,     // text that is no "OK" arrived (StrayText::Breaks); brokenText() holds it
        Finished,   // silence after every block was acknowledged
        Stalled,    // silence before that
        NoGoAhead,  // the unit keeps sending without an "OK"
    };

    explicit LockStepWrite(int blockCount, StrayText stray = StrayText::Breaks)
        : m_blockCount(blockCount), m_stray(stray)
    {
    }

    // Line ends, blanks and NUL bytes: what a unit may send around its "OK".
    static bool isFiller(char byte) { return byte == '\r' || byte == '\n' || byte == ' ' || byte == '\0'; }

    // The request has gone out at receive poll pollNow: nothing sent, nothing acknowledged, nothing kept.
    void start(int pollNow = 0);
    // The unit's 16 polls count from when a block has reached it: at a port speed (baud > 0) the
    // polls its block and answer take on the line, and one for a timer that fires early, are added
    // to the limits. Without a speed nothing is added.
    void setLineSpeed(int baud) { m_gracePolls = gracePolls(baud); }
    static int gracePolls(int baud);
    int gracePolls() const { return m_gracePolls; }
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
    // The text of the last Broken step.
    QByteArray brokenText() const { return m_broken; }
    // StrayText::Shown: the text the unit sent in place of the "OK" just taken (or, when the write
    // ends, since the last one), without its fillers; empty when there was none. Taking it empties it.
    QByteArray takeStatusText();

private:
    void takeGoAhead(qsizetype at, int pollNow);
    bool answerOverdue(int pollNow) const { return pollNow - m_lastGoAheadPoll > kIdleLimit + m_gracePolls; }

    int m_blockCount;
    StrayText m_stray;
    int m_sent = 0;
    int m_acknowledged = 0;
    bool m_requestAnswered = false;
    int m_lastGoAheadPoll = 0;
    int m_gracePolls = 0;
    QByteArray m_pending;     // received since the last "OK", still able to become one (or a status text)
    qsizetype m_sinceGoAhead = 0;   // bytes received since the last "OK"
    QByteArray m_broken;
    QByteArray m_status;
};
