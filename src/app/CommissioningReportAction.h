#pragma once
#include "unit/CommissioningData.h"
#include <QObject>
#include <QString>

class UnitSession;

// "Отчёт о настройке…" of the menu "Устройство": the commissioning report of the unit the window
// holds, saved where the user chooses. It only reads what the pages and the monitoring show and
// keeps the monitoring's samples for the trend; it changes no control of any page.
class CommissioningReportAction : public QObject {
    Q_OBJECT
public:
    static constexpr int kTrendSeconds = 10 * 60;   // as long as the monitoring page's trend
    inline static const QString kFilter = QStringLiteral("Отчёт PDF (*.pdf)|*.pdf");

    CommissioningReportAction(UnitSession &unit, QString folder, QObject *parent = nullptr);

    // Asks for the file and writes the report; a file that cannot be written is told in a box.
    void run();
    // The last write's read-back in this run, shown in the next report; empty: none.
    void setReadBack(const QString &text) { m_readBack = text; }

private:
    void sampled(const QDateTime &time);

    UnitSession &m_unit;
    QString m_folder;
    QString m_readBack;
    QList<CommissioningData::Sample> m_trend;
};
