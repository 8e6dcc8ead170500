#include "shell/BoxMessageSink.h"
#include "link/ShownText.h"
#include <QMessageBox>
#include <QPushButton>

BoxMessageSink::~BoxMessageSink()
{
    delete m_note.data();
}

bool BoxMessageSink::ask(const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Тарвикс"), ShownText::escapedLines(question),
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
    // Texts may quote a unit's name or a file's line: their control characters are shown as escapes.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Тарвикс"), ShownText::escapedLines(text), QMessageBox::Ok,
                    m_parent);
    box.setTextFormat(Qt::PlainText);   // nor taken for markup
    box.exec();
}

void BoxMessageSink::note(const QString &text)
{
    // Not exec(): no nested loop is entered from inside a receive handler, and nothing waits for OK.
    if (!m_note) {
        m_note = new QMessageBox(QMessageBox::Information, QStringLiteral("Тарвикс"), text, QMessageBox::Ok, m_parent);
        m_note->setWindowModality(Qt::NonModal);
        m_note->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_note->setText(text);
    m_note->show();
}
