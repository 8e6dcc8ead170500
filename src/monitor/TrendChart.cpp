#include "monitor/TrendChart.h"
#include <QComboBox>
#include <QLabel>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kBarHeight = 22;
// A drawn line holds at most a point per this span (about a pixel across the window); a sample
// within it moves the line's last point. The window's samples are all kept for redrawing.
constexpr qreal kDrawStepMs = 2000;
// Moving the time axis redraws every line: it moves this far ahead at a time, and samples leave
// the window this many at once.
constexpr int kAxisStepSeconds = 30;
const QColor kBatteryColour(0x1F, 0x77, 0xB4);
const QColor kSupplyColour(0xD6, 0x27, 0x28);
const QColor kSelectedColour(0x2C, 0xA0, 0x2C);
const QColor kSensorColours[] = {QColor(0xFF, 0x7F, 0x0E), QColor(0x94, 0x67, 0xBD), QColor(0x8C, 0x56, 0x4B),
                                 QColor(0xE3, 0x77, 0xC2), QColor(0x7F, 0x7F, 0x7F), QColor(0x17, 0xBE, 0xCF)};
const QString kVoltUnit = QStringLiteral("В");
const QString kLevelUnit = QStringLiteral("%, °C");

QPen linePen(const QColor &colour, qreal width)
{
    QPen pen(colour);
    pen.setWidthF(width);
    return pen;
}

QString levelName(const QString &caption)
{
    return QStringLiteral("Вход ") + caption.trimmed() + QStringLiteral(", %");
}
}

int TrendChart::Trace::count() const
{
    int n = 0;
    for (const QPointF &p : history)
        n += std::isnan(p.y()) ? 0 : 1;
    return n;
}

TrendChart::TrendChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TrendChart"));
    setAccessibleName(QStringLiteral("Тренд"));

    auto *caption = new QLabel(QStringLiteral("Тренд. Норма входа:"), this);
    caption->setObjectName(QStringLiteral("TrendCaption"));
    caption->setGeometry(0, 0, 130, kBarHeight);
    m_choice = new QComboBox(this);
    m_choice->setObjectName(QStringLiteral("TrendInput"));
    m_choice->setAccessibleName(QStringLiteral("Норма входа"));
    m_choice->setGeometry(132, 0, 86, kBarHeight);

    m_chart = new QChart;
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_chart->setBackgroundRoundness(0);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    QFont small = font();
    small.setPointSize(7);
    m_chart->legend()->setFont(small);

    m_time = new QDateTimeAxis(m_chart);
    m_time->setFormat(QStringLiteral("HH:mm"));
    m_time->setTickCount(4);
    m_time->setLabelsFont(small);
    // Each value axis carries its unit.
    m_volts = new QValueAxis(m_chart);
    m_volts->setLabelsFont(small);
    m_volts->setLabelFormat(QStringLiteral("%.0f"));
    m_volts->setRange(0, 15);
    m_volts->setTickCount(4);
    m_volts->setTitleText(kVoltUnit);
    m_volts->setTitleFont(small);
    m_percent = new QValueAxis(m_chart);
    m_percent->setLabelsFont(small);
    m_percent->setLabelFormat(QStringLiteral("%.0f"));
    m_percent->setRange(0, 100);
    m_percent->setTickCount(3);
    m_percent->setTitleText(kLevelUnit);
    m_percent->setTitleFont(small);
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->addAxis(m_volts, Qt::AlignLeft);
    m_chart->addAxis(m_percent, Qt::AlignRight);

    // The band first, so every line is drawn over it; it is named by the choice above the chart.
    m_bandUpper = new QLineSeries(m_chart);
    m_bandLower = new QLineSeries(m_chart);
    m_band = new QAreaSeries(m_bandUpper, m_bandLower);
    m_band->setName(QStringLiteral("Норма"));
    m_band->setColor(QColor(0x2C, 0xA0, 0x2C, 0x38));
    m_band->setBorderColor(QColor(0x2C, 0xA0, 0x2C, 0x80));
    m_chart->addSeries(m_band);
    m_band->attachAxis(m_time);
    m_band->attachAxis(m_percent);

    m_battery = Trace{QStringLiteral("Акк., ") + kVoltUnit, linePen(kBatteryColour, 2), m_volts};
    m_supply = Trace{QStringLiteral("БП, ") + kVoltUnit, linePen(kSupplyColour, 2), m_volts};
    for (int row = 1; row <= MonitorReadings::kRows; ++row)
        m_levels.append(Trace{levelName(MonitorDecoder::designCaption(row)), linePen(kSelectedColour, 2), m_percent});
    for (int n = 1; n <= MonitorReadings::kSensors; ++n)
        m_sensors.append(Trace{QStringLiteral("T%1, °C").arg(n), linePen(kSensorColours[n - 1], 1.5), m_percent});

    m_view = new QChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("TrendView"));
    m_view->setAccessibleName(QStringLiteral("Тренд"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setFrameShape(QFrame::StyledPanel);

    setRows(MonitorDecoder::designLayout());
    connect(m_choice, &QComboBox::currentIndexChanged, this, [this] {
        emphasise();
        emit selectedRowChanged(selectedRow());
    });
}

TrendChart::~TrendChart() = default;

QList<TrendChart::Trace *> TrendChart::traces()
{
    QList<Trace *> all{&m_battery, &m_supply};
    for (Trace &t : m_levels)
        all << &t;
    for (Trace &t : m_sensors)
        all << &t;
    return all;
}

QList<const TrendChart::Trace *> TrendChart::traces() const
{
    QList<const Trace *> all{&m_battery, &m_supply};
    for (const Trace &t : m_levels)
        all << &t;
    for (const Trace &t : m_sensors)
        all << &t;
    return all;
}

void TrendChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_view->setGeometry(0, kBarHeight + 2, width(), height() - kBarHeight - 2);
}

void TrendChart::setRows(const MonitorDecoder::Layout &layout)
{
    const int keep = selectedRow();
    const QSignalBlocker blocker(m_choice);
    m_choice->clear();
    for (int row = 1; row <= MonitorReadings::kInputs; ++row)
        if (layout[row].visible)
            m_choice->addItem(QStringLiteral("Вход ") + layout[row].caption.trimmed(), row);
    const int at = m_choice->findData(keep);
    m_choice->setCurrentIndex(at >= 0 ? at : 0);
    for (int row = 1; row <= MonitorReadings::kInputs; ++row) {
        Trace &level = m_levels[row - 1];
        level.name = levelName(layout[row].caption);
        for (QLineSeries *piece : std::as_const(level.pieces))
            piece->setName(level.name);
    }
    emphasise();
    if (selectedRow() != keep)
        emit selectedRowChanged(selectedRow());
}

int TrendChart::selectedRow() const
{
    return m_choice->currentIndex() >= 0 ? m_choice->currentData().toInt() : 0;
}

void TrendChart::setShown(Trace &trace, bool shown)
{
    if (trace.shown == shown)
        return;
    trace.shown = shown;
    for (QLineSeries *piece : std::as_const(trace.pieces)) {
        m_chart->removeSeries(piece);
        delete piece;
    }
    trace.pieces.clear();
    if (!shown)
        return;
    // Drawn again from what the window holds, gaps included.
    QList<QPointF> points;
    const auto flush = [&] {
        if (!points.isEmpty())
            newPiece(trace)->replace(points);
        points.clear();
    };
    for (const QPointF &p : std::as_const(trace.history)) {
        if (std::isnan(p.y()))
            flush();
        else if (points.size() > 1 && p.x() - points.at(points.size() - 2).x() < kDrawStepMs)
            points.last() = p;
        else
            points.append(p);
    }
    flush();
}

QLineSeries *TrendChart::newPiece(Trace &trace)
{
    auto *piece = new QLineSeries(m_chart);
    piece->setName(trace.name);
    piece->setPen(trace.pen);
    m_chart->addSeries(piece);
    piece->attachAxis(m_time);
    piece->attachAxis(trace.axis);
    trace.pieces.append(piece);
    return piece;
}

void TrendChart::emphasise()
{
    // Only the chosen input's level is drawn: unnamed lines would leave the reader guessing.
    const int selected = selectedRow();
    for (int row = 1; row <= MonitorReadings::kRows; ++row)
        setShown(m_levels[row - 1], row == selected);
    updateLegend();
}

void TrendChart::updateLegend()
{
    // One entry per line drawn, on its oldest piece; markers are made anew whenever a piece comes
    // or goes, and follow the piece's visibility, so this runs after every such change.
    for (QLegendMarker *marker : m_chart->legend()->markers(m_band))
        marker->setVisible(false);
    for (const Trace *trace : traces()) {
        bool named = false;
        for (QLineSeries *piece : trace->pieces) {
            const bool entry = !named && trace->shown && piece->count() > 0;
            named = named || entry;
            // Set every time: a marker not laid out yet reads as hidden whatever was set.
            for (QLegendMarker *marker : m_chart->legend()->markers(piece))
                marker->setVisible(entry);
        }
    }
}

QStringList TrendChart::legendNames() const
{
    QStringList names;
    for (QLegendMarker *marker : m_chart->legend()->markers())
        if (marker->isVisible())
            names << marker->label();
    return names;
}

int TrendChart::drawnLines() const
{
    int n = 0;
    for (const Trace *trace : traces())
        n += trace->shown && trace->count() > 0 ? 1 : 0;
    return n;
}

int TrendChart::pieceCount() const
{
    int n = 0;
    for (const Trace *trace : traces())
        n += int(trace->pieces.size());
    return n;
}

QString TrendChart::leftAxisTitle() const
{
    return m_volts->titleText();
}

QString TrendChart::rightAxisTitle() const
{
    return m_percent->titleText();
}

void TrendChart::setBand(std::optional<double> lower, std::optional<double> upper)
{
    m_lower = lower;
    m_upper = upper;
    updateBand();
}

void TrendChart::updateBand()
{
    m_bandUpper->clear();
    m_bandLower->clear();
    const bool shown = m_lower && m_upper && m_first.isValid();
    if (!shown)
        return;
    const qreal from = qreal(m_time->min().toMSecsSinceEpoch());
    const qreal to = qreal(m_time->max().toMSecsSinceEpoch());
    m_bandUpper->append(from, *m_upper);
    m_bandUpper->append(to, *m_upper);
    m_bandLower->append(from, *m_lower);
    m_bandLower->append(to, *m_lower);
}

void TrendChart::append(Trace &trace, qreal x, const std::optional<double> &value)
{
    if (!value || !std::isfinite(*value))
        return;
    const bool broken = trace.broken;
    trace.broken = false;
    if (broken && !trace.history.isEmpty())
        trace.history.append(QPointF(x, qQNaN()));
    trace.history.append(QPointF(x, *value));
    if (!trace.shown)
        return;
    if (trace.pieces.isEmpty() || broken)
        newPiece(trace);
    QLineSeries *piece = trace.pieces.last();
    const int n = piece->count();
    if (n > 1 && x - piece->at(n - 2).x() < kDrawStepMs)
        piece->replace(n - 1, x, *value);
    else
        piece->append(x, *value);
}

void TrendChart::markGap()
{
    for (Trace *trace : traces())
        trace->broken = true;
}

void TrendChart::addSample(const QDateTime &time, const MonitorReadings &readings,
                           std::optional<MonitorDecoder::Kind> kind)
{
    const qreal x = qreal(time.toMSecsSinceEpoch());
    if (!m_first.isValid())
        m_first = time;
    m_last = time;
    if (!kind || *kind == MonitorDecoder::Kind::Measurement) {
        append(m_battery, x, readings.batteryValue);
        append(m_supply, x, readings.supplyValue);
        for (int row = 1; row <= MonitorReadings::kRows; ++row)
            append(m_levels[row - 1], x, readings.percentValue[row]);
    }
    if (!kind || *kind == MonitorDecoder::Kind::Sensors) {
        for (int n = 1; n <= MonitorReadings::kSensors; ++n)
            append(m_sensors[n - 1], x, MonitorDecoder::leadingNumber(readings.sensors[n]));
    }
    prune(time);
    if (rescale(time))
        updateBand();
    updateLegend();
}

void TrendChart::prune(const QDateTime &now)
{
    const qreal oldest = qreal(now.addSecs(-kWindowSeconds).toMSecsSinceEpoch());
    const qreal due = qreal(now.addSecs(-kWindowSeconds - kAxisStepSeconds).toMSecsSinceEpoch());
    bool any = false;
    for (const Trace *trace : traces())
        any = any || (!trace->history.isEmpty() && trace->history.first().x() < due);
    if (!any)
        return;
    for (Trace *trace : traces()) {
        qsizetype drop = 0;
        while (drop < trace->history.size() && trace->history.at(drop).x() < oldest)
            ++drop;
        // A gap mark that would lead the window goes with the points before it.
        while (drop < trace->history.size() && std::isnan(trace->history.at(drop).y()))
            ++drop;
        if (drop > 0)
            trace->history.remove(0, drop);
        while (!trace->pieces.isEmpty()) {
            QLineSeries *s = trace->pieces.first();
            int gone = 0;
            while (gone < s->count() && s->at(gone).x() < oldest)
                ++gone;
            // A piece that has left the window goes, unless it is the one still growing.
            if (gone == s->count() && (trace->pieces.size() > 1 || trace->broken)) {
                trace->pieces.removeFirst();
                m_chart->removeSeries(s);
                delete s;
                continue;
            }
            if (gone > 0)
                s->removePoints(0, gone);
            break;
        }
    }
}

bool TrendChart::rescale(const QDateTime &now)
{
    bool moved = false;
    if (!m_timeSet || now > m_time->max() || now < m_time->min()) {
        const QDateTime ahead = now.addSecs(kAxisStepSeconds);
        const QDateTime from = std::max(m_first, ahead.addSecs(-kWindowSeconds));
        // At least a minute across, so the first samples do not fill the width.
        const QDateTime to = std::max(ahead, from.addSecs(60));
        m_time->setRange(from, to);
        m_time->setFormat(from.secsTo(to) < 180 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
        m_timeSet = true;
        moved = true;
    }

    double volts = 15;
    for (const Trace *t : {&m_battery, &m_supply})
        for (const QPointF &p : t->history)
            if (!std::isnan(p.y()))
                volts = std::max(volts, p.y() * 1.1);
    // Round steps: 5 V and 50 % (or degrees) between ticks.
    const double voltsTop = std::ceil(volts / 5) * 5;
    m_volts->setRange(0, voltsTop);
    m_volts->setTickCount(int(voltsTop / 5) + 1);

    double low = 0, high = 100;
    const auto widen = [&low, &high](const Trace &t) {
        if (!t.shown)
            return;
        for (const QPointF &p : t.history)
            if (!std::isnan(p.y())) {
                low = std::min(low, p.y());
                high = std::max(high, p.y());
            }
    };
    for (const Trace &t : std::as_const(m_levels))
        widen(t);
    for (const Trace &t : std::as_const(m_sensors))
        widen(t);
    // Few ticks: the plot is short and crowded labels would be elided.
    const double bottom = std::floor(low / 50) * 50, top = std::ceil(high / 50) * 50;
    m_percent->setRange(bottom, top);
    m_percent->setTickCount(int((top - bottom) / 50) + 1);
    return moved;
}

int TrendChart::pointCount() const
{
    int n = 0;
    for (const Trace *trace : traces())
        n += trace->count();
    return n;
}

void TrendChart::clear()
{
    for (Trace *trace : traces()) {
        for (QLineSeries *piece : std::as_const(trace->pieces)) {
            m_chart->removeSeries(piece);
            delete piece;
        }
        trace->pieces.clear();
        trace->history.clear();
        trace->broken = false;
    }
    m_first = QDateTime();
    m_last = QDateTime();
    updateBand();
}
