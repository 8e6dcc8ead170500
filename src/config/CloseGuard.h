#pragma once
#include <QString>
#include <functional>

class SerialLink;
class ConfigImage;
class StatusModel;
class MessageSink;

// What the window asks before it closes: whether to stop a transfer under way (a firmware write
// stopped half way may leave the unit without working firmware) and whether to leave edits that
// were never written. Every question defaults to staying. A transfer the user agrees to stop is
// stopped here, through the program's shutdown, and reported as stopped, not as a lost link.
class CloseGuard {
public:
    inline static const QString kLeaveUnwritten =
        QStringLiteral("В памяти программы есть изменения, не записанные в устройство. Выйти из программы без "
                       "записи?");

    // shutDown stops the timers and closes the port; it may be called again later.
    CloseGuard(SerialLink &link, ConfigImage &image, StatusModel &status, MessageSink &messages,
               std::function<void()> shutDown);

    // True when the window may close.
    bool mayClose();

    // The question asked while the transfer with this operation tag runs, and the message once it
    // has been stopped (%1: the byte counter); empty for an exchange that is not a transfer.
    static QString question(const QString &tag);
    static QString stopped(const QString &tag);

private:
    SerialLink &m_link;
    ConfigImage &m_image;
    StatusModel &m_status;
    MessageSink &m_messages;
    std::function<void()> m_shutDown;
};
