#include "monitor/ModelPictureWidget.h"
#include "monitor/MonitorDecoder.h"
#include <QPainter>
#include <QPainterPath>

ModelPictureWidget::ModelPictureWidget(int index, QWidget *parent) : QWidget(parent), m_index(index)
{
    setObjectName(QStringLiteral("Image1_%1").arg(index));
    const QString name = MonitorDecoder::modelNames().value(index);
    setAccessibleName(name);
    setToolTip(name);
}

void ModelPictureWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double probeWidth = thermo() ? area.width() * 0.22 : 0.0;
    const QRectF body(area.left(), area.top(), area.width() - probeWidth, area.height());

    // Enclosure: a light case with a darker front label strip.
    p.setPen(QPen(QColor(0x55, 0x5A, 0x60), 1.2));
    p.setBrush(QColor(0xE8, 0xEA, 0xEC));
    p.drawRoundedRect(body, 5, 5);
    const QRectF strip(body.left() + 4, body.top() + 4, body.width() - 8, body.height() * 0.36);
    p.setBrush(QColor(0x1F, 0x4E, 0x79));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(strip, 3, 3);

    // Model name on the strip, e.g. "GSM8T", and a status LED.
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(qMax(8, int(strip.height() * 0.55)));
    p.setFont(font);
    p.setPen(Qt::white);
    const QString name = MonitorDecoder::modelNames().value(m_index).section(QLatin1Char('-'), 1);
    p.drawText(strip.adjusted(4, 0, -12, 0), Qt::AlignVCenter | Qt::AlignLeft, name);
    p.setBrush(QColor(0x3C, 0xD0, 0x4A));
    p.drawEllipse(QPointF(strip.right() - 7, strip.center().y()), 3, 3);

    // Terminal block: one screw per input along the bottom edge.
    const int n = inputs();
    const QRectF block(body.left() + 4, body.bottom() - body.height() * 0.34, body.width() - 8,
                       body.height() * 0.28);
    p.setBrush(QColor(0x2E, 0x8B, 0x57));
    p.setPen(QPen(QColor(0x1E, 0x5E, 0x3A), 1));
    p.drawRect(block);
    const double pitch = block.width() / n;
    const double r = qMin(pitch * 0.32, block.height() * 0.32);
    p.setBrush(QColor(0xC8, 0xC8, 0xC8));
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 0.8));
    for (int i = 0; i < n; ++i) {
        const QPointF c(block.left() + pitch * (i + 0.5), block.center().y());
        p.drawEllipse(c, r, r);
        p.drawLine(c + QPointF(-r * 0.7, 0), c + QPointF(r * 0.7, 0));
    }

    // "T" models: a cable to a temperature probe at the right.
    if (thermo()) {
        const QPointF from(body.right(), body.center().y());
        const QPointF to(area.right() - probeWidth * 0.35, area.top() + area.height() * 0.25);
        QPainterPath cable(from);
        cable.cubicTo(from + QPointF(probeWidth * 0.6, 0), to + QPointF(0, area.height() * 0.4), to);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 2));
        p.drawPath(cable);
        p.setPen(QPen(QColor(0x55, 0x5A, 0x60), 1));
        p.setBrush(QColor(0xB0, 0xB8, 0xC0));
        p.drawRoundedRect(QRectF(to.x() - 4, to.y() - area.height() * 0.2, 8, area.height() * 0.22), 3, 3);
    }
}
