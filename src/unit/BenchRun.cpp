#include "unit/BenchRun.h"
#include "unit/ExitCode.h"
#include <algorithm>

BenchRun::PortState BenchRun::afterAnswer(PortState state, bool answered)
{
    switch (state) {
    case PortState::Waiting: return answered ? PortState::Serving : PortState::Waiting;
    case PortState::Serving: return PortState::Serving;
    // The unit done is still there while something answers; only its going frees the port.
    case PortState::Served: return answered ? PortState::Served : PortState::Waiting;
    }
    return state;
}

void BenchRun::ended(BenchJob::Outcome outcome, int code, const QString &imei)
{
    m_running = std::max(0, m_running - 1);
    switch (outcome) {
    case BenchJob::Outcome::AlreadyDone: return;
    case BenchJob::Outcome::Written:
        ++m_written;
        // A unit refused or failed may be plugged in again to try once more.
        if (!imei.isEmpty())
            m_served.insert(imei);
        return;
    case BenchJob::Outcome::Refused: ++m_refused; break;
    case BenchJob::Outcome::Failed: ++m_failed; break;
    }
    m_worst = std::max(m_worst, code == ExitCode::Success ? int(ExitCode::TransferFailed) : code);
}

int BenchRun::exitStatus(bool interrupted) const
{
    if (ended() == 0)
        return interrupted ? ExitCode::Interrupted : ExitCode::NoUnit;
    return m_worst;
}

QString BenchRun::summary() const
{
    return QStringLiteral("Итог: записано и проверено %1, отказано %2, с ошибкой %3.")
        .arg(m_written)
        .arg(m_refused)
        .arg(m_failed);
}
