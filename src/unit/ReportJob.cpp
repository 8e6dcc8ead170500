#include "unit/ReportJob.h"
#include "config/FileProblem.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "monitor/MonitorExchange.h"
#include "unit/ExitCode.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"
#include <QFileInfo>

namespace {
const QString kNotSaved = QStringLiteral("Отчёт не сохранён: ");
}

ReportJob::ReportJob(UnitSession &unit, UnitMessages &messages, QString file, Writer writer, QObject *parent)
    : UnitJob(unit, messages, parent), m_file(std::move(file)), m_writer(std::move(writer))
{
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &ReportJob::poll);
}

void ReportJob::start()
{
    // A report that could never be saved is refused before the unit is read.
    if (const QString why = FileProblem::forWriting(m_file); !why.isEmpty())
        return fail(ExitCode::BadFile, kNotSaved + m_file + QStringLiteral(": ") + why);
    readInfo(
        [this](bool ok) {
            if (!ok)
                return fail(ExitCode::TransferFailed,
                            UnitReport::infoReadFailure(link(), countShown(), m_unit.configExchange()));
            m_readAt = QDateTime::currentDateTime();
            m_unit.monitorExchange().RazmetkaVhodov();
            begin(QStringLiteral("Мониторинг"), [this] { return QStringLiteral("Прервано: ") + kNotSaved + m_file; },
                  false);
            poll();
        },
        QStringLiteral("Прервано: ") + kNotSaved + m_file);
}

void ReportJob::poll()
{
    m_pollBegan.start();
    m_unit.monitorExchange().MonitoringProcess();
    await([this] { polled(); });
}

void ReportJob::polled()
{
    ++m_polls;
    const MonitorExchange &monitor = m_unit.monitorExchange();
    if (m_unit.exchangeTag() == Tag::MonitoringOk) {
        m_live = true;
        m_trend << CommissioningData::sample(QDateTime::currentDateTime(), monitor.readings(), monitor.lastKind());
    } else if (!link().isOpen()) {
        return fail(ExitCode::TransferFailed,
                    kNotSaved + m_file + QLatin1Char('\n') + UnitReport::transferProblem(link()));
    }
    if (m_polls >= kPolls)
        return write();
    m_next.start(qMax(0, kPeriodMs - int(m_pollBegan.elapsed())));
}

void ReportJob::write()
{
    CommissioningData data = CommissioningData::fromUnit(m_unit, QDateTime::currentDateTime());
    // Read by this job just now, whether or not the read marked the image with its unit.
    data.image.setReadFrom(data.unitName, m_readAt);
    data.settingsOrigin = CommissioningData::originOf(data.image);
    data.live = m_live;
    data.trend = m_trend;
    data.readings = m_unit.monitorExchange().readings();
    data.layout = m_unit.monitorExchange().layout();
    data.noReadings = m_live ? QString() : kNoFrames;
    if (!m_live)
        emit said(kNoFrames);
    if (const QString problem = m_writer(m_file, data); !problem.isEmpty())
        return fail(ExitCode::BadFile, problem);
    m_unit.stop();
    finish(ExitCode::Success, QStringLiteral("Отчёт сохранён: ") + m_file,
           QStringLiteral("сохранено: ") + QFileInfo(m_file).fileName());
}
