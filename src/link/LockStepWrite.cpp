#include "link/LockStepWrite.h"

namespace {
// A unit that babbles "OOOO..." must not grow the kept text without end; the tail is what matters.
constexpr qsizetype kKeptLimit = 1024;
}

void LockStepWrite::start()
{
    m_sent = 0;
    m_acknowledged = 0;
    m_pending.clear();
    m_broken.clear();
}

LockStepWrite::Step LockStepWrite::onRead(const QByteArray &received, int idlePolls)
{
    if (received.isEmpty()) {
        if (idlePolls <= kIdleLimit)
            return Step::Wait;
        return allAcknowledged() ? Step::Finished : Step::Stalled;
    }
    m_pending += received;
    if (m_pending.contains(kGoAhead)) {
        m_pending.clear();
        // In lock-step an "OK" answers whatever went out last: the request, or the last block.
        m_acknowledged = m_sent;
        return allSent() ? Step::Wait : Step::SendNext;
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
