#pragma once
// What the command line tells of one unit's outcome, as whole sentences: why a port had no unit,
// which way a transfer failed (with its counts), and what the unit and the file are left with.
// Every job says the same, whether it runs alone or in a batch (--all).
#include "link/PortProblem.h"
#include <QMap>
#include <QString>
#include <QStringList>

class ConfigExchange;
class ConfigFileTransfer;
class FirmwareExchange;
class SerialLink;

namespace UnitReport {

// A unit goes on with a reply it has begun; the next command finds it busy until then.
extern const QString kStillSending;
// What went wrong with an exchange that did not end in its success state.
QString transferProblem(SerialLink &link);
// "Устройство не обнаружено!" with the ports tried, each port's problem and the advice once per
// kind of trouble, as lines.
QString noUnitText(const QStringList &tried, const QStringList &problems,
                   const QMap<PortProblem::Kind, QString> &advice);

// Why identification on a port found no unit; taken while the port is still as the attempt left it.
struct PortOutcome {
    // "Com1 = /dev/pts/3: нет ответа на запрос опознания."
    QString problem;
    // The same in a few words, for a table: "нет ответа на запрос опознания", "порт занят другой программой".
    QString reason;
    // What to do about it; may be empty.
    QString advice;
    PortProblem::Kind fault = PortProblem::Kind::None;
};
PortOutcome portOutcome(int port, SerialLink &link, const QString &programFolder);

// "Ошибка при чтении конфигурации! Устройство не ответило: получено 0 из 2370 байт." for the
// configuration read behind find and the firmware commands.
QString infoReadFailure(SerialLink &link, bool countShown, const ConfigExchange &exchange);
// read-config into file; ends with what the file is left with.
QString configCopyFailure(SerialLink &link, bool countShown, const ConfigFileTransfer &transfer,
                          const QString &file);
// write-config; ends with what the unit is left with.
QString configLoadFailure(SerialLink &link, bool countShown, const ConfigFileTransfer &transfer);
// The same for a write of the image (bench): its blocks sent and acknowledged, its bytes sent.
QString configWriteFailure(SerialLink &link, bool countShown, const ConfigExchange &exchange);
// The read-back of write-config --verify.
QString configVerifyFailure(SerialLink &link, bool countShown, const ConfigExchange &exchange);
// read-firmware into file.
QString firmwareReadFailure(SerialLink &link, bool countShown, const FirmwareExchange &firmware,
                            const QString &file);
// write-firmware.
QString firmwareWriteFailure(SerialLink &link, bool countShown, const FirmwareExchange &firmware);

// A firmware command that stopped before the firmware transfer.
extern const QString kFirmwareUntouched;
// The unit reports no firmware version, so the window would offer no firmware operations.
QString firmwareUnavailable(const QString &version);
extern const QString kConfigVerifySkipped;
extern const QString kFirmwareVerifySkipped;

// "Файл X не изменён." or "Файл X не создан."
QString fileUntouched(const QString &file);

// What Ctrl+C left: a search, a read into file, a write with sent bytes gone out.
extern const QString kSearchInterrupted;
extern const QString kConfigVerifyInterrupted;
extern const QString kFirmwareVerifyInterrupted;
QString readInterrupted(bool firmware, const QString &file);
QString configWriteInterrupted(int sent);
QString firmwareWriteInterrupted(int sent);

}
