#pragma once
#include "shell/MessageSink.h"
#include <QStringList>
#include <cstdio>

// Message boxes of the command line: each text goes to standard error as one line; the texts
// are kept so a command can tell whether a routine already explained its failure.
class StderrMessageSink : public MessageSink {
public:
    explicit StderrMessageSink(FILE *stream = stderr) : m_stream(stream) {}
    void show(const QString &text) override;
    const QStringList &shown() const { return m_shown; }
    // Lines of a text that are not printed, because the command says the same in more detail;
    // they stay in shown().
    void setWithheld(const QStringList &lines) { m_withheld = lines; }
    // text without its withheld lines; empty when nothing is left to print.
    static QString visible(const QString &text, const QStringList &withheld);

private:
    FILE *m_stream;
    QStringList m_shown;
    QStringList m_withheld;
};
