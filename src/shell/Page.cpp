#include "shell/Page.h"
#include <QLabel>
#include <QPalette>
#include <QShowEvent>
#include <QHideEvent>

Page::Page(const QString &formName, const QString &caption, QWidget *parent)
    : QWidget(parent), m_caption(caption), m_header(new QLabel(caption, this))
{
    setObjectName(formName);
    setProperty("kindCode", QStringLiteral("R"));
    setFixedSize(px(kWidthTwips), px(kHeightTwips));
    m_header->setObjectName(QStringLiteral("R_Header"));
    m_header->setGeometry(0, 0, width(), 22);
    m_header->setAutoFillBackground(true);
    m_header->setBackgroundRole(QPalette::Button);
    m_header->setContentsMargins(6, 0, 0, 0);
    QFont font = m_header->font();
    font.setPointSize(10);
    m_header->setFont(font);
}

void Page::greyValueDisplay(QWidget *display)
{
    QPalette palette = display->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text})
        palette.setColor(QPalette::Disabled, role, greyedText());
    display->setPalette(palette);
    display->setEnabled(false);
}

// Spontaneous show and hide events come from the window system (the main window minimised or
// restored); the active page stays the same, so it is neither activated nor deactivated.
void Page::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        Form_Activate();
}

void Page::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        Form_Deactivate();
}
