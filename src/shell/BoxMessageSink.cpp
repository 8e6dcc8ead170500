#include "shell/BoxMessageSink.h"
#include <QMessageBox>

bool BoxMessageSink::ask(const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Тарвикс"), question, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void BoxMessageSink::show(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Тарвикс"), text, QMessageBox::Ok, m_parent);
    box.exec();
}
