#include "link/LockStepWrite.h"
#include <algorithm>

namespace {
// A unit that babbles "OOOO..." must not grow the kept text without end; the tail is what matters.
constexpr qsizetype kKeptLimit = 1024;
}

int LockStepWrite::deadlinePolls(int blockCount, int baud)
{
    if (baud <= 0)
        return 0;
    // Ten bit times a byte; everything in milliseconds times the speed, so no rounding on the way.
    const qint64 lineBytes = kRequestLineBytes + qint64(blockCount) * kBlockLineBytes;
    const qint64 budget = kLineTimeFactor * lineBytes * 10 * 1000 + qint64(blockCount) * kBlockTurnaroundMs * baud;
    const qint64 perPoll = qint64(kPollMs) * baud;
    return int((budget + perPoll - 1) / perPoll) + kIdleLimit + 1;
}

void LockStepWrite::start(int pollNow, int baud)
{
    m_sent = 0;
    m_acknowledged = 0;
    m_startPoll = pollNow;
    m_deadline = deadlinePolls(m_blockCount, baud);
    m_pending.clear();
    m_broken.clear();
}

LockStepWrite::Step LockStepWrite::onRead(const QByteArray &received, int idlePolls, int pollNow)
{
    if (received.isEmpty() && idlePolls > kIdleLimit)
        return allAcknowledged() ? Step::Finished : Step::Stalled;
    // A unit (or line) that never falls silent must not hold the link for ever.
    if (m_deadline > 0 && pollNow - m_startPoll > m_deadline)
        return Step::Overdue;
    if (received.isEmpty())
        return Step::Wait;
    // Mostly nothing waits: the bytes are shared, not copied.
    if (m_pending.isEmpty())
        m_pending = received;
    else
        m_pending += received;
    if (m_pending.contains(kGoAhead)) {
        m_pending.clear();
        // In lock-step an "OK" answers whatever went out last: the request, or the last block.
        m_acknowledged = m_sent;
        return allSent() ? Step::Wait : Step::SendNext;
    }
    // Line ends and fillers before an "OK" (or after the last one) are kept for nothing.
    if (std::all_of(m_pending.cbegin(), m_pending.cend(), isFiller)) {
        m_pending.clear();
        return Step::Wait;
    }
    // A trailing "O" may be the first half of an "OK" still on the line.
    if (m_pending.endsWith('O')) {
        if (m_pending.size() > kKeptLimit)
            m_pending = m_pending.right(kKeptLimit);
        return Step::Wait;
    }
    m_broken = m_pending;
    m_pending.clear();
    return Step::Broken;
}
