#pragma once
#include "editors/FieldSpec.h"
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

class ConfigImage;

// Every field of the settings pages over one configuration image, by the name its box carries as
// accessible name, without widgets: what each box would show and whether the page would mark it
// red, and storing values by name through the pages' own field routines.
class ConfigFields {
public:
    // One field as its page would show it.
    struct Value {
        const FieldSpec *field = nullptr;
        bool hasData = false;
        QString text;           // the box's text; the no-data marker without data; "1" or "0" for flags
        bool flagged = false;   // the page's red mark
        QString reason;         // why it is red: the field's rule
    };
    // A value that was not stored, and why.
    struct Refusal {
        QString name;
        QString value;
        QString reason;
    };
    // Field name and the value as it would be typed into the box.
    using Assignment = QPair<QString, QString>;

    explicit ConfigFields(ConfigImage &image) : m_image(image) {}

    // Basic settings, SIM-card settings and inputs pages in the navigation order, each page's
    // fields in the order the page fills its boxes.
    static const QList<FieldSpec> &all();
    static const FieldSpec *byName(const QString &name);
    // The rule a value of the field has to keep, as the installer is told it.
    static QString rule(const FieldSpec &field);
    // First and last cell that decide what the field shows or that a store may write.
    static QPair<int, int> cells(const FieldSpec &field);
    // A flag as typed: "1"/"да" on, "0"/"нет" off; nullopt for anything else.
    static std::optional<bool> flagValue(const QString &value);

    // Every field, in the order of all().
    QList<Value> values() const;
    // Stores every value as an edit of its box would; all or nothing: when any value is refused,
    // or leaves its box red once all are in (an input's lower threshold above the upper one), the
    // image is left as it was and the refusals say why.
    QList<Refusal> set(const QList<Assignment> &assignments);

private:
    static QString reason(const FieldSpec &field, const QString &shown);

    ConfigImage &m_image;
};
