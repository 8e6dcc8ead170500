#pragma once
#include "shell/MessageSink.h"
#include <QPointer>

class QMessageBox;
class QWidget;

// QMessageBox titled "Тарвикс" with a single OK button: modal, except for a note, which stays
// open beside the window while the program goes on.
class BoxMessageSink : public MessageSink {
public:
    explicit BoxMessageSink(QWidget *parent = nullptr) : m_parent(parent) {}
    ~BoxMessageSink() override;
    void setParent(QWidget *parent) { m_parent = parent; }
    void show(const QString &text) override;
    void note(const QString &text) override;
    bool ask(const QString &question) override;

private:
    QWidget *m_parent;
    QPointer<QMessageBox> m_note;   // one box for the notes: a unit repeating a text opens no pile
};
