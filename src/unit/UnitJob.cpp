#include "unit/UnitJob.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"
#include "link/StatusModel.h"
#include "unit/ExitCode.h"
#include "unit/ModelCheck.h"
#include "unit/UnitReport.h"
#include "unit/UnitBackups.h"
#include "unit/UnitMessages.h"
#include "unit/UnitSession.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include <QTimer>

UnitJob::UnitJob(UnitSession &unit, UnitMessages &messages, QObject *parent)
    : QObject(parent), m_unit(unit), m_messages(messages)
{
    m_copyFailures = m_unit.backups().keepFailures();
    connect(&m_unit, &UnitSession::exchangeEnded, this, &UnitJob::onEnded, Qt::QueuedConnection);
    connect(&m_unit.status(), &StatusModel::changed, this, [this] {
        if (const auto numbers = counted())
            emit progressed(numbers->first, numbers->second);
    });
}

UnitJob::~UnitJob() = default;

SerialLink &UnitJob::link()
{
    return m_unit.link();
}

std::optional<std::pair<qint64, qint64>> UnitJob::counted() const
{
    if (!m_counting || m_done)
        return std::nullopt;
    return m_unit.status().progress();
}

void UnitJob::await(std::function<void()> then)
{
    m_then = std::move(then);
    if (m_unit.exchangeRunning())
        m_unit.followExchange();
    else
        QTimer::singleShot(0, this, &UnitJob::onEnded);
}

void UnitJob::onEnded()
{
    if (!m_then || m_unit.exchangeRunning())
        return;
    emit exchangeDone();
    std::exchange(m_then, nullptr)();
}

void UnitJob::begin(const QString &stage, std::function<QString()> leftIn, bool counted)
{
    m_leftIn = std::move(leftIn);
    m_counting = counted;
    m_mark = m_messages.texts().size();
    if (counted)
        m_unit.status().clearProgress();
    note(stage);
}

void UnitJob::note(const QString &stage)
{
    m_stage = stage;
    emit stageChanged(stage);
}

void UnitJob::warn(const QString &text)
{
    m_warnings << text;
    emit warned(text);
}

void UnitJob::interrupt()
{
    if (m_done)
        return;
    const QString text = m_leftIn ? m_leftIn() : QString();
    fail(ExitCode::Interrupted, text);
}

void UnitJob::finish(int code, const QString &text, const QString &brief)
{
    if (m_done)
        return;
    m_then = nullptr;
    m_done = true;
    m_counting = false;
    // The unit's work is done; a copy of a read on the way is not, and a script must not take it
    // for kept (the copy's own error was shown as it came).
    const bool copyLost =
        m_copiesCount && code == ExitCode::Success && m_unit.backups().keepFailures() != m_copyFailures;
    m_result.code = copyLost ? ExitCode::SideFileFailed : code;
    m_result.text = copyLost ? text + QLatin1Char('\n') + UnitBackups::kCopyNotKept : text;
    m_result.brief = m_result.code == ExitCode::Success ? brief : QString();
    emit finished();
}

void UnitJob::fail(int code, const QString &text)
{
    m_then = nullptr;
    // The window's unit stays connected when nothing runs on it any more.
    if (m_unit.exchangeRunning() || !m_unit.supervised())
        m_unit.abort();
    finish(code, text);
}

QString UnitJob::firstMessageOr(const QString &fallback)
{
    const QStringList said = m_messages.printable(m_mark);
    if (said.isEmpty())
        return fallback;
    m_result.shown = true;
    return said.constFirst();
}

bool UnitJob::countShown() const
{
    return m_messages.countShownSince(m_mark);
}

void UnitJob::readAside(std::function<void(bool ok)> then, const QString &leftIn)
{
    begin(QStringLiteral("Чтение конфигурации"), [leftIn] { return leftIn; });
    m_unit.configTransfer().ReadAside();
    await([this, then = std::move(then)] { then(m_unit.exchangeTag() == Tag::Saved); });
}

void UnitJob::readInfo(std::function<void(bool ok)> then, const QString &leftIn)
{
    // The rest of what the unit is lives in its configuration memory.
    m_unit.image().clearCells();
    m_unit.deviceInfo().KolichestvoVhodov.reset();
    begin(QStringLiteral("Чтение конфигурации"),
          [leftIn] {
              return leftIn.isEmpty()
                  ? QStringLiteral("Прервано: чтение конфигурации остановлено, в устройство ничего не записано.")
                  : leftIn;
          });
    m_unit.configExchange().ConfiguraciaReadProcess();
    await([this, then = std::move(then)] {
        ConfigImage &image = m_unit.image();
        const bool read = m_unit.exchangeTag() == Tag::ReadOk;
        m_noModelCells = read && !ModelCheck::namesModel(image)
                             ? ModelCheck::shownCells(image.cell(ConfigImage::kMemorySize + 1),
                                                      image.cell(ConfigImage::kImageSize))
                             : QString();
        // Bytes that are not a unit's are shown as nothing read, never as its name or IMEI.
        if (!m_noModelCells.isEmpty()) {
            image.clearCells();
            link().RPF_02VektorPriemaIsPorta = Tag::ReadError;
        }
        m_unit.deviceInfo().fill();
        then(read && m_noModelCells.isEmpty());
    });
}

QString UnitJob::readInfoFailure()
{
    if (!m_noModelCells.isEmpty())
        return QStringLiteral("Ошибка при чтении конфигурации! ") + ModelCheck::kReadNamesNoModel.arg(m_noModelCells);
    return UnitReport::infoReadFailure(link(), countShown(), m_unit.configExchange());
}
