#pragma once
#include <QtGlobal>

// After an interrupted read a unit goes on with its reply: what it still sends is read away until
// the line has been quiet as long as identification waits for a reply, so the request that follows
// is answered at once. While bytes keep coming the drain goes on, up to the line time of the
// longest reply a unit sends. A unit left inside an unfinished write is silent and takes a request
// for a block until it gives the write up after a quiet time: that wait is a drain of its own.
class LineDrain {
public:
    // One read of the line every this many milliseconds.
    static constexpr int kPollMs = 50;
    // The line counts as quiet after this many empty reads (identification's own silence limit) ...
    static constexpr int kQuietPolls = 6;
    // A unit gives up an unfinished write after this long without a block.
    static constexpr int kGiveUpMs = 2000;
    // The longest reply: a whole firmware image.
    static constexpr int kLongestReplyBytes = 62720;
    // Beyond that line time, a margin for the unit's own pauses.
    static constexpr int kMarginMs = 2500;

    explicit LineDrain(int baud, int quietPolls = kQuietPolls) : m_boundMs(boundMs(baud)), m_quietPolls(quietPolls) {}

    static qint64 boundMs(int baud)
    {
        return kMarginMs + qint64(kLongestReplyBytes) * 10 * 1000 / qMax(1, baud);
    }
    // One read that got `bytes`; true when the drain is over.
    bool poll(qsizetype bytes)
    {
        m_elapsedMs += kPollMs;
        m_received += bytes;
        m_quiet = bytes == 0 ? m_quiet + 1 : 0;
        return m_quiet >= m_quietPolls || m_elapsedMs >= m_boundMs;
    }
    // Bytes read away so far.
    qint64 received() const { return m_received; }

private:
    qint64 m_boundMs;
    int m_quietPolls;
    qint64 m_elapsedMs = 0;
    qint64 m_received = 0;
    int m_quiet = 0;
};
