#include "unit/UnitFirmwareOperations.h"
#include "unit/ExitCode.h"
#include "unit/FirmwareJob.h"

UnitFirmwareOperations::UnitFirmwareOperations(UnitSession &unit, QObject *parent)
    : FirmwareOperations(parent), m_unit(unit)
{
}

UnitFirmwareOperations::~UnitFirmwareOperations() = default;

bool UnitFirmwareOperations::running() const
{
    return m_job && !m_job->done();
}

void UnitFirmwareOperations::start(Kind kind, const QString &file, int unit)
{
    if (running())
        return;
    if (m_job)
        m_job.release()->deleteLater();   // its finished() may be what called this
    const auto direction = kind == Kind::Copy ? FirmwareJob::Direction::Read : FirmwareJob::Direction::Write;
    m_job = std::make_unique<FirmwareJob>(m_unit, m_record, direction, file);
    m_job->setWindowUnit(unit);
    FirmwareJob *job = m_job.get();
    connect(job, &UnitJob::finished, this, [this, job] { emit finished(job->result().code == ExitCode::Success); });
    job->start();
}
