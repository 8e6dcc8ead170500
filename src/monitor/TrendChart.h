#pragma once
#include "monitor/MonitorDecoder.h"
#include <QDateTime>
#include <QList>
#include <QWidget>
#include <optional>

class QChart;
class QChartView;
class QComboBox;
class QLineSeries;
class QAreaSeries;
class QAbstractSeries;
class QDateTimeAxis;
class QValueAxis;

// The trend of the last minutes of polling: battery and power-supply voltages (left axis), the
// input levels and the temperatures (right axis), and the normal range of the chosen input as a
// band. Samples come from the decoded replies; the chart keeps only what its window shows.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWindowSeconds = 10 * 60;

    explicit TrendChart(QWidget *parent = nullptr);

    void addSample(const QDateTime &time, const MonitorReadings &readings);
    // Rows shown by the page (captions as the input table has them).
    void setRows(const MonitorDecoder::Layout &layout);
    // The row whose level is emphasised and whose range forms the band; 0 for none.
    int selectedRow() const;
    // The normal range of the selected row in percent; nothing draws no band.
    void setBand(std::optional<double> lower, std::optional<double> upper);

    int pointCount() const;   // points held in all series

signals:
    void selectedRowChanged(int row);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void prune(const QDateTime &now);
    void rescale(const QDateTime &now);
    void updateBand();
    void emphasise();

    QChart *m_chart;
    QChartView *m_view;
    QComboBox *m_choice;
    QLineSeries *m_battery;
    QLineSeries *m_supply;
    QList<QLineSeries *> m_levels;    // rows 1 … 13
    QList<QLineSeries *> m_sensors;   // T1 … T6
    QLineSeries *m_bandUpper;
    QLineSeries *m_bandLower;
    QAreaSeries *m_band;
    QDateTimeAxis *m_time;
    QValueAxis *m_volts;
    QValueAxis *m_percent;
    std::optional<double> m_lower, m_upper;
    QDateTime m_first, m_last;
};
