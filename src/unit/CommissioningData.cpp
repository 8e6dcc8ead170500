#include "unit/CommissioningData.h"
#include "devinfo/DeviceInfo.h"
#include "editors/ConfigFields.h"
#include "editors/FieldMaps.h"
#include "link/SerialLink.h"
#include "monitor/MonitorExchange.h"
#include "unit/SafeFileName.h"
#include "unit/UnitSession.h"

namespace {
const QString kFlagOn = QStringLiteral("да");
const QString kFlagOff = QStringLiteral("нет");
}

QList<CommissioningData::Section> CommissioningData::deviceSections(const DeviceInfo &info)
{
    const QList<QPair<QString, QList<int>>> frames{
        {QStringLiteral("Общие"), DeviceInfo::generalIndexes()},
        {QStringLiteral("Электронные ключи Touch Memory"), DeviceInfo::keyIndexes()},
        {QStringLiteral("Выносные датчики температуры"), DeviceInfo::sensorIndexes()},
        {QStringLiteral("Блоки аппаратного расширения"), DeviceInfo::blockIndexes()},
    };
    QList<Section> sections;
    for (const auto &[title, indexes] : frames) {
        Section section{title, {}};
        for (const int index : indexes)
            section.rows << Row{DeviceInfo::caption(index), info.value(index), false, QString()};
        sections << section;
    }
    return sections;
}

QList<CommissioningData::Section> CommissioningData::settingsPages(const ConfigImage &image)
{
    const QList<QPair<QString, qsizetype>> pages{
        {QStringLiteral("Базовые настройки (из памяти контроллера)"), FieldMaps::basicSettings().size()},
        {QStringLiteral("Базовые настройки (с SIM-карты)"), FieldMaps::simSettings().size()},
        {QStringLiteral("Входы"), FieldMaps::inputThresholds().size()},
    };
    ConfigImage copy = image;   // the fields read through the editors' routines, which take it writable
    const QList<ConfigFields::Value> values = ConfigFields(copy).values();
    QList<Section> sections;
    qsizetype at = 0;
    for (const auto &[title, count] : pages) {
        Section section{title, {}};
        for (const ConfigFields::Value &v : values.mid(at, count)) {
            QString text = v.text;
            // A tick box shows its state, not the digit behind it.
            if (v.field->kind == FieldKind::Flag && v.hasData && !v.flagged)
                text = text == QLatin1String("1") ? kFlagOn : kFlagOff;
            section.rows << Row{v.field->name, text, v.flagged, v.reason};
        }
        at += count;
        sections << section;
    }
    return sections;
}

CommissioningData::Sample CommissioningData::sample(const QDateTime &time, const MonitorReadings &readings,
                                                    MonitorDecoder::Kind kind)
{
    Sample s;
    s.time = time;
    if (kind == MonitorDecoder::Kind::Measurement) {
        s.battery = readings.batteryValue;
        s.supply = readings.supplyValue;
    } else if (kind == MonitorDecoder::Kind::Sensors) {
        for (int n = 1; n <= MonitorReadings::kSensors; ++n)
            if (readings.sensors[n] != MonitorReadings::kDesignText)
                s.sensors[n] = MonitorDecoder::leadingNumber(readings.sensors[n].trimmed());
    }
    return s;
}

CommissioningData CommissioningData::fromUnit(UnitSession &unit, const QDateTime &when)
{
    CommissioningData data;
    data.when = when;
    data.unitName = unit.link().deviceName().trimmed();
    if (unit.link().isOpen())
        data.source = QStringLiteral("COM%1").arg(unit.link().UsbComPortNumber);
    // A fill of its own, so the page's published values stay as they are.
    DeviceInfo info(unit.image(), unit.link());
    info.fill();
    data.unit = deviceSections(info);
    data.image = unit.image();
    data.settingsOrigin = originOf(data.image);
    data.settingsWarning = warningFor(data.image);
    const MonitorExchange &monitor = unit.monitorExchange();
    data.live = monitor.readingsLive();
    if (data.live) {
        data.readings = monitor.readings();
        data.layout = monitor.layout();
    } else {
        data.noReadings = QStringLiteral("Мониторинг не запущен: показаний нет.");
    }
    return data;
}

QString CommissioningData::originOf(const ConfigImage &image)
{
    const QString time = image.sourceTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    switch (image.origin()) {
    case ConfigImage::Origin::Unit:
        return QStringLiteral("прочитаны из устройства %1 %2").arg(image.sourceUnit().trimmed(), time);
    case ConfigImage::Origin::File:
        return QStringLiteral("загружены из файла %1").arg(time);
    case ConfigImage::Origin::None:
        break;
    }
    return QStringLiteral("не прочитаны");
}

QString CommissioningData::warningFor(const ConfigImage &image)
{
    if (image.isPartial())
        return QStringLiteral("Чтение конфигурации не завершено: часть значений может быть от прежнего устройства.");
    if (image.isChanged())
        return QStringLiteral("Есть изменения, ещё не записанные в устройство: устройство хранит другие значения.");
    return QString();
}

QString CommissioningData::defaultFileName(const QString &unitName, const QDate &date)
{
    const QString name = unitName.trimmed().isEmpty() ? QStringLiteral("Отчёт") : SafeFileName::of(unitName.trimmed());
    return name + QLatin1Char(' ') + date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".pdf");
}
