#include "shell/Page.h"
#include <QLabel>

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

void Page::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    Form_Activate();
}

void Page::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    Form_Deactivate();
}
