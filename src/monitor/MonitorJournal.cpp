#include "monitor/MonitorJournal.h"
#include "config/FileWriter.h"
#include "link/CsvCell.h"
#include "shell/FileDialogs.h"
#include "shell/MessageSink.h"
#include <QDir>
#include <cmath>
#include <limits>

namespace {
const QString kFilter = QStringLiteral("Журнал мониторинга (*.csv)|*.csv");
const QString kSuffix = QStringLiteral("csv");
constexpr float kNoReading = std::numeric_limits<float>::quiet_NaN();

// Rounded half to even as on the page, with the format's decimal separator; empty when undefined.
QString number(const std::optional<double> &value, int decimals, QChar decimal)
{
    if (!value || !std::isfinite(*value))
        return QString();
    const double scale = std::pow(10.0, decimals);
    QString text = QString::number(std::nearbyint(*value * scale) / scale, 'f', decimals);
    if (decimal != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimal);
    return text;
}

QString rowName(const MonitorDecoder::Layout &layout, int row)
{
    return row == MonitorReadings::kRows ? QStringLiteral("УПР") : layout[row].caption.trimmed();
}

bool rowShown(const MonitorDecoder::Layout &layout, int row)
{
    return row == MonitorReadings::kRows || layout[row].visible;
}

char stateCode(const QString &state)
{
    if (state == QLatin1String("H") || state == QLatin1String("L") || state == QLatin1String("n"))
        return char(state.at(0).unicode());
    return state == QLatin1String("err") ? 'e' : '\0';
}

QString stateText(char code)
{
    switch (code) {
    case 'H':
    case 'L':
    case 'n':
        return QString(QLatin1Char(code));
    case 'e':
        return QStringLiteral("err");
    default:
        return QString();
    }
}
}

MonitorJournal::Format MonitorJournal::spreadsheetFormat(const QLocale &locale)
{
    const QString point = locale.decimalPoint();
    const QChar decimal = point.size() == 1 ? point.at(0) : QLatin1Char('.');
    return {decimal == QLatin1Char(',') ? QLatin1Char(';') : QLatin1Char(','), decimal, true, true};
}

void MonitorJournal::setSensors(Row &row, const MonitorReadings &readings)
{
    for (int n = 1; n <= MonitorReadings::kSensors; ++n) {
        const QString text = readings.sensors[n].trimmed();
        bool ok = false;
        const double value = text.toDouble(&ok);
        // Only a reading that is a number in full is kept, with as many decimals as it came with.
        const qsizetype point = text.indexOf(QLatin1Char('.'));
        const qsizetype decimals = point < 0 ? 0 : text.size() - point - 1;
        const bool whole = ok && std::isfinite(value) && decimals <= 6;
        row.sensor[n - 1] = whole ? float(value) : kNoReading;
        row.sensorDecimals[n - 1] = qint8(whole ? decimals : 0);
    }
}

void MonitorJournal::setMeasurement(Row &row, const MonitorReadings &readings)
{
    row.measured = true;
    for (int k = 1; k <= MonitorReadings::kCounts; ++k)
        row.counts[k - 1] = readings.counts[k];
    for (int j = 1; j <= MonitorReadings::kInputs; ++j)
        row.state[j - 1] = stateCode(readings.state[j]);
}

void MonitorJournal::push(const Row &row)
{
    if (m_rows.size() >= kMaxRows)
        m_rows.removeFirst();
    m_rows.append(row);
    ++m_serial;
}

void MonitorJournal::appendFrame(const QDateTime &time, const MonitorReadings &readings, MonitorDecoder::Kind kind)
{
    if (kind == MonitorDecoder::Kind::Sensors) {
        Row pending;
        pending.time = time.toMSecsSinceEpoch();
        setSensors(pending, readings);
        m_pending = pending;
        return;
    }
    if (kind != MonitorDecoder::Kind::Measurement)
        return;
    Row row = m_pending.value_or(Row{});
    if (!m_pending)
        row.sensor.fill(kNoReading);
    m_pending.reset();
    row.time = time.toMSecsSinceEpoch();
    setMeasurement(row, readings);
    push(row);
}

void MonitorJournal::append(const QDateTime &time, const MonitorReadings &readings)
{
    Row row;
    row.time = time.toMSecsSinceEpoch();
    setMeasurement(row, readings);
    setSensors(row, readings);
    push(row);
}

void MonitorJournal::clear()
{
    m_rows.clear();
    m_serial = 0;
    m_pending.reset();
}

QStringList MonitorJournal::header(const MonitorDecoder::Layout &layout, const Format &format) const
{
    QStringList h;
    if (!m_unit.isEmpty())
        h << QStringLiteral("Устройство");
    if (format.splitTime)
        h << QStringLiteral("Дата") << QStringLiteral("Время") << QStringLiteral("мс");
    else
        h << QStringLiteral("Время");
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

QString MonitorJournal::line(const Row &row, const MonitorDecoder::Layout &layout, const Format &format) const
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(row.time);
    QStringList fields;
    if (!m_unit.isEmpty())
        fields << CsvCell::text(m_unit.trimmed());
    if (format.splitTime)
        fields << when.toString(QStringLiteral("yyyy-MM-dd")) << when.toString(QStringLiteral("HH:mm:ss"))
               << when.toString(QStringLiteral("zzz"));
    else
        fields << when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + format.decimal + when.toString(QStringLiteral("zzz"));
    MonitorReadings values;
    if (row.measured) {
        for (int k = 1; k <= MonitorReadings::kCounts; ++k)
            values.counts[k] = row.counts[k - 1];
        MonitorDecoder::measure(values);
    }
    for (int i = 1; i <= MonitorReadings::kRows; ++i) {
        if (!rowShown(layout, i))
            continue;
        fields << number(values.voltValue[i], 2, format.decimal) << number(values.percentValue[i], 0, format.decimal);
        if (i <= MonitorReadings::kInputs)
            fields << stateText(row.state[i - 1]);
    }
    fields << number(values.batteryValue, 2, format.decimal) << number(values.supplyValue, 2, format.decimal)
           << number(values.cpuValue, 2, format.decimal);
    for (int n = 0; n < MonitorReadings::kSensors; ++n) {
        const float t = row.sensor[n];
        fields << (std::isfinite(t) ? number(double(t), row.sensorDecimals[n], format.decimal) : QString());
    }
    for (QString &field : fields)
        field = CsvCell::quoted(field, format.separator);
    return fields.join(format.separator);
}

QByteArray MonitorJournal::headerLine(const MonitorDecoder::Layout &layout, const Format &format) const
{
    QStringList head = header(layout, format);
    for (QString &field : head)
        field = CsvCell::quoted(CsvCell::text(field), format.separator);
    return (head.join(format.separator) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray MonitorJournal::lines(qint64 first, bool pending, const MonitorDecoder::Layout &layout,
                                 const Format &format) const
{
    QString out;
    for (qint64 i = qMax(first, dropped()); i < m_serial; ++i)
        out += line(m_rows.at(qsizetype(i - dropped())), layout, format) + QStringLiteral("\r\n");
    if (pending && m_pending)
        out += line(*m_pending, layout, format) + QStringLiteral("\r\n");
    return out.toUtf8();
}

QByteArray MonitorJournal::csv(const MonitorDecoder::Layout &layout, const Format &format) const
{
    return (format.byteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + headerLine(layout, format)
        + lines(0, true, layout, format);
}

bool MonitorJournal::save(FileDialogs &dialogs, MessageSink &messages, const MonitorDecoder::Layout &layout,
                          const Format &format, const QString &folder, const QDateTime &now) const
{
    if (size() == 0) {
        messages.show(kEmpty);
        return false;
    }
    FileDialogRequest request;
    request.initialFolder = folder.isEmpty() ? QString() : QDir(folder).absolutePath() + QLatin1Char('/');
    request.filter = kFilter;
    request.defaultSuffix = kSuffix;
    request.defaultName = defaultName(now);
    const std::optional<QString> name = dialogs.saveFileName(request);
    if (!name || name->isEmpty())
        return false;
    // All or nothing: a half-written journal would pass for a short one.
    FileWriter file(*name);
    if (!file.writeWhole(csv(layout, format))) {
        messages.show(kSaveFailed + *name + QLatin1Char('\n') + file.explanation());
        return false;
    }
    return true;
}

QString MonitorJournal::defaultName(const QDateTime &now) const
{
    QString name = QStringLiteral("Мониторинг ");
    // Only what a file name may hold on either system.
    QString unit = m_unit.trimmed();
    static const QString kBad = QStringLiteral("\\/:*?\"<>|");
    for (QChar &c : unit)
        if (kBad.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    if (!unit.isEmpty())
        name += unit + QLatin1Char(' ');
    return name + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}
