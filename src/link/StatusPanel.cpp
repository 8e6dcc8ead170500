#include "link/StatusPanel.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "shell/Page.h"
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kWidthTwips = 13010;
constexpr int kHeightTwips = 250;
constexpr int kPointSize = 8;
// Room around a value's text, so that it touches neither its caption nor the next line; the strip
// is just wide enough for every label at its longest text.
constexpr int kValueMargin = 1;

int widest(const QFontMetrics &metrics, const QStringList &texts, int margin)
{
    int width = 0;
    for (const QString &text : texts)
        width = qMax(width, metrics.horizontalAdvance(text));
    return width + 2 * margin + 2;
}
}

QStringList StatusPanel::widestConnectionTexts()
{
    return {StatusModel::kPassive, QStringLiteral("Ошибка соединения 8117"), QStringLiteral("Ошибка передачи 8117")};
}

QStringList StatusPanel::widestOperationTexts()
{
    return {QStringLiteral("Устройство не обнаружено!"), QStringLiteral("Ошибка при сохранении!"),
            StatusSupervisor::kEditsKept};
}

QString StatusPanel::widestCounterText()
{
    return QStringLiteral("62720 / 62720 байт");
}

QString StatusPanel::fullBarText()
{
    return StatusModel::progressBar(1, 1);
}

StatusPanel::StatusPanel(StatusModel &model, QWidget *parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("StatusForm"));
    setProperty("kindCode", QStringLiteral("S"));
    // The size every label of the strip gets from the main window; measured at it.
    QFont small = font();
    small.setPointSize(kPointSize);
    setFont(small);
    const QFontMetrics metrics(small);
    setFixedHeight(qMax(Page::px(kHeightTwips), metrics.height() + 4));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(1, 0, 1, 0);
    row->setSpacing(2);
    const auto add = [this, row](const QString &name, const QString &text, int width, int stretch) {
        auto *l = new QLabel(text, this);
        l->setObjectName(name);
        if (text.isEmpty() && name != QLatin1String("Label6"))
            l->setContentsMargins(kValueMargin, 0, kValueMargin, 0);
        // In a narrow window the connection state gives way (its long texts are errors, shown
        // for a moment); a text cut short is elided and told whole in the tooltip.
        l->setMinimumWidth(name == QLatin1String("Label2") ? width / 2 : width);
        if (stretch == 0)
            l->setFixedWidth(width);
        // Stretched in proportion to their longest texts, which they get at the designed width.
        row->addWidget(l, stretch == 0 ? 0 : width);
        return l;
    };
    const auto caption = [&add, &metrics](const QString &name, const QString &text) {
        return add(name, text, widest(metrics, {text}, 0), 0);
    };
    const auto line = [this, row](int n) {
        auto *f = new QFrame(this);
        f->setObjectName(QStringLiteral("Line%1").arg(n));
        f->setFrameShape(QFrame::VLine);
        f->setFrameShadow(QFrame::Sunken);
        f->setFixedWidth(2);
        row->addWidget(f);
    };
    const auto named = [](QLabel *value, const QLabel *label) {
        value->setAccessibleName(label->text().chopped(1));
        return value;
    };
    QLabel *label1 = caption(QStringLiteral("Label1"), QStringLiteral("Соединение:"));
    m_connection = named(add(QStringLiteral("Label2"), QString(), widest(metrics, widestConnectionTexts(), kValueMargin), 1), label1);
    line(1);
    QLabel *label3 = caption(QStringLiteral("Label3"), QStringLiteral("Состояние:"));
    m_operation = named(add(QStringLiteral("Label4"), QString(), widest(metrics, widestOperationTexts(), kValueMargin), 1), label3);
    line(2);
    QLabel *label16 = caption(QStringLiteral("Label16"), QStringLiteral("Com:"));
    // Room for the highest port number.
    m_port = named(add(QStringLiteral("Label5"), QString(), widest(metrics, {QStringLiteral("32767")}, kValueMargin), 0), label16);
    line(3);
    m_counter = add(QStringLiteral("Label7"), QString(), widest(metrics, {widestCounterText()}, kValueMargin), 0);
    m_counter->setAccessibleName(QStringLiteral("Счетчик байтов"));
    line(4);
    // The bar's text starts with a blank, which keeps it off the line.
    m_bar = add(QStringLiteral("Label6"), QString(), widest(metrics, {fullBarText()}, 0), 0);
    m_bar->setAccessibleName(QStringLiteral("Ход передачи"));

    // The design width, or more where the platform's font needs it.
    m_designWidth = qMax(Page::px(kWidthTwips), row->minimumSize().width());
    setMinimumWidth(row->minimumSize().width());
    resize(m_designWidth, height());

    connect(&m_model, &StatusModel::changed, this, &StatusPanel::refresh);
    refresh();
}

void StatusPanel::refresh()
{
    const auto show = [](QLabel *label, const QString &text, const QString &toolTip) {
        label->setText(text);
        label->setAccessibleDescription(text);
        label->setToolTip(toolTip);
    };
    const auto showElided = [this](QLabel *label, const QString &text, const QString &toolTip) {
        // Until the strip is laid out the labels have no width of their own yet.
        const int room = isVisible() ? label->contentsRect().width() : QWIDGETSIZE_MAX;
        const QString shown = label->fontMetrics().horizontalAdvance(text) <= room
            ? text
            : label->fontMetrics().elidedText(text, Qt::ElideRight, room);
        label->setText(shown);
        label->setAccessibleDescription(text);
        label->setToolTip(shown == text ? toolTip : toolTip.isEmpty() ? text : text + QLatin1Char('\n') + toolTip);
    };
    showElided(m_connection, m_model.connection(), m_model.connectionToolTip());
    showElided(m_operation, m_model.operation(), QString());
    show(m_port, m_model.port(), m_model.portToolTip());
    show(m_counter, m_model.counter(), QString());
    show(m_bar, m_model.bar(), QString());
}

void StatusPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The texts are elided to the room the labels have now.
    refresh();
}
