#include "unit/WindowOperations.h"
#include "unit/ExitCode.h"
#include "config/ConfigFileTransfer.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/StatusSupervisor.h"
#include "shell/ChoiceDialogs.h"
#include "shell/MessageSink.h"
#include "unit/ConfigBackups.h"
#include "unit/ModelCheck.h"
#include "unit/ReadInfoJob.h"
#include "unit/UnitBackups.h"
#include "unit/UnitSession.h"
#include "unit/VerifyCompare.h"
#include "unit/WriteConfigJob.h"
#include <QDir>

namespace {
constexpr int kImeiFirst = 2353;
constexpr int kImeiSize = 15;

QByteArray modelCells(const ConfigImage &image)
{
    return image.isFilled(ConfigImage::kMemorySize + 1, ConfigImage::kImageSize)
               ? image.bytes(ConfigImage::kMemorySize + 1, ConfigImage::kTailSize)
               : QByteArray();
}

// A model cell as the question shows it; "--" for one that holds nothing.
QString shownCell(const QByteArray &model, int index)
{
    const QString cell = ModelCheck::tailCell(model, index);
    return cell.isEmpty() ? QStringLiteral("--") : cell;
}
}

WindowOperations::WindowOperations(UnitSession &unit, ChoiceDialogs &choices, QObject *parent)
    : QObject(parent), m_unit(unit), m_choices(choices)
{
    m_unit.backups().setRestoreHint(kRestoreHint);
    // Every complete read into the image ("Прочитать", on detection, a new unit read over edits)
    // checks only the count: bytes of the right count at another speed are kept. Told after the
    // tick that followed the read up.
    connect(&m_unit, &UnitSession::pagesStale, this, [this] {
        // An image cleared by a read refused for its model cells was told by that read.
        const QByteArray model = modelCells(m_unit.image());
        if (!model.isEmpty() && !ModelCheck::namesModel(model))
            m_unit.messages().show(kReadNamesNoModel.arg(shownCell(model, 0), shownCell(model, 1)));
    }, Qt::QueuedConnection);
}

WindowOperations::~WindowOperations() = default;

bool WindowOperations::onTheUnitAskedFor()
{
    // A question waits for the user while the line goes on: the unit asked about may be gone, or
    // found again (perhaps another of the same name).
    const SerialLink &link = m_unit.link();
    if (m_unit.status().isActive() && link.isOpen() && link.identificationCount() == m_identification)
        return true;
    m_unit.messages().show(kUnitChanged);
    return false;
}

void WindowOperations::run(std::unique_ptr<UnitJob> job, std::function<void(UnitJob &)> done)
{
    // Monitoring polls (its page stays usable) would come between the job's exchanges.
    if (m_unit.exchangeRunning() || !m_unit.queue().LinkFree()) {
        m_unit.messages().show(kBusy);
        return;
    }
    m_unit.queue().setLinkFree(false);
    m_job = std::move(job);
    StatusSupervisor &supervisor = m_unit.supervisor();
    m_resumeSupervision = supervisor.timer().isActive();
    supervisor.timer().stop();
    // The read is followed up (pages refilled) at the next tick, as one queued would be.
    supervisor.PagesRefreshed = false;
    emit busyChanged(true);
    connect(m_job.get(), &UnitJob::finished, this, [this, done = std::move(done)] {
        UnitJob *job = m_job.release();
        job->deleteLater();
        // The unit is free again before the result is shown: the strip follows it meanwhile.
        m_unit.queue().setLinkFree(true);
        if (m_resumeSupervision)
            m_unit.supervisor().timer().start();
        emit busyChanged(false);
        done(*job);
    });
    m_job->start();
}

void WindowOperations::read(int identification)
{
    if (m_job)
        return;
    m_identification = identification;
    if (!onTheUnitAskedFor())
        return;
    // A failed transfer has told why itself; the status strip says "Ошибка при чтении!". Bytes
    // that came whole but name no model are refused by the job alone: its words are the only ones.
    run(std::make_unique<ReadInfoJob>(m_unit, m_jobMessages), [this](UnitJob &job) {
        if (job.readNamedNoModel())
            m_unit.messages().show(job.result().text);
    });
}

void WindowOperations::write(int identification)
{
    if (m_job)
        return;
    m_identification = identification;
    const ConfigImage &image = m_unit.image();
    QList<QByteArray> blocks;
    for (int block = 0; block < ConfigImage::kBlockCount; ++block) {
        const int first = block * ConfigImage::kBlockSize + 1;
        if (!image.isFilled(first, first + ConfigImage::kBlockSize - 1)) {
            m_unit.messages().show(ConfigImage::kPartialRead);
            return;
        }
        blocks.append(image.bytes(first, ConfigImage::kBlockSize));
    }
    const QByteArray model = modelCells(image);
    // Cells that name no model say nothing a model check could refuse: the user decides.
    const bool noModel = !ModelCheck::namesModel(model);
    if (noModel && !m_unit.messages().ask(kWriteNamesNoModel.arg(shownCell(model, 0), shownCell(model, 1))))
        return;
    if (!onTheUnitAskedFor())
        return;
    startWrite(blocks, model, QString(), true, noModel);
}

void WindowOperations::startWrite(const QList<QByteArray> &blocks, const QByteArray &model, const QString &source,
                                  bool fromImage, bool force)
{
    auto job = std::make_unique<WriteConfigJob>(m_unit, m_jobMessages, source, blocks, true);
    job->setAside(true);
    job->setRefusalHint(kWindowRefusal);
    // force only for cells that name no model, and the user agreed: there is no other model to
    // refuse then, and a unit that could not be read is refused before the write all the same.
    job->setReadFirst({true, model, force});
    job->setBeforeWrite([this, fromImage](WriteConfigJob &write) { return beforeWrite(write, fromImage); });
    m_writeStarted = false;
    m_writeModel = model;
    run(std::move(job), [this, blocks, fromImage](UnitJob &done) { writeEnded(done, blocks, fromImage); });
}

bool WindowOperations::beforeWrite(WriteConfigJob &job, bool fromImage)
{
    const QString unit = m_unit.link().deviceName();
    const QByteArray held = m_unit.backups().lastRead(unit);
    if (held.size() != ConfigImage::kImageSize) {
        job.stop(ExitCode::TransferFailed, kNotReadFirst);
        return false;
    }
    const ConfigImage &image = m_unit.image();
    if (fromImage && image.origin() == ConfigImage::Origin::Unit) {
        const QByteArray imageImei = image.bytes(kImeiFirst, kImeiSize);
        const QByteArray unitImei = held.mid(kImeiFirst - 1, kImeiSize);
        if (image.sourceUnit() != unit || imageImei != unitImei) {
            const bool yes = m_unit.messages().ask(kOtherUnit.arg(image.sourceUnit().trimmed(),
                                                                  Cp1251::decode(imageImei), unit.trimmed(),
                                                                  Cp1251::decode(unitImei)));
            if (!yes) {
                // The user said no: nothing more to tell.
                job.stop(ExitCode::Usage, QString());
                return false;
            }
        }
    }
    if (!onTheUnitAskedFor()) {
        job.stop(ExitCode::NoUnit, QString());
        return false;
    }
    m_writeStarted = true;
    return true;
}

void WindowOperations::writeEnded(UnitJob &job, const QList<QByteArray> &blocks, bool fromImage)
{
    SerialLink &link = m_unit.link();
    const UnitJob::Result &result = job.result();
    // The write's own routine has told how it failed and where the copy is.
    const bool toldByWrite = link.RPF_02VektorPriemaIsPorta == Tag::WriteError;
    link.RPF_02VektorPriemaIsPorta = result.code == ExitCode::Success ? Tag::Written : Tag::WriteError;
    MessageSink &messages = m_unit.messages();
    if (result.code == ExitCode::Success) {
        // Read back equal: the image is now what the unit holds, as after a read in this connection.
        // A restore over unwritten edits leaves them on the pages.
        const bool shown = fromImage || !m_unit.image().isChanged();
        if (shown)
            tookAsRead(blocks);
        const QString told =
            fromImage ? kWrittenChecked : shown ? kRestoredShown.arg(m_shownCopy) : kRestored.arg(m_shownCopy);
        emit readBackChecked(told);
        messages.show(told);
        return;
    }
    if (toldByWrite || (result.text.isEmpty() && result.code != ExitCode::VerifyMismatch))
        return;
    QString text = result.text;
    if (result.code == ExitCode::VerifyMismatch) {
        text = kMismatch.arg(VerifyCompare::compare(m_unit.configTransfer().copied(), blocks).count);
        emit readBackChecked(text);
    }
    const QString copy = m_unit.backups().earlierCopy();
    if (m_writeStarted && !copy.isEmpty())
        text += QLatin1Char('\n') + UnitBackups::kEarlierCopy.arg(QDir::toNativeSeparators(copy)) + QLatin1Char('\n')
                + kRestoreHint;
    messages.show(text);
}

void WindowOperations::tookAsRead(const QList<QByteArray> &blocks)
{
    ConfigImage &image = m_unit.image();
    const QByteArray memory = blocks.join();
    image.setBytes(1, memory.constData(), memory.size());
    if (m_writeModel.size() == ConfigImage::kTailSize)
        image.setBytes(ConfigImage::kMemorySize + 1, m_writeModel.constData(), m_writeModel.size());
    image.setChanged(false);
    SerialLink &link = m_unit.link();
    image.setReadFrom(link.deviceName(), m_unit.clock().now(), link.identificationCount());
    m_unit.deviceInfo().fill();
    emit m_unit.pagesStale();
}

void WindowOperations::restore()
{
    if (m_job)
        return;
    MessageSink &messages = m_unit.messages();
    if (!m_unit.status().isActive()) {
        messages.show(ConfigFileTransfer::kNoConnection);
        return;
    }
    m_identification = m_unit.link().identificationCount();
    const QString unit = m_unit.link().deviceName();
    // This unit's own copies: by name and IMEI once its IMEI was read, else every unit of the name.
    const ConfigBackups::Owner owner = m_unit.backups().owner();
    QList<ConfigBackups::Copy> copies;
    for (const ConfigBackups::Unit &kept :
         m_unit.backupStore().units(owner.imei.isEmpty() ? unit : unit.trimmed() + QLatin1Char(' ') + owner.imei))
        for (const ConfigBackups::Copy &copy : kept.copies)
            if (copy.kind != ConfigBackups::Kind::Firmware)
                copies.append(copy);
    if (copies.isEmpty()) {
        messages.show(kNoCopies.arg(unit.trimmed(), QDir::toNativeSeparators(m_unit.backupStore().unitFolder(owner))));
        return;
    }
    QStringList items;
    for (const ConfigBackups::Copy &copy : copies)
        items.append(copy.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral("  ")
                     + ConfigBackups::kindWord(copy.kind));
    const std::optional<int> chosen = m_choices.choose(kRestoreTitle, kRestoreLabel.arg(unit.trimmed()), items);
    if (!chosen)
        return;
    const QString path = copies.at(*chosen).path;
    m_shownCopy = items.at(*chosen);
    // A copy changed on disk since is refused with the line and reason, before anything is sent.
    const std::optional<ConfigFiles::Content> content = m_unit.configFiles().readChecked(path);
    if (!content)
        return;
    if (!onTheUnitAskedFor())
        return;
    startWrite(content->blocks, content->tail, path, false, false);
}
