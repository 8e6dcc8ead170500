#include "app/CommissioningReportAction.h"
#include "monitor/MonitorExchange.h"
#include "report/CommissioningReport.h"
#include "shell/Clock.h"
#include "shell/FileDialogs.h"
#include "shell/MessageSink.h"
#include "unit/UnitSession.h"
#include <QDir>

CommissioningReportAction::CommissioningReportAction(UnitSession &unit, QString folder, QObject *parent)
    : QObject(parent), m_unit(unit), m_folder(std::move(folder))
{
    MonitorExchange &monitor = unit.monitorExchange();
    connect(&monitor, &MonitorExchange::sampleTaken, this, &CommissioningReportAction::sampled);
    // Another unit's readings start a trend of their own, as on the monitoring page.
    connect(&monitor, &MonitorExchange::unitChanged, this, [this] { m_trend.clear(); });
}

void CommissioningReportAction::sampled(const QDateTime &time)
{
    const MonitorExchange &monitor = m_unit.monitorExchange();
    m_trend << CommissioningData::sample(time, monitor.readings(), monitor.lastKind());
    while (!m_trend.isEmpty() && m_trend.constFirst().time.secsTo(time) > kTrendSeconds)
        m_trend.removeFirst();
}

void CommissioningReportAction::run()
{
    CommissioningData data = CommissioningData::fromUnit(m_unit, m_unit.clock().now());
    if (data.live)
        data.trend = m_trend;
    data.readBack = m_readBack;

    FileDialogRequest request;
    request.initialFolder = m_folder.isEmpty() ? QString() : QDir(m_folder).absolutePath() + QLatin1Char('/');
    request.filter = kFilter;
    request.defaultSuffix = QStringLiteral("pdf");
    request.defaultName = CommissioningData::defaultFileName(data.unitName, data.when.date());
    const std::optional<QString> name = m_unit.dialogs().saveFileName(request);
    if (!name || name->isEmpty())
        return;
    if (const QString problem = CommissioningReport::write(*name, data); !problem.isEmpty())
        m_unit.messages().show(problem);
}
