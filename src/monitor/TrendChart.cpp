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
const QColor kBatteryColour(0x1F, 0x77, 0xB4);
const QColor kSupplyColour(0xD6, 0x27, 0x28);
const QColor kLevelColour(0xB0, 0xB0, 0xB0);
const QColor kSelectedColour(0x2C, 0xA0, 0x2C);
const QColor kSensorColours[] = {QColor(0xFF, 0x7F, 0x0E), QColor(0x94, 0x67, 0xBD), QColor(0x8C, 0x56, 0x4B),
                                 QColor(0xE3, 0x77, 0xC2), QColor(0x7F, 0x7F, 0x7F), QColor(0x17, 0xBE, 0xCF)};

QLineSeries *newSeries(QChart *chart, const QString &name, const QColor &colour, qreal width)
{
    auto *series = new QLineSeries(chart);
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(width);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}

void append(QLineSeries *series, qreal x, const std::optional<double> &value)
{
    if (value && std::isfinite(*value))
        series->append(x, *value);
}

void setMarkerShown(QChart *chart, QAbstractSeries *series, bool shown)
{
    for (QLegendMarker *marker : chart->legend()->markers(series))
        marker->setVisible(shown);
}
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
    m_volts = new QValueAxis(m_chart);
    m_volts->setLabelsFont(small);
    m_volts->setLabelFormat(QStringLiteral("%.0f"));
    m_volts->setRange(0, 15);
    m_volts->setTickCount(4);
    m_percent = new QValueAxis(m_chart);
    m_percent->setLabelsFont(small);
    m_percent->setLabelFormat(QStringLiteral("%.0f"));
    m_percent->setRange(0, 100);
    m_percent->setTickCount(3);
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->addAxis(m_volts, Qt::AlignLeft);
    m_chart->addAxis(m_percent, Qt::AlignRight);

    // The band first, so every line is drawn over it.
    m_bandUpper = new QLineSeries(m_chart);
    m_bandLower = new QLineSeries(m_chart);
    m_band = new QAreaSeries(m_bandUpper, m_bandLower);
    m_band->setName(QStringLiteral("Норма"));
    m_band->setColor(QColor(0x2C, 0xA0, 0x2C, 0x38));
    m_band->setBorderColor(QColor(0x2C, 0xA0, 0x2C, 0x80));
    m_chart->addSeries(m_band);
    setMarkerShown(m_chart, m_band, false);   // the band is named by the choice above the chart

    m_battery = newSeries(m_chart, QStringLiteral("Акк. В"), kBatteryColour, 2);
    m_supply = newSeries(m_chart, QStringLiteral("БП В"), kSupplyColour, 2);
    for (int row = 1; row <= MonitorReadings::kRows; ++row)
        m_levels.append(newSeries(m_chart, QString(), kLevelColour, 1));
    for (int n = 1; n <= MonitorReadings::kSensors; ++n)
        m_sensors.append(newSeries(m_chart, QStringLiteral("T%1 °C").arg(n), kSensorColours[n - 1], 1.5));

    const auto attach = [this](QAbstractSeries *series, QValueAxis *values) {
        series->attachAxis(m_time);
        series->attachAxis(values);
    };
    attach(m_band, m_percent);
    attach(m_battery, m_volts);
    attach(m_supply, m_volts);
    for (QLineSeries *s : std::as_const(m_levels))
        attach(s, m_percent);
    for (QLineSeries *s : std::as_const(m_sensors))
        attach(s, m_percent);

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
    for (int row = 1; row <= MonitorReadings::kRows; ++row) {
        const bool shown = row == MonitorReadings::kRows || layout[row].visible;
        m_levels.at(row - 1)->setVisible(shown);
        m_levels.at(row - 1)->setName(row == MonitorReadings::kRows ? QStringLiteral("УПР %")
                                                                    : QStringLiteral("Вход ")
                                                                          + layout[row].caption.trimmed()
                                                                          + QStringLiteral(" %"));
    }
    emphasise();
    if (selectedRow() != keep)
        emit selectedRowChanged(selectedRow());
}

int TrendChart::selectedRow() const
{
    return m_choice->currentIndex() >= 0 ? m_choice->currentData().toInt() : 0;
}

void TrendChart::emphasise()
{
    // Only the chosen input's level has a legend entry and a colour; the others stay in the background.
    const int selected = selectedRow();
    for (int row = 1; row <= MonitorReadings::kRows; ++row) {
        QLineSeries *s = m_levels.at(row - 1);
        QPen pen(row == selected ? kSelectedColour : kLevelColour);
        pen.setWidthF(row == selected ? 2 : 1);
        s->setPen(pen);
        setMarkerShown(m_chart, s, row == selected);
    }
    for (QLineSeries *s : std::as_const(m_sensors))
        setMarkerShown(m_chart, s, s->count() > 0);
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

void TrendChart::addSample(const QDateTime &time, const MonitorReadings &readings)
{
    const qreal x = qreal(time.toMSecsSinceEpoch());
    if (!m_first.isValid())
        m_first = time;
    m_last = time;
    append(m_battery, x, readings.batteryValue);
    append(m_supply, x, readings.supplyValue);
    for (int row = 1; row <= MonitorReadings::kRows; ++row)
        append(m_levels.at(row - 1), x, readings.percentValue[row]);
    bool newSensor = false;
    for (int n = 1; n <= MonitorReadings::kSensors; ++n) {
        const std::optional<double> t = MonitorDecoder::leadingNumber(readings.sensors[n]);
        QLineSeries *s = m_sensors.at(n - 1);
        newSensor = newSensor || (t && s->count() == 0);
        append(s, x, t);
    }
    prune(time);
    rescale(time);
    updateBand();
    if (newSensor)
        emphasise();
}

void TrendChart::prune(const QDateTime &now)
{
    const qreal oldest = qreal(now.addSecs(-kWindowSeconds).toMSecsSinceEpoch());
    const auto trim = [oldest](QLineSeries *s) {
        int drop = 0;
        while (drop < s->count() && s->at(drop).x() < oldest)
            ++drop;
        if (drop > 0)
            s->removePoints(0, drop);
    };
    trim(m_battery);
    trim(m_supply);
    for (QLineSeries *s : std::as_const(m_levels))
        trim(s);
    for (QLineSeries *s : std::as_const(m_sensors))
        trim(s);
}

void TrendChart::rescale(const QDateTime &now)
{
    const QDateTime windowStart = now.addSecs(-kWindowSeconds);
    const QDateTime from = std::max(m_first, windowStart);
    // At least a minute across, so the first samples do not fill the width.
    const QDateTime to = std::max(now, from.addSecs(60));
    m_time->setRange(from, to);
    m_time->setFormat(from.secsTo(to) < 180 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));

    double volts = 15;
    for (const QLineSeries *s : {m_battery, m_supply})
        for (const QPointF &p : s->points())
            volts = std::max(volts, p.y() * 1.1);
    // Round steps: 5 V and 25 % (or degrees) between ticks.
    const double voltsTop = std::ceil(volts / 5) * 5;
    m_volts->setRange(0, voltsTop);
    m_volts->setTickCount(int(voltsTop / 5) + 1);

    double low = 0, high = 100;
    const auto widen = [&low, &high](const QLineSeries *s) {
        if (!s->isVisible())
            return;
        for (const QPointF &p : s->points()) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
    };
    for (const QLineSeries *s : std::as_const(m_levels))
        widen(s);
    for (const QLineSeries *s : std::as_const(m_sensors))
        widen(s);
    // Few ticks: the plot is short and crowded labels would be elided.
    const double bottom = std::floor(low / 50) * 50, top = std::ceil(high / 50) * 50;
    m_percent->setRange(bottom, top);
    m_percent->setTickCount(int((top - bottom) / 50) + 1);
}

int TrendChart::pointCount() const
{
    int n = m_battery->count() + m_supply->count();
    for (const QLineSeries *s : m_levels)
        n += s->count();
    for (const QLineSeries *s : m_sensors)
        n += s->count();
    return n;
}
