#include "unit/BenchJob.h"
#include "config/ConfigExchange.h"
#include "devinfo/DeviceInfo.h"
#include "link/OperationTags.h"
#include "unit/ExitCode.h"
#include "unit/ModelCheck.h"
#include "unit/UnitBackups.h"
#include "unit/UnitMessages.h"
#include "unit/UnitReport.h"
#include "unit/UnitSession.h"
#include "unit/UnitsTable.h"
#include "unit/VerifyCompare.h"
#include <QDir>

namespace {
constexpr int kImeiIndex = 4;    // the information page's fields
constexpr int kModelIndex = 6;
const QString kReadFailed = QStringLiteral("ошибка чтения");
const QString kOtherModel = QStringLiteral("отказ: другая модель");
const QString kModelUnread = QStringLiteral("отказ: модель не прочитана");
const QString kRefusedNoRow = QStringLiteral("отказ: нет строки");
const QString kRefusedValue = QStringLiteral("отказ: значение не принято");
const QString kNoCopy = QStringLiteral("ошибка: копия не сохранена");
const QString kWriteFailed = QStringLiteral("ошибка записи");
const QString kVerifyFailed = QStringLiteral("ошибка проверки");
const QString kMismatch = QStringLiteral("проверка не пройдена");
}

BenchJob::BenchJob(UnitSession &unit, UnitMessages &messages, Setup setup, QObject *parent)
    : UnitJob(unit, messages, parent), m_setup(std::move(setup))
{
}

ConfigImage BenchJob::composed(const ConfigImage &templateImage, const QList<ConfigFields::Assignment> &row,
                               const ConfigImage &unitImage, QList<ConfigFields::Refusal> *refused)
{
    ConfigImage image = templateImage;
    const QList<ConfigFields::Refusal> refusals = ConfigFields(image).set(row);
    if (refused)
        *refused = refusals;
    // The IMEI is the unit's identity, not a setting: it stays as the unit has it.
    for (int p = kImeiFirst; p <= kImeiLast; ++p)
        image.setCell(p, unitImage.cell(p));
    for (int p = ConfigImage::kMemorySize + 1; p <= ConfigImage::kImageSize; ++p)
        image.setCell(p, unitImage.cell(p));
    return image;
}

void BenchJob::start()
{
    readInfo(
        [this](bool read) {
            if (!read)
                return end(Outcome::Failed, ExitCode::TransferFailed,
                           UnitReport::infoReadFailure(link(), countShown(), m_unit.configExchange()),
                           kReadFailed);
            checked();
        },
        QStringLiteral("Прервано: чтение конфигурации остановлено, в устройство ничего не записано."));
}

void BenchJob::checked()
{
    const DeviceInfo &info = m_unit.deviceInfo();
    m_model = info.value(kModelIndex);
    const QString imei = info.value(kImeiIndex);
    m_imei = imei;
    // A unit without a readable IMEI cannot be told from another: it is never taken as served.
    if (UnitsTable::imeiValid(imei) && m_setup.served && m_setup.served(imei))
        return end(Outcome::AlreadyDone, ExitCode::Success, kAlreadyDone, kAlreadyDone);
    const ConfigImage &unitImage = m_unit.image();
    const QByteArray &templateModel = m_setup.templateModel;
    ModelCheck::Result check = ModelCheck::compare(ModelCheck::tailCell(templateModel, 0),
                                                   ModelCheck::tailCell(templateModel, 1),
                                                   unitImage.bytes(ConfigImage::kMemorySize + 1, ConfigImage::kTailSize));
    // A template without model cells (refused at the start when they name none) refuses only a unit
    // whose model is unreadable.
    if (!ModelCheck::namesModel(templateModel) && check.outcome == ModelCheck::Outcome::Other)
        check.outcome = ModelCheck::Outcome::Same;
    if (check.outcome != ModelCheck::Outcome::Same)
        return end(Outcome::Refused,
                   check.outcome == ModelCheck::Outcome::Other ? ExitCode::BadFile : ExitCode::TransferFailed,
                   check.text() + QLatin1Char(' ') + QStringLiteral("Не записано."),
                   check.outcome == ModelCheck::Outcome::Other ? kOtherModel : kModelUnread);
    QList<ConfigFields::Assignment> row;
    if (m_setup.table) {
        const auto *found = UnitsTable::imeiValid(imei) ? m_setup.table->row(imei) : nullptr;
        if (!found)
            return end(Outcome::Refused, ExitCode::BadFile,
                       (UnitsTable::imeiValid(imei) ? kNoRow.arg(imei) + QStringLiteral(" в UNITS.csv")
                            : QStringLiteral("%1 (%2)").arg(kNoImei, imei))
                           + QStringLiteral(": не записано."),
                       kRefusedNoRow);
        row = *found;
    }
    QList<ConfigFields::Refusal> refused;
    m_target = composed(m_setup.templateImage, row, unitImage, &refused);
    if (!refused.isEmpty())
        return end(Outcome::Refused, ExitCode::BadFile,
                   QStringLiteral("%1: значение «%2» не принято — %3. Не записано.")
                       .arg(refused.first().name, refused.first().value, refused.first().reason),
                   kRefusedValue);
    write();
}

void BenchJob::write()
{
    ConfigImage &image = m_unit.image();
    for (int p = 1; p <= ConfigImage::kMemorySize; ++p)
        image.setCell(p, m_target.cell(p));
    begin(QStringLiteral("Запись конфигурации"), [this] {
        const QString copy = m_unit.backups().earlierCopy();
        return UnitReport::configWriteInterrupted(m_unit.configExchange().SchetchikBaitov)
            + (copy.isEmpty() ? QString()
                              : QLatin1Char('\n') + UnitBackups::kEarlierCopy.arg(QDir::toNativeSeparators(copy)));
    });
    m_unit.configExchange().ConfiguraciaWriteProcess();
    m_copy = m_unit.backups().earlierCopy();
    await([this] {
        if (m_unit.exchangeTag() == Tag::Written)
            return verify();
        // The copy could not be kept: nothing was sent.
        const QStringList said = m_messages.texts();
        if (std::any_of(said.cbegin(), said.cend(),
                        [](const QString &text) { return text.contains(UnitBackups::kWriteRefused); }))
            return end(Outcome::Failed, ExitCode::BadFile, firstMessageOr(UnitBackups::kWriteRefused), kNoCopy);
        end(Outcome::Failed, ExitCode::TransferFailed,
            UnitReport::configWriteFailure(link(), countShown(), m_unit.configExchange()), kWriteFailed);
    });
}

void BenchJob::verify()
{
    m_unit.image().clearCells();
    begin(QStringLiteral("Проверка"), [] { return UnitReport::kConfigVerifyInterrupted; });
    m_unit.configExchange().ConfiguraciaReadProcess();
    await([this] {
        if (m_unit.exchangeTag() != Tag::ReadOk)
            return end(Outcome::Failed, ExitCode::TransferFailed,
                       UnitReport::configVerifyFailure(link(), countShown(), m_unit.configExchange()),
                       kVerifyFailed);
        QList<QByteArray> blocks;
        for (int at = 1; at <= ConfigImage::kMemorySize; at += ConfigImage::kBlockSize)
            blocks << m_target.bytes(at, ConfigImage::kBlockSize);
        const VerifyCompare::Mismatch mismatch = VerifyCompare::compare(m_unit.image(), blocks);
        if (mismatch.count > 0)
            return end(Outcome::Failed, ExitCode::VerifyMismatch,
                       VerifyCompare::text(mismatch, ConfigImage::kMemorySize), kMismatch);
        end(Outcome::Written, ExitCode::Success, QStringLiteral("Записано и проверено."), kWritten);
    });
}

void BenchJob::end(Outcome outcome, int code, const QString &text, const QString &brief)
{
    m_outcome = outcome;
    m_brief = brief;
    if (outcome == Outcome::Failed && code != ExitCode::BadFile)
        return fail(code, text);
    // The port stays open: the bench watches it for the unit to go.
    finish(code, text, outcome == Outcome::Written ? kWritten : QString());
}
