#pragma once
#include "shell/MessageSink.h"
#include <QPointer>
#include <functional>

class QMessageBox;
class QWidget;

// QMessageBox titled "Тарвикс" with a single OK button: modal, except for a note, which stays
// open beside the window while the program goes on.
class BoxMessageSink : public MessageSink {
public:
    explicit BoxMessageSink(QWidget *parent = nullptr) : m_parent(parent) {}
    ~BoxMessageSink() override;
    void setParent(QWidget *parent) { m_parent = parent; }
    // How a text is shown: texts may quote a unit's name, whose control characters the owner turns
    // into visible escapes.
    void setShown(std::function<QString(const QString &)> shown) { m_shown = std::move(shown); }
    void show(const QString &text) override;
    void note(const QString &text) override;
    bool ask(const QString &question) override;

private:
    QString shown(const QString &text) const { return m_shown ? m_shown(text) : text; }

    QWidget *m_parent;
    std::function<QString(const QString &)> m_shown;
    QPointer<QMessageBox> m_note;   // one box for the notes: a unit repeating a text opens no pile
};
