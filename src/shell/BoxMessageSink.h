#pragma once
#include "shell/MessageSink.h"

class QWidget;

// Modal QMessageBox titled "Тарвикс" with a single OK button.
class BoxMessageSink : public MessageSink {
public:
    explicit BoxMessageSink(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void show(const QString &text) override;
    bool ask(const QString &question) override;

private:
    QWidget *m_parent;
};
