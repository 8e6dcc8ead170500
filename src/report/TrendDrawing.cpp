#include "report/TrendDrawing.h"
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>

namespace {
constexpr int kSteps = 4;   // grid lines above the lowest
using Sample = CommissioningData::Sample;
using Value = std::function<std::optional<double>(const Sample &)>;

struct Line {
    QString name;
    Value value;
    QColor colour;
    bool right;   // temperatures use the right axis
};

QList<Line> allLines()
{
    QList<Line> lines{
        {QStringLiteral("Акк, В"), [](const Sample &s) { return s.battery; }, QColor(0x1F, 0x4E, 0xB4), false},
        {QStringLiteral("Пит, В"), [](const Sample &s) { return s.supply; }, QColor(0x2E, 0x8B, 0x3A), false},
    };
    const QList<QColor> warm{QColor(0xC0, 0x39, 0x2B), QColor(0xD3, 0x84, 0x00), QColor(0x8E, 0x44, 0xAD),
                             QColor(0x6D, 0x4C, 0x41), QColor(0xE0, 0x4E, 0x8A), QColor(0x00, 0x83, 0x8F)};
    for (int n = 1; n <= MonitorReadings::kSensors; ++n)
        lines << Line{QStringLiteral("T%1, °C").arg(n), [n](const Sample &s) { return s.sensors[n]; },
                      warm.at(n - 1), true};
    return lines;
}

QList<Line> linesWithValues(const QList<Sample> &samples)
{
    QList<Line> shown;
    for (const Line &line : allLines())
        for (const Sample &s : samples)
            if (line.value(s)) {
                shown << line;
                break;
            }
    return shown;
}

// Bounds that include every value, widened to whole steps so the grid has round numbers.
struct Scale {
    double low = 0, high = 1;
    void fit(const QList<Sample> &samples, const QList<Line> &lines, bool right, double minimumSpan)
    {
        bool any = false;
        for (const Line &line : lines) {
            if (line.right != right)
                continue;
            for (const Sample &s : samples)
                if (const std::optional<double> v = line.value(s)) {
                    low = any ? std::min(low, *v) : *v;
                    high = any ? std::max(high, *v) : *v;
                    any = true;
                }
        }
        if (!any)
            return;
        if (high - low < minimumSpan) {
            const double centre = (low + high) / 2;
            low = centre - minimumSpan / 2;
            high = centre + minimumSpan / 2;
        }
        // The smallest round step (0.5, 1, 2, 5, 10 …) whose grid holds every value.
        double step = 0.5;
        for (int i = 0; std::floor(low / step) * step + kSteps * step < high; ++i)
            step *= (i % 3 == 2) ? 2.5 : 2;
        low = std::floor(low / step) * step;
        high = low + kSteps * step;
    }
    double at(double v, const QRectF &plot) const { return plot.bottom() - (v - low) / (high - low) * plot.height(); }
};
}

TrendDrawing::TrendDrawing(QList<CommissioningData::Sample> samples, QSizeF size, QObject *parent)
    : QObject(parent), m_samples(std::move(samples)), m_size(size)
{
}

QSizeF TrendDrawing::intrinsicSize(QTextDocument *, int, const QTextFormat &)
{
    return m_size;
}

void TrendDrawing::drawObject(QPainter *painter, const QRectF &rect, QTextDocument *, int, const QTextFormat &format)
{
    painter->save();
    painter->setFont(format.toCharFormat().font());
    draw(*painter, rect, m_samples);
    painter->restore();
}

QStringList TrendDrawing::lineNames(const QList<CommissioningData::Sample> &samples)
{
    QStringList names;
    for (const Line &line : linesWithValues(samples))
        names << line.name;
    return names;
}

void TrendDrawing::draw(QPainter &painter, const QRectF &rect, const QList<CommissioningData::Sample> &samples)
{
    painter.save();
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal text = metrics.height();
    const QList<Line> lines = linesWithValues(samples);
    // Room for the axes' numbers on both sides, the times below and the legend under them.
    const QRectF plot = rect.adjusted(metrics.horizontalAdvance(QStringLiteral("000.0")) + text / 2, 1.5 * text,
                                      -(metrics.horizontalAdvance(QStringLiteral("-000")) + text / 2), -3.6 * text);
    const qreal thin = std::max<qreal>(1.0, text / 20);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), thin));
    painter.drawRect(plot);
    if (samples.isEmpty() || lines.isEmpty()) {
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("нет показаний"));
        painter.restore();
        return;
    }
    Scale left, right;
    left.fit(samples, lines, false, 1.0);
    right.fit(samples, lines, true, 4.0);
    const QDateTime first = samples.constFirst().time;
    const qint64 spanMs = std::max<qint64>(1000, first.msecsTo(samples.constLast().time));
    const auto x = [&](const QDateTime &t) { return plot.left() + double(first.msecsTo(t)) / spanMs * plot.width(); };

    painter.setPen(Qt::black);
    painter.drawText(QRectF(rect.left(), rect.top(), plot.left() - rect.left(), text), Qt::AlignRight, QStringLiteral("В"));
    painter.drawText(QRectF(plot.right() + text / 4, rect.top(), rect.right() - plot.right(), text), Qt::AlignLeft,
                     QStringLiteral("°C"));
    for (int i = 0; i <= kSteps; ++i) {
        const qreal y = plot.bottom() - plot.height() * i / kSteps;
        painter.setPen(QPen(QColor(0xD8, 0xD8, 0xD8), thin));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        const double l = left.low + (left.high - left.low) * i / kSteps;
        const double r = right.low + (right.high - right.low) * i / kSteps;
        painter.drawText(QRectF(rect.left(), y - text / 2, plot.left() - rect.left() - text / 4, text),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(l, 'f', 1));
        painter.drawText(QRectF(plot.right() + text / 4, y - text / 2, rect.right() - plot.right(), text),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::number(r, 'f', 0));
    }
    for (int i = 0; i <= kSteps; ++i) {
        const QDateTime t = first.addMSecs(spanMs * i / kSteps);
        const qreal at = x(t);
        const QString label = t.toString(QStringLiteral("HH:mm:ss"));
        const qreal w = metrics.horizontalAdvance(label);
        const qreal left0 = std::clamp(at - w / 2, plot.left() - w / 4, rect.right() - w);
        painter.drawText(QPointF(left0, plot.bottom() + 1.5 * text), label);
    }

    // Each quantity as one line through the replies that carried it.
    qreal legendX = plot.left();
    const qreal legendY = plot.bottom() + 3.0 * text;
    for (const Line &line : lines) {
        const Scale &scale = line.right ? right : left;
        QPainterPath path;
        bool started = false;
        painter.setPen(QPen(line.colour, 3 * thin));
        for (const Sample &s : samples) {
            const std::optional<double> v = line.value(s);
            if (!v)
                continue;
            const QPointF p(x(s.time), scale.at(*v, plot));
            started ? path.lineTo(p) : path.moveTo(p);
            started = true;
            painter.drawEllipse(p, 2 * thin, 2 * thin);
        }
        painter.drawPath(path);
        painter.drawLine(QPointF(legendX, legendY - text / 3), QPointF(legendX + text, legendY - text / 3));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(legendX + 1.3 * text, legendY), line.name);
        legendX += 1.3 * text + metrics.horizontalAdvance(line.name) + text;
    }
    painter.restore();
}
