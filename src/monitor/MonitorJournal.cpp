#include "monitor/MonitorJournal.h"
#include "shell/FileDialogs.h"
#include "shell/MessageSink.h"
#include <QDir>
#include <QSaveFile>
#include <cmath>
#include <limits>

namespace {
const QString kFilter = QStringLiteral("Журнал мониторинга (*.csv)|*.csv");
const QString kSuffix = QStringLiteral("csv");

double orNan(const std::optional<double> &value)
{
    return value ? *value : std::numeric_limits<double>::quiet_NaN();
}

// Numbers with "." whatever the locale, so the file reads the same everywhere; empty when undefined.
QString number(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QString();
}

QString quoted(const QString &field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) && !field.contains(QLatin1Char('\n'))
        && !field.contains(QLatin1Char('\r')))
        return field;
    QString copy = field;
    return QLatin1Char('"') + copy.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString rowName(const MonitorDecoder::Layout &layout, int row)
{
    return row == MonitorReadings::kRows ? QStringLiteral("УПР") : layout[row].caption.trimmed();
}

bool rowShown(const MonitorDecoder::Layout &layout, int row)
{
    return row == MonitorReadings::kRows || layout[row].visible;
}
}

void MonitorJournal::append(const QDateTime &time, const MonitorReadings &readings)
{
    Row row;
    row.time = time;
    for (int i = 0; i <= MonitorReadings::kRows; ++i) {
        row.volt[i] = orNan(readings.voltValue[i]);
        row.percent[i] = orNan(readings.percentValue[i]);
    }
    for (int j = 1; j <= MonitorReadings::kInputs; ++j)
        row.state[j] = readings.state[j] == MonitorReadings::kDesignText ? QString() : readings.state[j];
    row.battery = orNan(readings.batteryValue);
    row.supply = orNan(readings.supplyValue);
    row.cpu = orNan(readings.cpuValue);
    for (int n = 1; n <= MonitorReadings::kSensors; ++n)
        row.sensors[n] = readings.sensors[n] == MonitorReadings::kDesignText ? QString() : readings.sensors[n];
    if (m_rows.size() >= kMaxRows)
        m_rows.removeFirst();
    m_rows.append(row);
}

QStringList MonitorJournal::header(const MonitorDecoder::Layout &layout) const
{
    QStringList h{QStringLiteral("Время")};
    for (int i = 1; i <= MonitorReadings::kRows; ++i) {
        if (!rowShown(layout, i))
            continue;
        const QString name = QStringLiteral("Вход ") + rowName(layout, i);
        h << name + QStringLiteral(" Вольт") << name + QStringLiteral(" %");
        if (i <= MonitorReadings::kInputs)
            h << name + QStringLiteral(" Сост.");
    }
    h << QStringLiteral("Аккумулятор Вольт") << QStringLiteral("Блок питания Вольт") << QStringLiteral("Процессор Вольт");
    for (int n = 1; n <= MonitorReadings::kSensors; ++n)
        h << QStringLiteral("T%1").arg(n);
    return h;
}

QByteArray MonitorJournal::csv(const MonitorDecoder::Layout &layout) const
{
    QString out = header(layout).join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const Row &row : m_rows) {
        QStringList fields{row.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))};
        for (int i = 1; i <= MonitorReadings::kRows; ++i) {
            if (!rowShown(layout, i))
                continue;
            fields << number(row.volt[i], 2) << number(row.percent[i], 0);
            if (i <= MonitorReadings::kInputs)
                fields << row.state[i];
        }
        fields << number(row.battery, 2) << number(row.supply, 2) << number(row.cpu, 2);
        for (int n = 1; n <= MonitorReadings::kSensors; ++n)
            fields << row.sensors[n];
        for (QString &field : fields)
            field = quoted(field);
        out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

bool MonitorJournal::save(FileDialogs &dialogs, MessageSink &messages, const MonitorDecoder::Layout &layout,
                          const QString &folder, const QDateTime &now) const
{
    if (m_rows.isEmpty()) {
        messages.show(kEmpty);
        return false;
    }
    FileDialogRequest request;
    request.initialFolder = folder.isEmpty() ? QString() : QDir(folder).absolutePath() + QLatin1Char('/');
    request.filter = kFilter;
    request.defaultSuffix = kSuffix;
    request.defaultName = QStringLiteral("Мониторинг ") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const std::optional<QString> name = dialogs.saveFileName(request);
    if (!name || name->isEmpty())
        return false;
    // All or nothing: a half-written journal would pass for a short one.
    QSaveFile file(*name);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv(layout)) < 0 || !file.commit()) {
        messages.show(kSaveFailed + file.errorString());
        return false;
    }
    return true;
}
