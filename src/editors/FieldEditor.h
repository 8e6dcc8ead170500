#pragma once
#include "editors/FieldSpec.h"
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class ConfigImage;

// The state of one settings page's boxes over the configuration image, without widgets: fills
// them from the image, and turns each edit into a store or a red mark. An edit that ends invalid
// leaves the field's cells as they were when the edit began (and the partner's, for a threshold
// pair the edit stored); input thresholds keep lower <= upper in the image. A store that changes a
// cell marks the image as changed. Boxes holding a typed value that was refused are listed in the
// image, named by page and field, so that a write can say what it leaves out.
class FieldEditor {
public:
    inline static const QString kNoData = QStringLiteral("нет данных");

    struct Box {
        bool hasData = false;   // enabled exactly when true
        QString text;           // what the box shows; kNoData without data
        bool checked = false;   // flags
        bool invalid = false;   // error colour
        bool refused = false;   // red because a typed value was refused, not because of the image
    };

    // pageName names the page in the list of refused edits.
    FieldEditor(ConfigImage &image, const QList<FieldSpec> &fields, const QString &pageName = QString());

    const QList<FieldSpec> &fields() const { return m_fields; }
    const FieldSpec *field(const QString &key) const;
    Box box(const QString &key) const;

    // Fills every box from the image, from a clean state: no red mark of an earlier load survives;
    // what the image holds against a field's own rules is marked. A flag holding neither value
    // keeps its earlier tick.
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
        // A threshold edit that stored the partner: the partner's cells and box before that.
        bool partnerSaved = false;
        QStringList partnerCells;
        Box partnerBox;
    };
    QStringList cellsOf(int index) const;
    void putCells(int index, const QStringList &cells);
    void save(int index);
    void restore(int index);
    void editThreshold(int index);
    bool stored(int index, const QString &text);
    void setRefused(int index, bool refused);

    ConfigImage &m_image;
    QString m_pageName;
    QList<FieldSpec> m_fields;
    QHash<QString, int> m_index;
    QList<Box> m_boxes;
    QList<Session> m_sessions;
};
