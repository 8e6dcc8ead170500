#include "shell/BoxMessageSink.h"
#include <QMessageBox>
#include <QPushButton>

BoxMessageSink::~BoxMessageSink()
{
    delete m_note.data();
}

bool BoxMessageSink::ask(const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Тарвикс"), shown(question),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    // No Qt translations are loaded: name the answers in the program's language.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    return box.exec() == QMessageBox::Yes;
}

void BoxMessageSink::show(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Тарвикс"), shown(text), QMessageBox::Ok,
                    m_parent);
    box.setTextFormat(Qt::PlainText);   // nor taken for markup
    box.exec();
}

void BoxMessageSink::note(const QString &text)
{
    // Not exec(): no nested loop is entered from inside a receive handler, and nothing waits for OK.
    if (!m_note) {
        m_note = new QMessageBox(QMessageBox::Information, QStringLiteral("Тарвикс"), QString(), QMessageBox::Ok,
                                 m_parent);
        m_note->setTextFormat(Qt::PlainText);
        m_note->setWindowModality(Qt::NonModal);
        m_note->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_note->setText(shown(text));
    m_note->show();
}
