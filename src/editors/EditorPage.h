#pragma once
#include "editors/FieldEditor.h"
#include "shell/Page.h"
#include <QHash>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class ConfigImage;
class MessageSink;

// A settings page bound to the configuration image: boxes and check boxes carry their field key in
// the "Tag" property, are filled whenever the page is activated, and hand every edit to the page's
// FieldEditor. The page only mirrors the editor's state: text, enabled, tick and error colour.
class EditorPage : public Page {
    Q_OBJECT
public:
    inline static const QString kNoData = FieldEditor::kNoData;

    EditorPage(const QString &formName, const QString &caption, ConfigImage &image, const QList<FieldSpec> &fields,
               MessageSink &messages, QWidget *parent = nullptr);

    void Form_Activate() override;

    QLineEdit *box(const QString &key) const { return m_boxes.value(key); }
    QCheckBox *checkBox(const QString &key) const { return m_checks.value(key); }
    FieldEditor &editor() { return m_editor; }
    // Red: the error colour of a box or check box.
    static bool hasErrorColour(const QWidget *widget);
    // Width a box needs to show each of texts whole, frame and margins included.
    static int fittingWidth(const QLineEdit *box, const QStringList &texts);
    // Whether focus moving for this reason ends the edit of a box: only a move to another control does.
    static bool endsAnEdit(Qt::FocusReason reason);

protected:
    QGroupBox *addFrame(QWidget *parent, const QString &name, const QString &title, const QRect &geometry);
    QLabel *addLabel(QWidget *parent, const QString &text, const QRect &geometry,
                     Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    // A box bound to the field key.
    QLineEdit *addBox(QWidget *parent, const QString &key, const QRect &geometry);
    // A box that is not bound to the image: it shows the no-data marker, disabled.
    QLineEdit *addUnboundBox(QWidget *parent, const QString &objectName, const QString &name,
                             const QString &toolTip, const QRect &geometry);
    QCheckBox *addCheck(QWidget *parent, const QString &key, const QString &caption, const QRect &geometry);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void textChanged(QLineEdit *box);
    void clicked(QCheckBox *check);
    // Shows the editor's state of key in its widget.
    void mirror(const QString &key);
    static void setErrorColour(QWidget *widget, bool error, QPalette::ColorRole normal);

    FieldEditor m_editor;
    MessageSink &m_messages;
    QHash<QString, QLineEdit *> m_boxes;
    QHash<QString, QCheckBox *> m_checks;
    QList<QLineEdit *> m_unbound;
    bool m_loading = false;
};
