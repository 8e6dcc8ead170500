#pragma once
#include "unit/LineDrain.h"
#include "unit/UnitJob.h"
#include "unit/UnitReport.h"
#include <QTimer>
#include <optional>

// Who answers on a port: the line is read away until it is quiet (a unit may still be sending
// the rest of an interrupted reply), then "#4000" asks the unit's name. A unit that says nothing
// may be inside a write someone gave up: after its own give-up time it is asked once more.
// Success leaves the port open with the unit named; otherwise the port's outcome says why.
class IdentifyJob : public UnitJob {
    Q_OBJECT
public:
    IdentifyJob(UnitSession &unit, UnitMessages &messages, int port, QObject *parent = nullptr);

    void start() override;
    // One 50 ms read of the drain; a timer calls it unless the pace is the caller's (tests).
    void poll();
    void setManualPacing(bool manual) { m_manual = manual; }

    int port() const { return m_port; }
    // The unit's name without its padding, once it answered.
    QString unitName() const { return m_name; }
    // Why no unit answered.
    const UnitReport::PortOutcome &outcome() const { return m_outcome; }

    // "устройство ещё передаёт: 5120 байт…"
    inline static const QString kStillSending = QStringLiteral("устройство ещё передаёт: ");
    static QString stillSendingNote(qint64 bytes);
    static bool isStillSendingNote(const QString &stage);

private:
    void drain(int quietPolls);
    void ask();
    void answered();

    int m_port;
    bool m_manual = false;
    bool m_retried = false;
    QTimer m_timer;
    std::optional<LineDrain> m_drain;
    QString m_name;
    UnitReport::PortOutcome m_outcome;
};
