#include "cli/Output.h"
#include "devinfo/DeviceInfo.h"
#include "unit/ExitCode.h"
#include "unit/UnitReport.h"
#include <QMap>
#include <algorithm>

namespace {
// Fields of the device information page that find shows, in this order.
const QList<int> kFindFields = {1, 6, 5, 7, 4};
constexpr int kNameField = 1;
constexpr int kVersionField = 7;

QString orNoData(const QString &value)
{
    return value.trimmed().isEmpty() ? DeviceInfo::kNoData : value;
}

QJsonValue jsonText(const QString &value)
{
    return value == DeviceInfo::kNoData ? QJsonValue() : QJsonValue(value);
}
}

Output::Output(bool terminal, bool quiet, Writer out, Writer err)
    : m_terminal(terminal), m_quiet(quiet), m_out(std::move(out)), m_err(std::move(err)), m_progress(terminal, quiet, m_err)
{
}

void Output::fail(const QString &text)
{
    m_progress.end();
    err(text + QLatin1Char('\n'));
}

void Output::say(const QString &text)
{
    if (m_quiet)
        return;
    m_progress.end();
    err(text + QLatin1Char('\n'));
}

QString Output::progressLine(const UnitState &unit)
{
    QString line = QStringLiteral("COM%1  %2").arg(unit.port, -3).arg(
        unit.name.isEmpty() ? QStringLiteral("…") : ShownText::escaped(unit.name), -16);
    if (unit.done)
        return line + QStringLiteral("  ") + ShownText::escaped(unit.result);
    if (unit.counted)
        line += QStringLiteral("  ") + ProgressReporter::bar(unit.counted->first, unit.counted->second, 20)
            + QStringLiteral(" %1/%2").arg(unit.counted->first).arg(unit.counted->second);
    QString stage = unit.stage;
    if (!stage.isEmpty())
        stage[0] = stage[0].toLower();
    return line + QStringLiteral("  ") + ShownText::escaped(stage);
}

void Output::draw(const QList<UnitState> &units, bool final)
{
    if (m_quiet || !m_terminal) {
        if (m_quiet || final)
            return;
        // Plain lines: a unit's stage when it changes, and each further tenth of a transfer.
        for (const UnitState &unit : units) {
            if (unit.done)
                continue;
            const int tenth = unit.counted && unit.counted->second > 0
                ? int(unit.counted->first * 10 / unit.counted->second)
                : -1;
            const QString key = unit.stage + QLatin1Char('#') + QString::number(tenth);
            if (m_shown.value(unit.port) != key) {
                m_shown.insert(unit.port, key);
                m_err(progressLine(unit) + QLatin1Char('\n'));   // escaped already
            }
        }
        return;
    }
    // A terminal: one line per unit, redrawn in place.
    QString text;
    if (m_drawnLines > 0)
        text += QStringLiteral("\x1b[%1A").arg(m_drawnLines);
    for (const UnitState &unit : units)
        text += QStringLiteral("\r\x1b[2K") + progressLine(unit) + QLatin1Char('\n');
    m_drawnLines = int(units.size());
    m_err(text);
}

void Output::ended(const UnitState &unit)
{
    if (!m_terminal && !m_quiet)
        m_err(progressLine(unit) + QLatin1Char('\n'));
}

QString Output::resultText(int code)
{
    switch (code) {
    case ExitCode::Success: return QStringLiteral("успешно");
    case ExitCode::NoUnit: return QStringLiteral("устройство не обнаружено");
    case ExitCode::BadFile: return QStringLiteral("ошибка файла");
    case ExitCode::TransferFailed: return QStringLiteral("ошибка передачи");
    case ExitCode::VerifyMismatch: return QStringLiteral("проверка не пройдена");
    case ExitCode::SideFileFailed: return QStringLiteral("выполнено, копия не сохранена");
    case ExitCode::Interrupted: return QStringLiteral("прервано");
    default: return QStringLiteral("ошибка %1").arg(code);
    }
}

QString Output::table(const QList<Row> &rows)
{
    const QStringList head{QStringLiteral("Порт"), QStringLiteral("Устройство"), QStringLiteral("Результат"),
                           QStringLiteral("с")};
    QList<QStringList> cells{head};
    for (const Row &row : rows)
        cells << QStringList{QStringLiteral("COM%1").arg(row.port),
                             row.unit.isEmpty() ? QStringLiteral("—") : ShownText::escaped(row.unit),
                             ShownText::escaped(row.result), QString::number(row.seconds, 'f', 1)};
    QList<int> widths(head.size(), 0);
    for (const QStringList &line : cells)
        for (int i = 0; i < line.size() - 1; ++i)
            widths[i] = std::max(widths[i], int(line.at(i).size()));
    QString text;
    for (const QStringList &line : cells) {
        QString out;
        for (int i = 0; i < line.size(); ++i)
            out += i + 1 < line.size() ? line.at(i).leftJustified(widths.at(i)) + QStringLiteral("  ") : line.at(i);
        text += out + QLatin1Char('\n');
    }
    return text;
}

QString Output::details(const QList<Row> &rows, bool quiet)
{
    const auto noUnit = [](const Row &row) { return row.code == ExitCode::NoUnit && row.unit.isEmpty(); };
    if (!rows.isEmpty() && std::all_of(rows.cbegin(), rows.cend(), noUnit)) {
        QStringList tried;
        QStringList problems;
        QMap<PortProblem::Kind, QString> advice;   // once per kind of trouble
        for (const Row &row : rows) {
            tried << QString::number(row.port);
            if (!row.detail.isEmpty())
                problems << row.detail;
            if (!advice.contains(row.fault))
                advice.insert(row.fault, row.advice);
        }
        return UnitReport::noUnitText(tried, problems, advice) + QLatin1Char('\n');
    }
    QString text;
    for (const Row &row : rows) {
        const QString unit = row.unit.isEmpty() ? QStringLiteral("COM%1: ").arg(row.port)
                                                : QStringLiteral("COM%1 %2: ").arg(row.port).arg(ShownText::escaped(row.unit));
        for (const QString &warning : row.warnings)
            text += unit + warning + QLatin1Char('\n');
        if (row.detail.isEmpty())
            continue;
        // A port's problem names its port already; while units answered elsewhere it is a note.
        if (noUnit(row)) {
            if (!quiet)
                text += row.detail + QLatin1Char('\n');
            continue;
        }
        text += unit + row.detail + QLatin1Char('\n');
    }
    return text;
}

QJsonObject Output::unitJson(int port, const QString &device, const QString &name, const DeviceInfo &info,
                             bool complete)
{
    QJsonObject unit;
    unit.insert(QStringLiteral("port"), port);
    unit.insert(QStringLiteral("device"), device);
    unit.insert(QStringLiteral("name"), name);
    unit.insert(QStringLiteral("model"), jsonText(info.value(6)));
    unit.insert(QStringLiteral("inputs"), info.KolichestvoVhodov ? QJsonValue(*info.KolichestvoVhodov) : QJsonValue());
    unit.insert(QStringLiteral("coreVersion"), jsonText(info.VersiaJadra));
    unit.insert(QStringLiteral("firmwareVersion"), jsonText(info.VersiaProshivki));
    unit.insert(QStringLiteral("imei"), jsonText(info.value(4)));
    if (!complete)
        unit.insert(QStringLiteral("configurationRead"), false);
    return unit;
}

QString Output::unitText(int port, const QString &device, const DeviceInfo &info, bool complete)
{
    QString text = QStringLiteral("COM%1 (%2)\n").arg(port).arg(device);
    const auto line = [&text](const QString &caption, const QString &value) {
        text += QStringLiteral("  ") + caption + QLatin1Char(' ') + value + QLatin1Char('\n');
    };
    for (const int field : kFindFields) {
        if (field == kVersionField) {
            // The page shows "core / firmware" under one caption; here each is named, as in JSON.
            line(QStringLiteral("Версия ядра:"), orNoData(info.VersiaJadra));
            line(QStringLiteral("Версия прошивки:"), orNoData(info.VersiaProshivki));
        } else {
            line(DeviceInfo::caption(field),
                 ShownText::escaped(field == kNameField ? info.value(field).trimmed() : info.value(field)));
        }
    }
    if (!complete)
        text += QStringLiteral("  Остальное не прочитано: конфигурация устройства не прочитана.\n");
    return text;
}

QString Output::speedHint(int speed, const QStringList &offered, bool backup)
{
    // Nothing says which speeds a unit takes, so the hint leaves it to how the unit is set.
    if (speed != 9600 || !offered.contains(QStringLiteral("115200")))
        return QString();
    return QStringLiteral("Прошивка передаётся на скорости 9600 бод; на 115200 бод это заняло бы около десятой части "
                          "времени: если устройство настроено на 115200, укажите --speed 115200.")
           + (backup ? QStringLiteral(" Чтение прошивки в резервную копию (--backup) на 9600 бод займёт ещё около 66 с.")
                     : QString());
}

