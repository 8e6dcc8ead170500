#include "shell/BoxMessageSink.h"
#include <QMessageBox>
#include <QPushButton>

bool BoxMessageSink::ask(const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Тарвикс"), question, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::No);
    // No Qt translations are loaded: name the answers in the program's language.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    return box.exec() == QMessageBox::Yes;
}

void BoxMessageSink::show(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Тарвикс"), text, QMessageBox::Ok, m_parent);
    box.exec();
}
