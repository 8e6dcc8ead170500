#include "link/StatusPanel.h"
#include "link/StatusModel.h"
#include "shell/Page.h"
#include <QFrame>
#include <QLabel>

namespace {
constexpr int kWidthTwips = 13010;
constexpr int kHeightTwips = 250;
}

StatusPanel::StatusPanel(StatusModel &model, QWidget *parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("StatusForm"));
    setProperty("kindCode", QStringLiteral("S"));
    const int height = qMax(Page::px(kHeightTwips), fontMetrics().height() + 4);
    setFixedSize(Page::px(kWidthTwips), height);

    int x = 4;
    // Captions take what their text needs; the value labels share the rest.
    const auto add = [this, &x, height](const QString &name, const QString &text, int width) {
        if (width < 0)
            width = fontMetrics().horizontalAdvance(text) + 14;
        auto *l = new QLabel(text, this);
        l->setObjectName(name);
        l->setGeometry(x, 0, width, height);
        x += width + 2;
        return l;
    };
    const auto line = [this, &x, height](int n) {
        auto *f = new QFrame(this);
        f->setObjectName(QStringLiteral("Line%1").arg(n));
        f->setFrameShape(QFrame::VLine);
        f->setFrameShadow(QFrame::Sunken);
        f->setGeometry(x, 1, 3, height - 2);
        x += 6;
    };
    add(QStringLiteral("Label1"), QStringLiteral("Соединение:"), -1);
    m_connection = add(QStringLiteral("Label2"), QString(), 150);
    line(1);
    add(QStringLiteral("Label3"), QStringLiteral("Состояние:"), -1);
    m_operation = add(QStringLiteral("Label4"), QString(), 185);
    line(2);
    add(QStringLiteral("Label16"), QStringLiteral("Com:"), -1);
    // Room for the highest port number.
    m_port = add(QStringLiteral("Label5"), QString(), fontMetrics().horizontalAdvance(QStringLiteral("32767")) + 8);
    line(3);
    m_counter = add(QStringLiteral("Label7"), QString(), 120);
    line(4);
    m_bar = add(QStringLiteral("Label6"), QString(), width() - x - 4);

    connect(&m_model, &StatusModel::changed, this, &StatusPanel::refresh);
    refresh();
}

void StatusPanel::refresh()
{
    m_connection->setText(m_model.connection());
    m_connection->setToolTip(m_model.connectionToolTip());
    m_operation->setText(m_model.operation());
    m_port->setText(m_model.port());
    m_port->setToolTip(m_model.portToolTip());
    m_counter->setText(m_model.counter());
    m_bar->setText(m_model.bar());
}
