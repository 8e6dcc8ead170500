#pragma once
#include "shell/ChoiceDialogs.h"

class QWidget;

// ChoiceDialogs over QInputDialog's list.
class QtChoiceDialogs : public ChoiceDialogs {
public:
    explicit QtChoiceDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    std::optional<int> choose(const QString &title, const QString &label, const QStringList &items) override;

private:
    QWidget *m_parent;
};
