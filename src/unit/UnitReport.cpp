#include "unit/UnitReport.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigImage.h"
#include "firmware/FirmwareExchange.h"
#include "firmware/FirmwareFile.h"
#include "link/PortNumbering.h"
#include "link/RussianCount.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/TransferReport.h"
#include <QFileInfo>

namespace UnitReport {

namespace {
const QString kNoAnswer = QStringLiteral("нет ответа на запрос опознания");
const QString kNotAUnit = QStringLiteral("ответ не от устройства ЗОРГЕЛ");
const QString kTooLong = QStringLiteral("ответ на запрос опознания длиннее ожидаемого");

// The routine's generic count message gives way to the counts; any other end is the link's loss
// or the final tag.
QString failure(SerialLink &link, bool countShown, const QString &what, const QString &detail)
{
    if (countShown)
        return what + QLatin1Char(' ') + detail;
    return transferProblem(link);
}

QString partialConfig(int sent)
{
    return QStringLiteral(
               "Передано %1 из %2 байт: конфигурация в устройстве может быть записана не полностью, повторите запись.")
        .arg(sent)
        .arg(ConfigImage::kMemorySize);
}
}

const QString kStillSending =
    QStringLiteral(" Устройство может ещё некоторое время передавать остаток данных.");

QString transferProblem(SerialLink &link)
{
    // Cut off by a lost line: said so, with the reason in Russian rather than the system's words.
    if (!link.isOpen() && link.lineLost())
        return QStringLiteral("Связь с устройством потеряна. ") + link.lossReason();
    if (link.RPF_02VektorPriemaIsPorta.isEmpty()) {
        QString text = QStringLiteral("Связь с устройством потеряна");
        if (!link.connectionError().isEmpty())
            text += QStringLiteral(": ") + link.connectionError();
        if (!link.connectionErrorToolTip().isEmpty())
            text += QStringLiteral(" (") + link.connectionErrorToolTip() + QLatin1Char(')');
        return text + QLatin1Char('.');
    }
    return link.RPF_02VektorPriemaIsPorta + QLatin1Char('!');
}

QString noUnitText(const QStringList &tried, const QStringList &problems, const QMap<PortProblem::Kind, QString> &advice)
{
    QStringList lines{
        QStringLiteral("Устройство не обнаружено! Проверены порты: %1.").arg(tried.join(QStringLiteral(", ")))};
    lines << problems;
    for (const QString &text : advice)
        if (!text.isEmpty())
            lines << text;
    return lines.join(QLatin1Char('\n'));
}

const QString kFirmwareUntouched =
    QStringLiteral("Прошивка в устройстве не затронута: команда остановилась на чтении конфигурации.");
const QString kConfigVerifySkipped = QStringLiteral("Конфигурация записана, проверка не выполнена.");
const QString kFirmwareVerifySkipped = QStringLiteral("Прошивка записана, проверка не выполнена.");
const QString kSearchInterrupted = QStringLiteral("Прервано: поиск устройства остановлен, обмена с устройством не было.");
const QString kConfigVerifyInterrupted = QStringLiteral("Прервано: конфигурация записана, проверка не выполнена.");
const QString kFirmwareVerifyInterrupted = QStringLiteral("Прервано: прошивка записана, проверка не выполнена.");

PortOutcome portOutcome(int port, SerialLink &link, const QString &programFolder)
{
    PortOutcome outcome;
    const SerialPort &serial = link.port();
    if (!link.isOpen() && link.RPF_02ComError != 0) {
        outcome.fault = serial.lastFault();
        outcome.problem =
            PortProblem::describe(port, serial.deviceFor(port), link.RPF_02ComError, serial.lastErrorText());
        outcome.reason = PortProblem::reason(outcome.fault);
        if (outcome.reason.isEmpty())
            outcome.reason = QStringLiteral("Error %1").arg(link.RPF_02ComError);
        outcome.advice = PortProblem::advice(port, outcome.fault, PortNumbering(programFolder).portsFolder());
    } else if (!link.connectionError().isEmpty()) {
        outcome.problem = link.connectionError();
        outcome.reason = QStringLiteral("связь потеряна");
    } else {
        // The port opened: say what, if anything, came back on it.
        const QString where = QStringLiteral("COM%1 = %2: ").arg(port).arg(serial.deviceFor(port));
        const int received = link.NameByteCount;
        if (received > SerialLink::kNameReplySize) {
            // A line that streams on: told as soon as the reply overran, with what had come by then.
            outcome.reason = kTooLong;
            outcome.problem = where + kTooLong
                + QStringLiteral(": получено %1 вместо %2.").arg(RussianCount::bytes(received)).arg(SerialLink::kNameReplySize);
            return outcome;
        }
        outcome.reason = received == 0 ? kNoAnswer : kNotAUnit;
        outcome.problem = received == 0
            ? where + kNoAnswer + QLatin1Char('.')
            : where + kNotAUnit
                + QStringLiteral(": получено %1, а устройство отвечает 24 байтами, начиная с «#4000=». "
                                 "Возможно, устройство настроено на другую скорость: проверьте --speed.")
                      .arg(RussianCount::bytes(received));
    }
    return outcome;
}

QString infoReadFailure(SerialLink &link, bool countShown, const ConfigExchange &exchange)
{
    return failure(link, countShown, QStringLiteral("Ошибка при чтении конфигурации!"),
                   TransferReport::readFailure(exchange.SchetchikBaitov, ConfigImage::kImageSize));
}

QString configCopyFailure(SerialLink &link, bool countShown, const ConfigFileTransfer &transfer, const QString &file)
{
    return failure(link, countShown, QStringLiteral("Ошибка при чтении!"),
                   TransferReport::readFailure(transfer.SchetchikBaitov, ConfigImage::kImageSize))
        + QLatin1Char(' ') + fileUntouched(file);
}

QString configLoadFailure(SerialLink &link, bool countShown, const ConfigFileTransfer &transfer)
{
    const bool nothing = TransferReport::nothingSent(transfer.lockStep());
    return failure(link, countShown, QStringLiteral("Ошибка при записи!"),
                   TransferReport::writeFailure(transfer.lockStep()))
        + QLatin1Char(' ')
        + (nothing ? QStringLiteral("Данные конфигурации в устройство не передавались, конфигурация в нём прежняя.")
                   : partialConfig(transfer.SchetchikBaitov));
}

QString configWriteFailure(SerialLink &link, bool countShown, const ConfigExchange &exchange)
{
    const bool nothing = TransferReport::nothingSent(exchange.lockStep());
    return failure(link, countShown, QStringLiteral("Ошибка при записи!"),
                   TransferReport::writeFailure(exchange.lockStep()))
        + QLatin1Char(' ')
        + (nothing ? QStringLiteral("Данные конфигурации в устройство не передавались, конфигурация в нём прежняя.")
                   : partialConfig(exchange.SchetchikBaitov));
}

QString configVerifyFailure(SerialLink &link, bool countShown, const ConfigExchange &exchange)
{
    return failure(link, countShown, QStringLiteral("Ошибка при чтении!"),
                   TransferReport::readFailure(exchange.SchetchikBaitov, ConfigImage::kImageSize))
        + QLatin1Char(' ') + kConfigVerifySkipped;
}

QString firmwareReadFailure(SerialLink &link, bool countShown, const FirmwareExchange &firmware, const QString &file)
{
    return failure(link, countShown, QStringLiteral("Ошибка при чтении прошивки!"),
                   TransferReport::readFailure(firmware.SchetchikBaitov, FirmwareFile::kFirmwareSize))
        + QLatin1Char(' ') + fileUntouched(file);
}

QString firmwareWriteFailure(SerialLink &link, bool countShown, const FirmwareExchange &firmware)
{
    const QString problem = failure(link, countShown, QStringLiteral("Ошибка при записи прошивки!"),
                                    TransferReport::writeFailure(firmware.lockStep()));
    return TransferReport::nothingSent(firmware.lockStep())
        ? problem + QStringLiteral(" Данные прошивки в устройство не передавались, прошивка в нём прежняя.")
        : problem;
}

QString firmwareUnavailable(const QString &version)
{
    return QStringLiteral("Операции с прошивкой недоступны: устройство не сообщает версию прошивки (%1). ").arg(version)
        + kFirmwareUntouched;
}

QString fileUntouched(const QString &file)
{
    return QFileInfo::exists(file) ? QStringLiteral("Файл %1 не изменён.").arg(file)
                                   : QStringLiteral("Файл %1 не создан.").arg(file);
}

QString readInterrupted(bool firmware, const QString &file)
{
    return (firmware ? QStringLiteral("Прервано: чтение прошивки остановлено. ")
                     : QStringLiteral("Прервано: чтение остановлено. "))
        + fileUntouched(file) + kStillSending;
}

QString configWriteInterrupted(int sent)
{
    return QStringLiteral("Прервано: запись остановлена. ")
        + (sent == 0 ? QStringLiteral("Данные конфигурации в устройство не передавались.") : partialConfig(sent));
}

QString firmwareWriteInterrupted(int sent)
{
    if (sent == 0)
        return QStringLiteral("Прервано: запись прошивки остановлена, данные прошивки в устройство не передавались.");
    return QStringLiteral("Прервано: запись прошивки остановлена после %1 из %2 байт. ")
               .arg(sent)
               .arg(FirmwareFile::kFirmwareSize)
        + FirmwareExchange::kMayBeUnusable;
}

}
