#pragma once
#include "config/ConfigImage.h"
#include "monitor/MonitorDecoder.h"
#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <optional>

class DeviceInfo;
class UnitSession;

// Everything a commissioning report tells of one unit, gathered without widgets: the unit as the
// page "Информация об устройстве" shows it, its configuration, and, when the report is made at a
// unit, the monitoring readings and their trend and the last write's read-back.
struct CommissioningData {
    struct Row {
        QString caption;
        QString value;
        bool flagged = false;   // the page shows it red
        QString rule;           // the rule the red value breaks
    };
    // A frame of the device information page, or a settings page.
    struct Section {
        QString title;
        QList<Row> rows;
    };
    // One decoded monitoring reply: a measurement frame gives the voltages, a sensor frame the
    // temperatures (index 1..6).
    struct Sample {
        QDateTime time;
        std::optional<double> battery, supply;
        std::array<std::optional<double>, MonitorReadings::kSensors + 1> sensors{};
    };

    QDateTime when;
    QString source;                  // "COM1" or the .cf file the report was made from
    QString unitName;                // the identified name; empty from a file
    QList<Section> unit;             // the device information frames
    ConfigImage image;
    QString settingsOrigin;          // where the settings shown come from, in a few words
    QString settingsWarning;         // why they may not be what the unit holds; empty when they are
    bool live = false;               // readings and trend below come from the unit
    MonitorReadings readings;
    MonitorDecoder::Layout layout = MonitorDecoder::designLayout();
    QList<Sample> trend;
    QString noReadings;              // why there are no readings, when live is false
    QString readBack;                // the last write's read-back result; empty when none in this run

    // The device information page's frames and rows from a filled DeviceInfo.
    static QList<Section> deviceSections(const DeviceInfo &info);
    // Every settings page in navigation order with its fields as the page shows them.
    static QList<Section> settingsPages(const ConfigImage &image);
    // What a reply added to the trend.
    static Sample sample(const QDateTime &time, const MonitorReadings &readings, MonitorDecoder::Kind kind);
    // The unit as a session holds it now: device information filled from its image and name, the
    // readings when its monitoring is live.
    static CommissioningData fromUnit(UnitSession &unit, const QDateTime &when);
    // Where an image's settings come from, and why they may not be what the unit holds (edits not
    // written, a read that did not complete).
    static QString originOf(const ConfigImage &image);
    static QString warningFor(const ConfigImage &image);
    // "<unit> <date>.pdf", the unit's name made safe for a file name.
    static QString defaultFileName(const QString &unitName, const QDate &date);
};
