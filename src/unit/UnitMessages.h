#pragma once
#include "shell/MessageSink.h"
#include <QStringList>
#include <functional>

// The message boxes of a unit without a window: every text is kept, so a job can tell whether a
// routine already explained a failure, and what is left after the withheld lines is passed on to
// be shown (or kept for the end). The generic count message is withheld: the jobs say which count
// was wrong.
class UnitMessages : public MessageSink {
public:
    using Printer = std::function<void(const QString &text)>;

    explicit UnitMessages(Printer printer = {}) : m_printer(std::move(printer)) {}
    void show(const QString &text) override;
    void setPrinter(Printer printer) { m_printer = std::move(printer); }
    // While set, what a routine shows is kept and told in the words it returns instead.
    using Rewrite = std::function<QString(const QString &text)>;
    void setRewrite(Rewrite rewrite) { m_rewrite = std::move(rewrite); }

    const QStringList &texts() const { return m_texts; }
    // The kept texts from `from` on, without the withheld lines; a text with nothing left is left out.
    QStringList printable(qsizetype from = 0) const;
    // Whether the exchanges' generic count message is among the texts from `from` on.
    bool countShownSince(qsizetype from) const;
    // text without the withheld lines; empty when nothing is left.
    static QString visible(const QString &text);

private:
    Printer m_printer;
    Rewrite m_rewrite;
    QStringList m_texts;
};
