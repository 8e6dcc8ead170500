#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// A list to pick one line from; std::nullopt when the user cancelled.
class ChoiceDialogs {
public:
    virtual ~ChoiceDialogs() = default;
    virtual std::optional<int> choose(const QString &title, const QString &label, const QStringList &items) = 0;
};
