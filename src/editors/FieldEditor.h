#pragma once
#include "editors/FieldSpec.h"
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class ConfigImage;

// The state of one settings page's boxes over the configuration image, without widgets: fills
// them from the image, and turns each edit into a store or a red mark. An edit that ends invalid
// leaves the field's cells as they were when the edit began; input thresholds keep lower <= upper
// in the image. Every store marks the image as changed.
class FieldEditor {
public:
    inline static const QString kNoData = QStringLiteral("нет данных");

    struct Box {
        bool hasData = false;   // enabled exactly when true
        QString text;           // what the box shows; kNoData without data
        bool checked = false;   // flags
        bool invalid = false;   // error colour
    };

    FieldEditor(ConfigImage &image, const QList<FieldSpec> &fields);

    const QList<FieldSpec> &fields() const { return m_fields; }
    const FieldSpec *field(const QString &key) const;
    Box box(const QString &key) const;

    // Fills every box from the image, from a clean state: no red mark or tick of an earlier load
    // survives; what the image holds against a field's own rules is marked.
    void load();
    // The text of a box changed. Keys outside the map are ignored (the caller reports them).
    void edit(const QString &key, const QString &text);
    // The box lost or gained focus: the next change starts a new edit.
    void finishEdit(const QString &key);
    // A check box was clicked to the given state.
    void click(const QString &key, bool checked);

private:
    struct Session {
        bool open = false;
        QStringList savedCells;
    };
    void save(int index);
    void restore(int index);
    void editThreshold(int index);
    bool stored(int index, const QString &text);

    ConfigImage &m_image;
    QList<FieldSpec> m_fields;
    QHash<QString, int> m_index;
    QList<Box> m_boxes;
    QList<Session> m_sessions;
};
