// Times the monitoring trend once its window is full: samples at the shortest period (0.5 s,
// measurement and sensor frames in turn) on virtual time, with the chart shown and painted after
// each. Not a test: prints the processor time per sample and per second of polling.
#include "monitor/TrendChart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TrendChart chart;
    chart.resize(336, 186);
    chart.show();
    chart.setRows(*MonitorDecoder::rowLayout(8));

    MonitorReadings r;
    const QDateTime start(QDate(2026, 12, 7), QTime(9, 0));
    const int full = 2 * TrendChart::kWindowSeconds;   // samples that fill the window
    const int measured = 240;                          // two minutes more
    double before = 0;
    for (int i = 0; i < full + measured; ++i) {
        if (i == full)
            before = cpuSeconds();
        const double wave = (i % 40) / 40.0;
        r.batteryValue = 12.5 + wave / 10;
        r.supplyValue = 13.7 + wave / 10;
        for (int row = 1; row <= MonitorReadings::kRows; ++row)
            r.percentValue[row] = 5.0 * row + wave;
        r.sensors[1] = QString::number(23 + wave, 'f', 1);
        r.sensors[2] = QString::number(-4 - wave, 'f', 1);
        chart.addSample(start.addMSecs(500LL * i), r,
                        i % 2 ? MonitorDecoder::Kind::Sensors : MonitorDecoder::Kind::Measurement);
        application.processEvents();
    }
    const double used = cpuSeconds() - before;
    std::printf("| trend, window full (%d points) | %.2f ms a sample | %.2f %% of one core at 0.5 s |\n",
                chart.pointCount(), 1000.0 * used / measured, 100.0 * used / (measured * 0.5));
    return 0;
}
