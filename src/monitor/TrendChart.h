#pragma once
#include "monitor/MonitorDecoder.h"
#include <QDateTime>
#include <QList>
#include <QPen>
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

// The trend of the last minutes of polling: battery and power-supply voltages (left axis, volts),
// the chosen input's level and the temperatures (right axis, per cent and degrees), and the normal
// range of the chosen input as a band. Samples come from the decoded replies; the chart keeps only
// what its window shows, and a break in polling stays a break in the lines. The legend names
// every line drawn and nothing else.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWindowSeconds = 10 * 60;

    explicit TrendChart(QWidget *parent = nullptr);
    ~TrendChart() override;

    // A decoded reply: a measurement frame adds the voltages and levels, a sensor frame the
    // temperatures; without a kind, everything the readings hold.
    void addSample(const QDateTime &time, const MonitorReadings &readings,
                   std::optional<MonitorDecoder::Kind> kind = std::nullopt);
    // Polling stopped or the link went: the next samples start new line pieces.
    void markGap();
    // Forgets every sample: another unit's readings start a trend of their own.
    void clear();
    // Rows shown by the page (captions as the input table has them).
    void setRows(const MonitorDecoder::Layout &layout);
    // The row whose level is drawn and whose range forms the band; 0 for none.
    int selectedRow() const;
    // The normal range of the selected row in percent; nothing draws no band.
    void setBand(std::optional<double> lower, std::optional<double> upper);

    int pointCount() const;   // points held in all lines
    // Names in the legend, in its order, and the lines drawn (a line broken by gaps counts once).
    QStringList legendNames() const;
    int drawnLines() const;
    int pieceCount() const;   // line pieces held, drawn or not
    QString leftAxisTitle() const;
    QString rightAxisTitle() const;

signals:
    void selectedRowChanged(int row);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // One quantity over time, drawn as pieces between gaps. The points of the window are kept in
    // history (a NaN marks a gap); only a shown trace has pieces in the chart, so the hidden levels
    // cost no drawing.
    struct Trace {
        Trace() = default;
        Trace(const QString &n, const QPen &p, QValueAxis *a) : name(n), pen(p), axis(a) {}
        QString name;
        QPen pen;
        QValueAxis *axis = nullptr;
        bool shown = true;
        bool broken = false;
        QList<QPointF> history;
        QList<QLineSeries *> pieces;
        int count() const;
    };
    void append(Trace &trace, qreal x, const std::optional<double> &value);
    void prune(const QDateTime &now);
    bool rescale(const QDateTime &now);   // true when the time axis moved
    void updateBand();
    void emphasise();
    void updateLegend();
    void setShown(Trace &trace, bool shown);
    QLineSeries *newPiece(Trace &trace);
    QList<Trace *> traces();
    QList<const Trace *> traces() const;

    QChart *m_chart;
    QChartView *m_view;
    QComboBox *m_choice;
    Trace m_battery;
    Trace m_supply;
    QList<Trace> m_levels;    // rows 1 … 13
    QList<Trace> m_sensors;   // T1 … T6
    QLineSeries *m_bandUpper;
    QLineSeries *m_bandLower;
    QAreaSeries *m_band;
    QDateTimeAxis *m_time;
    QValueAxis *m_volts;
    QValueAxis *m_percent;
    std::optional<double> m_lower, m_upper;
    QDateTime m_first, m_last;
    bool m_timeSet = false;
};
