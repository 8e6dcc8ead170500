#include "editors/EditorPage.h"
#include "shell/MessageSink.h"
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {
const QColor kErrorColour(0xFF, 0x00, 0x00);
const char *const kTag = "Tag";
}

EditorPage::EditorPage(const QString &formName, const QString &caption, ConfigImage &image,
                       const QList<FieldSpec> &fields, MessageSink &messages, QWidget *parent)
    : Page(formName, caption, parent), m_editor(image, fields, caption), m_messages(messages)
{
}

QGroupBox *EditorPage::addFrame(QWidget *parent, const QString &name, const QString &title, const QRect &geometry)
{
    auto *frame = new QGroupBox(title, parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    return frame;
}

QLabel *EditorPage::addLabel(QWidget *parent, const QString &text, const QRect &geometry, Qt::Alignment alignment)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    return label;
}

QLineEdit *EditorPage::addBox(QWidget *parent, const QString &key, const QRect &geometry)
{
    const FieldSpec *f = m_editor.field(key);
    Q_ASSERT(f);
    auto *box = new QLineEdit(kNoData, parent);
    box->setObjectName(QStringLiteral("Text_") + key);
    box->setProperty(kTag, key);
    box->setAccessibleName(f->name);
    box->setToolTip(f->toolTip);
    // Never narrower than the no-data marker it shows before a read.
    box->setGeometry(geometry.adjusted(0, 0, qMax(0, fittingWidth(box, {kNoData}) - geometry.width()), 0));
    box->setEnabled(false);
    box->installEventFilter(this);
    connect(box, &QLineEdit::textChanged, this, [this, box] { textChanged(box); });
    m_boxes.insert(key, box);
    return box;
}

QLineEdit *EditorPage::addUnboundBox(QWidget *parent, const QString &objectName, const QString &name,
                                     const QString &toolTip, const QRect &geometry)
{
    auto *box = new QLineEdit(kNoData, parent);
    box->setObjectName(objectName);
    box->setAccessibleName(name);
    box->setToolTip(toolTip);
    box->setGeometry(geometry);
    box->setEnabled(false);
    m_unbound << box;
    return box;
}

QCheckBox *EditorPage::addCheck(QWidget *parent, const QString &key, const QString &caption, const QRect &geometry)
{
    const FieldSpec *f = m_editor.field(key);
    Q_ASSERT(f);
    auto *check = new QCheckBox(caption, parent);
    check->setObjectName(QStringLiteral("Check_") + key);
    check->setProperty(kTag, key);
    check->setAccessibleName(f->name);
    check->setToolTip(f->toolTip);
    check->setGeometry(geometry);
    // The error colour fills the whole check box, as the window background behind its caption.
    check->setBackgroundRole(QPalette::Window);
    check->setAutoFillBackground(true);
    check->setEnabled(false);
    connect(check, &QCheckBox::clicked, this, [this, check] { clicked(check); });
    m_checks.insert(key, check);
    return check;
}

bool EditorPage::hasErrorColour(const QWidget *widget)
{
    const QPalette::ColorRole role = qobject_cast<const QLineEdit *>(widget) ? QPalette::Base : QPalette::Window;
    return widget->palette().color(role) == kErrorColour;
}

void EditorPage::setErrorColour(QWidget *widget, bool error, QPalette::ColorRole role)
{
    QPalette palette = widget->palette();
    const QColor colour = error ? kErrorColour : QPalette().color(role == QPalette::Base ? QPalette::Base
                                                                                          : QPalette::Button);
    if (palette.color(role) == colour)
        return;
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

void EditorPage::mirror(const QString &key)
{
    const FieldEditor::Box state = m_editor.box(key);
    if (QLineEdit *b = m_boxes.value(key)) {
        // Rewriting an unchanged text would move the cursor of a box being edited.
        if (b->text() != state.text)
            b->setText(state.text);
        b->setEnabled(state.hasData);
        setErrorColour(b, state.invalid, QPalette::Base);
    } else if (QCheckBox *c = m_checks.value(key)) {
        c->setChecked(state.checked);
        c->setEnabled(state.hasData);
        setErrorColour(c, state.invalid, QPalette::Window);
    }
}

void EditorPage::Form_Activate()
{
    m_loading = true;
    m_editor.load();
    for (const FieldSpec &f : m_editor.fields())
        mirror(f.key);
    for (QLineEdit *b : std::as_const(m_unbound)) {
        b->setText(kNoData);
        b->setEnabled(false);
    }
    m_loading = false;
}

void EditorPage::textChanged(QLineEdit *box)
{
    if (m_loading)
        return;
    const QString key = box->property(kTag).toString();
    const FieldSpec *f = m_editor.field(key);
    if (!f) {
        m_messages.show(QStringLiteral("Не найден ") + key);
        return;
    }
    m_editor.edit(key, box->text());
    m_loading = true;
    mirror(key);
    if (!f->partner.isEmpty())
        mirror(f->partner);
    m_loading = false;
}

void EditorPage::clicked(QCheckBox *check)
{
    if (m_loading)
        return;
    const QString key = check->property(kTag).toString();
    if (!m_editor.field(key)) {
        m_messages.show(QStringLiteral("IntError ") + formName() + QStringLiteral(".1"));
        return;
    }
    m_editor.click(key, check->isChecked());
    mirror(key);
}

int EditorPage::fittingWidth(const QLineEdit *box, const QStringList &texts)
{
    // As QLineEdit measures itself: the text, its inner margin of 2 on each side and the cursor,
    // then the frame the style draws around it.
    int text = 0;
    for (const QString &t : texts)
        text = qMax(text, box->fontMetrics().horizontalAdvance(t));
    const QMargins margins = box->textMargins();
    QStyleOptionFrame option;
    option.initFrom(box);
    option.rect = box->rect();
    option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QSize content(text + 2 * 2 + 1 + margins.left() + margins.right(), box->height());
    return box->style()->sizeFromContents(QStyle::CT_LineEdit, &option, content, box).width();
}

bool EditorPage::endsAnEdit(Qt::FocusReason reason)
{
    // A context menu, the menu bar or another window takes the focus only for a while: what the
    // user pastes or types on return still belongs to the same edit.
    switch (reason) {
    case Qt::PopupFocusReason:
    case Qt::ActiveWindowFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    default:
        return true;
    }
}

bool EditorPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        auto *b = qobject_cast<QLineEdit *>(watched);
        if (b && endsAnEdit(static_cast<QFocusEvent *>(event)->reason()))
            m_editor.finishEdit(b->property(kTag).toString());
    }
    return Page::eventFilter(watched, event);
}
