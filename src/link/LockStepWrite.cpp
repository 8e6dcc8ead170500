#include "link/LockStepWrite.h"
#include <algorithm>

namespace {
bool onlyFillers(QByteArrayView text)
{
    return std::all_of(text.cbegin(), text.cend(), LockStepWrite::isFiller);
}

QByteArray withoutFillers(QByteArrayView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && LockStepWrite::isFiller(text.at(from)))
        ++from;
    while (to > from && LockStepWrite::isFiller(text.at(to - 1)))
        --to;
    return text.sliced(from, to - from).toByteArray();
}
}

void LockStepWrite::start(int pollNow)
{
    m_sent = 0;
    m_acknowledged = 0;
    m_requestAnswered = false;
    m_lastGoAheadPoll = pollNow;
    m_pending.clear();
    m_sinceGoAhead = 0;
    m_broken.clear();
    m_status.clear();
}

int LockStepWrite::gracePolls(int baud)
{
    if (baud <= 0)
        return 0;
    // Ten bits a byte with start and stop bit.
    const int lineMs = (kBlockLineBytes * 10 * 1000 + baud - 1) / baud;
    return (lineMs + kPollMs - 1) / kPollMs + 1;
}

QByteArray LockStepWrite::takeStatusText()
{
    QByteArray text;
    text.swap(m_status);
    return text;
}

void LockStepWrite::takeGoAhead(qsizetype at, int pollNow)
{
    // An "OK" once every block is out and acknowledged answers nothing: a line repeating it is
    // judged as one that sends anything else.
    const bool answers = !m_requestAnswered || m_acknowledged < m_sent || !allSent();
    m_requestAnswered = true;
    // In lock-step an "OK" answers whatever went out last: the request, or the last block.
    m_acknowledged = m_sent;
    if (m_stray == StrayText::Shown) {
        m_status = withoutFillers(QByteArrayView(m_pending).first(at));
        // What follows the "OK" in the same read may be the start of the next status text.
        m_pending.remove(0, at + kGoAhead.size());
        if (onlyFillers(m_pending))
            m_pending.clear();
    } else {
        // Text before or after an "OK" in the same read is part of that answer.
        m_pending.clear();
    }
    if (answers) {
        m_lastGoAheadPoll = pollNow;
        m_sinceGoAhead = m_pending.size();
    }
}

LockStepWrite::Step LockStepWrite::onRead(const QByteArray &received, int idlePolls, int pollNow)
{
    if (received.isEmpty()) {
        // An answer still due has its limit counted in polls from when its block reached the unit,
        // whatever came meanwhile; the closing silence after the last "OK" is the line's silence.
        if (allAcknowledged() ? idlePolls > kIdleLimit : answerOverdue(pollNow)) {
            // Text no "OK" followed is still told.
            if (m_stray == StrayText::Shown && m_status.isEmpty())
                m_status = withoutFillers(m_pending);
            return allAcknowledged() ? Step::Finished : Step::Stalled;
        }
        return Step::Wait;
    }
    m_sinceGoAhead += received.size();
    // Mostly nothing waits: the bytes are shared, not copied.
    if (m_pending.isEmpty())
        m_pending = received;
    else
        m_pending += received;
    if (const qsizetype at = m_pending.indexOf(kGoAhead); at >= 0) {
        takeGoAhead(at, pollNow);
        if (!allSent())
            return Step::SendNext;
    }
    const bool fillers = onlyFillers(m_pending);
    // Text that can no longer become an "OK" breaks a write under that rule; a trailing "O" may be
    // the first half of one still on the line.
    if (m_stray == StrayText::Breaks && !fillers && !m_pending.endsWith('O')) {
        m_broken = m_pending;
        m_pending.clear();
        return Step::Broken;
    }
    // A line that never falls silent must not hold the link for ever: past the answer's time, or
    // past what a status line can be, more is no answer.
    if (m_sinceGoAhead > kTextLimit || answerOverdue(pollNow)) {
        if (m_stray == StrayText::Shown && m_status.isEmpty())
            m_status = withoutFillers(m_pending);
        return Step::NoGoAhead;
    }
    // Line ends and fillers before an "OK" (or after the last one) are kept for nothing; a status
    // text waits for the "OK" that ends it.
    if (fillers)
        m_pending.clear();
    return Step::Wait;
}
