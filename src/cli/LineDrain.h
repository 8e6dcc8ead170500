#pragma once
#include <QtGlobal>

// After an interrupted transfer a unit goes on with its reply (or waits about 2 s to give up a
// write): what it still sends is read away until the line has been quiet as long as identification
// waits for a reply, so the request that follows is answered at once. The drain is bounded, so a
// unit that never falls silent does not hold the command up for ever.
class LineDrain {
public:
    // One read of the line every this many milliseconds.
    static constexpr int kPollMs = 50;
    // The line counts as quiet after this many empty reads (identification's own silence limit) ...
    static constexpr int kQuietPolls = 6;
    // ... and is given up on after this long plus twice the line time of a configuration reply.
    static constexpr int kBoundMs = 2500;
    static constexpr int kConfigReplyBytes = 2370;

    explicit LineDrain(int baud) : m_boundMs(boundMs(baud)) {}

    static qint64 boundMs(int baud)
    {
        return kBoundMs + 2 * qint64(kConfigReplyBytes) * 10 * 1000 / qMax(1, baud);
    }
    // One read that got `bytes`, elapsedMs after the drain began; true when the drain is over.
    bool poll(qsizetype bytes, qint64 elapsedMs)
    {
        m_quiet = bytes == 0 ? m_quiet + 1 : 0;
        return m_quiet >= kQuietPolls || elapsedMs >= m_boundMs;
    }

private:
    qint64 m_boundMs;
    int m_quiet = 0;
};
