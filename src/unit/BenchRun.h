#pragma once
#include "unit/BenchJob.h"
#include <QSet>
#include <QString>
#include <optional>

// The bench's bookkeeping over all its ports: which units were written (one unit once, by IMEI),
// when a port may serve a unit again, how many units --count still allows, and the run's status.
class BenchRun {
public:
    // A port waits for a unit to answer; serves it; then waits for that unit to go (unplugged, or
    // no longer answering) before a unit that answers is served again.
    enum class PortState { Waiting, Serving, Served };

    // The port's state after an identification on it; answered: a unit answered.
    static PortState afterAnswer(PortState state, bool answered);

    explicit BenchRun(std::optional<int> count = std::nullopt) : m_count(count) {}

    // Whether a unit that answered on a waiting port may begin: --count counts those under way.
    bool mayBegin() const { return !m_count || ended() + m_running < *m_count; }
    void began() { ++m_running; }
    // A unit's job ended; a unit already served counts for nothing.
    void ended(BenchJob::Outcome outcome, int code, const QString &imei);
    bool served(const QString &imei) const { return m_served.contains(imei); }
    // --count units ended.
    bool complete() const { return m_count && ended() >= *m_count; }
    int running() const { return m_running; }
    int ended() const { return m_written + m_refused + m_failed; }

    // 0 when every unit was written and checked, else the worst status; 130 when the run was
    // stopped before any unit ended.
    int exitStatus(bool interrupted) const;
    // "Итог: записано и проверено 2, отказано 1, с ошибкой 0."
    QString summary() const;

private:
    std::optional<int> m_count;
    QSet<QString> m_served;
    int m_running = 0;
    int m_written = 0;
    int m_refused = 0;
    int m_failed = 0;
    int m_worst = 0;
};
