#pragma once
#include "config/ConfigOperations.h"
#include "shell/ChoiceDialogs.h"
#include "shell/Clock.h"
#include "shell/FileDialogs.h"
#include "shell/MessageSink.h"
#include <QList>
#include <QStringList>
#include <functional>
#include <utility>

// Records every message box text instead of showing it.
class RecordingMessageSink : public MessageSink {
public:
    // Runs whileShown inside, as things happen while a real box waits for its OK.
    void show(const QString &text) override { texts.append(text); if (whileShown) whileShown(); }
    void note(const QString &text) override { texts.append(text); }   // waits for nothing
    // Records the question and gives the next scripted answer; no script answers no.
    bool ask(const QString &question) override
    {
        questions.append(question);
        // What happens while a real box waits in its nested event loop.
        if (whileAsked)
            std::exchange(whileAsked, {})();
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    QStringList texts;
    QStringList questions;
    QList<bool> answers;
    // Run once, inside the next question.
    std::function<void()> whileAsked;
    // Run inside every box shown.
    std::function<void()> whileShown;
};

// Answers file dialogs from a script; an empty script means "cancelled".
class ScriptedFileDialogs : public FileDialogs {
public:
    std::optional<QString> saveFileName(const FileDialogRequest &request) override { return next(request); }
    std::optional<QString> openFileName(const FileDialogRequest &request) override { return next(request); }
    QList<std::optional<QString>> answers;
    QList<FileDialogRequest> requests;
    // Run once, while the next dialog is open.
    std::function<void()> whileOpen;

private:
    std::optional<QString> next(const FileDialogRequest &request)
    {
        requests.append(request);
        if (whileOpen)
            std::exchange(whileOpen, {})();
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};

// Answers list dialogs from a script (a line's text ending); no script means "cancelled".
class ScriptedChoiceDialogs : public ChoiceDialogs {
public:
    std::optional<int> choose(const QString &, const QString &, const QStringList &items) override
    {
        shown = items;
        for (int i = 0; !answer.isEmpty() && i < items.size(); ++i)
            if (items.at(i).endsWith(answer))
                return i;
        return std::nullopt;
    }
    QString answer;
    QStringList shown;
};

// What a page started, with the identification it asked under; nothing is sent.
struct RecordingOperations : ConfigOperations {
    void read(int identification) override { started.append(QStringLiteral("read %1").arg(identification)); }
    void write(int identification) override { started.append(QStringLiteral("write %1").arg(identification)); }
    QStringList started;
};

class FixedClock : public Clock {
public:
    QDateTime now() const override { return time; }
    QDateTime time = QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3));
};
