#pragma once
#include "cli/CliOptions.h"
#include "link/PortProblem.h"
#include "monitor/MonitorDecoder.h"
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class CliUnit;
class ProgressReporter;
class StderrMessageSink;
class ConfigImage;
class QDateTime;
class SerialLink;
class DeviceInfo;
class ProgramSettings;

// What each command of tarviks-cli does with a session, and the exit status it ends with.
class CliCommands {
public:
    using Writer = std::function<void(const QString &text)>;

    // A difference found by --verify between what was written and what the unit returned.
    struct Mismatch {
        int count = 0;        // positions that differ
        int first = 0;        // first of them, 1-based; 0 when none
        int unitByte = -1;    // the unit's byte there (-1: no data)
        int fileByte = -1;
    };
    // The unit's byte at a 1-based position, -1 when there is none.
    using ByteAt = std::function<int(int position)>;
    // Compares the unit's bytes 1..n with the file's blocks, n being all the blocks hold.
    static Mismatch compare(const ByteAt &unit, const QList<QByteArray> &blocks);
    static Mismatch compare(const ConfigImage &image, const QList<QByteArray> &blocks);
    static QString mismatchText(const Mismatch &mismatch, int total);

    // Monitoring ends after this many polls in a row without a frame.
    static constexpr int kMaxFailedPolls = 5;
    // One decoded frame as a line: the time, then the visible inputs, "УПР" and the three supply
    // voltages of a measurement frame, or the six sensors of a sensor frame.
    static QString frameLine(const MonitorReadings &readings, const MonitorDecoder::Layout &layout, bool measurement,
                             const QDateTime &time);

    // What find tells of a unit: a JSON object, or lines of text; without a complete configuration
    // read (complete false), what is known and that the rest could not be read.
    static QJsonObject unitJson(int port, SerialLink &link, const DeviceInfo &info, bool complete = true);
    static QString unitText(int port, SerialLink &link, const DeviceInfo &info, bool complete = true);
    // "Устройство не обнаружено!" with the ports tried, each port's problem and the advice once per
    // kind of trouble, as lines.
    static QString noUnitText(const QStringList &tried, const QStringList &problems,
                              const QMap<PortProblem::Kind, QString> &advice);

    // A firmware transfer at 9600 baud: one line on how to move it in about a tenth of the time,
    // when the program offers 115200; empty otherwise.
    static QString speedHint(int speed, const QStringList &offered);
    // The speeds --speed accepts: the program's own list and the speeds TX.cfg adds.
    static QStringList offeredSpeeds(const ProgramSettings &settings);

    CliCommands(CliUnit &session, const CliOptions &options, ProgressReporter &progress, Writer out,
                Writer err);
    int run();
    // The messages the exchanges showed, so a failure's reason is told once and in detail.
    void setMessageLog(const StderrMessageSink *log) { m_log = log; }
    // The speeds --speed accepts.
    void setOfferedSpeeds(const QStringList &speeds) { m_offeredSpeeds = speeds; }

private:
    int find();
    int readConfig();
    int writeConfig();
    int readFirmware();
    int writeFirmware();
    int monitor();

    // Reads the configuration into the image and fills the device information from it; false
    // (the reason on stderr) when the read failed. Interrupted is reported through the flag.
    bool readUnitInfo(int port);
    // show and diff: connects, reads the unit's configuration and copies it into image.
    int readUnitImage(ConfigImage &image);
    // The window's rule for firmware transfers: the unit must report a firmware version.
    int checkFirmwareVersion();
    // The progress of a firmware transfer begins; at a slow speed, first the hint of a faster one.
    void beginFirmwareProgress(const QString &caption);
    // The firmware transfer running under tag, waited for; Success, Interrupted or TransferFailed.
    int waitFirmware(const QString &tag);

    // Identifies a unit on the candidate ports; NoUnit (with the reason on stderr) when none answers.
    // exclusive (commands that change a unit): without --port, refuses when more than one answers.
    int connectUnit(bool exclusive = false);
    int connectOnlyUnit(int first);
    // Where the message log stands now; the generic count message shown since a mark.
    int logMark() const;
    // noUnitText on stderr; NoUnit.
    int reportNoUnit(const QStringList &tried, const QStringList &problems,
                     const QMap<PortProblem::Kind, QString> &advice);
    bool countMessageSince(int mark) const;
    void say(const QString &text);   // informational, silenced by --quiet
    void fail(const QString &text);  // always shown

    CliUnit &m_session;
    const CliOptions &m_options;
    ProgressReporter &m_progress;
    Writer m_out;
    Writer m_err;
    const StderrMessageSink *m_log = nullptr;
    QStringList m_offeredSpeeds;
};
