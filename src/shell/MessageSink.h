#pragma once
#include <QString>

// Where user messages go: a modal box in the program, a recorder in tests.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows a message with an OK button and the program's title; returns when dismissed.
    virtual void show(const QString &text) = 0;
    // Tells something while a transfer runs: returns at once, the person reads it when they come
    // (a box left open must not hold the exchange up). A sink that never waits shows it as usual.
    virtual void note(const QString &text) { show(text); }
    // Asks a yes/no question with the program's title; true for yes. A sink that cannot ask shows
    // the text and answers no, so nothing is lost.
    virtual bool ask(const QString &question)
    {
        show(question);
        return false;
    }
};
