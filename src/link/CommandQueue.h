#pragma once
#include <QHash>
#include <QString>
#include <functional>

class MessageSink;

// The internal command queue and the LinkFree interlock it guards. Commands are posted as text
// "name,param|" and started one per pump call while the link is free.
class CommandQueue {
public:
    // A started command gets the parameter by reference (the device search reads it as a port number).
    using Starter = std::function<void(QString &param)>;

    inline static const QString kUnknownCommand = QStringLiteral("Невыполнимая внутренняя команда!");

    explicit CommandQueue(MessageSink &messages) : m_messages(messages) {}

    // Registers what one of the fixed command names starts.
    void setStarter(const QString &name, Starter starter) { m_starters.insert(name, std::move(starter)); }

    // Post mode when name is not empty (both arguments are emptied), pump mode otherwise.
    void QueueCommand(QString &name, QString &param);
    // Appends one entry. A name or parameter holding a separator ("," or "|") would break out of its
    // entry and start something else: it is refused with the unknown-command message, nothing queued.
    bool post(const QString &name, const QString &param = QString());
    void pump();
    // Removes every waiting entry of the command; true when one was waiting.
    bool drop(const QString &name);
    bool isQueued(const QString &name) const;

    bool LinkFree() const { return m_linkFree; }
    void setLinkFree(bool free) { m_linkFree = free; }

    const QString &CommandQueueText() const { return m_queue; }
    const QString &CommandName() const { return m_name; }
    const QString &CommandParam() const { return m_param; }

private:
    MessageSink &m_messages;
    QHash<QString, Starter> m_starters;
    QString m_queue;
    QString m_name;
    QString m_param;
    bool m_linkFree = false;   // the main window frees the link during start-up
};
