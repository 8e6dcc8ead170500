#pragma once
#include "unit/CommissioningData.h"
#include "unit/UnitJob.h"
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// report: an identified unit's configuration read, a few seconds of monitoring polled, and the
// commissioning report written from them. The writer is handed in, so this job needs no painting.
class ReportJob : public UnitJob {
    Q_OBJECT
public:
    // Writes the report; empty when written, else the file's message.
    using Writer = std::function<QString(const QString &path, const CommissioningData &data)>;
    static constexpr int kPolls = 8;         // a measurement and a sensor frame each second
    static constexpr int kPeriodMs = 500;    // the fastest the monitoring page polls
    inline static const QString kNoFrames =
        QStringLiteral("Устройство не ответило на запросы мониторинга: показаний нет.");

    ReportJob(UnitSession &unit, UnitMessages &messages, QString file, Writer writer, QObject *parent = nullptr);
    void start() override;

private:
    void poll();
    void polled();
    void write();

    QString m_file;
    Writer m_writer;
    QTimer m_next;
    QElapsedTimer m_pollBegan;
    int m_polls = 0;
    bool m_live = false;
    QDateTime m_readAt;
    QList<CommissioningData::Sample> m_trend;
};
