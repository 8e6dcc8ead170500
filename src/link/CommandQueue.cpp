#include "link/CommandQueue.h"
#include "shell/MessageSink.h"

void CommandQueue::QueueCommand(QString &name, QString &param)
{
    if (!name.isEmpty()) {
        post(name, param);
        name.clear();
        param.clear();
        return;
    }
    pump();
}

bool CommandQueue::post(const QString &name, const QString &param)
{
    const auto breaksOut = [](const QString &text) {
        return text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('|'));
    };
    if (breaksOut(name) || breaksOut(param)) {
        m_messages.show(kUnknownCommand);
        return false;
    }
    m_queue += name;
    m_queue += QLatin1Char(',');
    m_queue += param;
    m_queue += QLatin1Char('|');
    return true;
}

void CommandQueue::pump()
{
    if (!m_linkFree || m_queue.isEmpty())
        return;
    const qsizetype comma = m_queue.indexOf(QLatin1Char(','));
    m_name = m_queue.left(comma < 0 ? m_queue.size() : comma);
    m_queue.remove(0, comma < 0 ? m_queue.size() : comma + 1);
    const qsizetype bar = m_queue.indexOf(QLatin1Char('|'));
    m_param = m_queue.left(bar < 0 ? m_queue.size() : bar);
    m_queue.remove(0, bar < 0 ? m_queue.size() : bar + 1);

    // The entry is gone before the job starts, so a nested pump sees only what follows it.
    const auto it = m_starters.constFind(m_name);
    if (it == m_starters.constEnd()) {
        m_messages.show(kUnknownCommand);
        return;
    }
    const Starter starter = it.value();
    starter(m_param);
}

bool CommandQueue::isQueued(const QString &name) const
{
    return m_queue.startsWith(name + QLatin1Char(',')) || m_queue.contains(QLatin1Char('|') + name + QLatin1Char(','));
}

bool CommandQueue::drop(const QString &name)
{
    QStringList kept;
    bool dropped = false;
    for (const QString &entry : m_queue.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        if (entry.section(QLatin1Char(','), 0, 0) == name)
            dropped = true;
        else
            kept << entry + QLatin1Char('|');
    }
    m_queue = kept.join(QString());
    return dropped;
}
