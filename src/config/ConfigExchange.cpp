#include "config/ConfigExchange.h"
#include "config/ConfigImage.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/MessageSink.h"

ConfigExchange::ConfigExchange(SerialLink &link, CommandQueue &queue, StatusModel &status, ConfigImage &image,
                               MessageSink &messages)
    : m_link(link), m_queue(queue), m_status(status), m_image(image), m_messages(messages),
      m_lockStep(ConfigImage::kBlockCount)
{
    m_link.setHandler(Tag::ConfigRead, [this](QByteArray &received, int &idle) { ConfiguraciaRead(received, idle); });
    m_link.setHandler(
        Tag::ConfigWrite, [this](QByteArray &received, int &idle) { ConfiguraciaWrite(received, idle); },
        SerialLink::Dispatch::OnArrival);
    m_droppedConnection =
        QObject::connect(&m_link, &SerialLink::exchangeDropped, [this](const QString &tag) { dropped(tag); });
}

ConfigExchange::~ConfigExchange()
{
    QObject::disconnect(m_droppedConnection);
}

void ConfigExchange::dropped(const QString &tag)
{
    // Ended at once with its final tag: the strip must not go back to idle as if nothing happened.
    // A lost line is also told with what it left; a port closed on purpose (the program closing)
    // is not.
    const bool tell = m_link.lineLost();
    if (tag == Tag::ConfigRead) {
        m_link.RPF_02VektorPriemaIsPorta = Tag::ReadError;
        ConfiguraciaProchitana = false;
        m_queue.setLinkFree(true);
        if (tell)
                m_messages.show(kLinkLostRead.arg(SchetchikBaitov).arg(ConfigImage::kImageSize) + QLatin1Char('\n')
                            + m_link.lossReason() + QLatin1Char('\n') + kPartialImage);
    } else if (tag == Tag::ConfigWrite) {
        endWrite(Tag::WriteError, tell ? kLinkLostWrite.arg(SchetchikBaitov).arg(ConfigImage::kMemorySize)
                                             + QLatin1Char('\n') + m_link.lossReason() + QLatin1Char('\n')
                                             + kMayBeIncomplete
                                       : QString());
    }
}

void ConfigExchange::ConfiguraciaReadProcess()
{
    ConfiguraciaProchitana = false;
    if (!m_status.isActive()) {
        m_link.RPF_02VektorPriemaIsPorta = Tag::ReadError;
        m_queue.setLinkFree(true);
        return;
    }
    // Until it completes, the image is no one unit's configuration.
    m_image.setPartial(true);
    start(kReadRequest, Tag::ConfigRead);
}

void ConfigExchange::ConfiguraciaWriteProcess()
{
    if (!m_status.isActive()) {
        m_link.RPF_02VektorPriemaIsPorta = Tag::WriteError;
        m_queue.setLinkFree(true);
        return;
    }
    // A block with empty cells would go out short and leave the unit half written: refuse up front.
    const int missing = m_image.firstEmpty(1, ConfigImage::kMemorySize);
    if (missing != 0) {
        m_link.RPF_02VektorPriemaIsPorta = Tag::WriteError;
        m_queue.setLinkFree(true);
        m_messages.show(kIncompleteImage.arg(missing));
        return;
    }
    if (m_image.isPartial()) {
        m_link.RPF_02VektorPriemaIsPorta = Tag::WriteError;
        m_queue.setLinkFree(true);
        m_messages.show(ConfigImage::kPartialRead);
        return;
    }
    if (beforeWrite && !beforeWrite()) {
        m_link.RPF_02VektorPriemaIsPorta = Tag::WriteError;
        m_queue.setLinkFree(true);
        return;
    }
    start(kWriteRequest, Tag::ConfigWrite);
}

void ConfigExchange::start(const QByteArray &request, const QString &tag)
{
    m_queue.setLinkFree(false);
    m_link.RPF_02ComError = 0;
    m_link.drainInput();
    // A failed request shows up as silence and ends with the count message.
    m_link.send(request);
    m_link.RPF_02VektorPriemaIsPorta = tag;
    SchetchikBaitov = 0;
    NomerBaitaKonfiguracii = 0;
    BuferPriema.clear();
    m_lockStep.start(m_link.pollCount());
    m_lockStep.setLineSpeed(m_link.lineSpeed());
}

void ConfigExchange::storeWaitingBlocks()
{
    constexpr int block = ConfigImage::kBlockSize;
    while (BuferPriema.size() >= block && NomerBaitaKonfiguracii < ConfigImage::kMemorySize) {
        m_image.setBytes(NomerBaitaKonfiguracii + 1, BuferPriema.constData(), block);
        BuferPriema.remove(0, block);
        NomerBaitaKonfiguracii += block;
    }
    if (SchetchikBaitov == ConfigImage::kImageSize && NomerBaitaKonfiguracii == ConfigImage::kMemorySize
        && BuferPriema.size() >= ConfigImage::kTailSize) {
        // The model bytes; the tail does not advance the position base.
        m_image.setBytes(NomerBaitaKonfiguracii + 1, BuferPriema.constData(), ConfigImage::kTailSize);
        BuferPriema.remove(0, ConfigImage::kTailSize);
    }
    // A stream longer than the image is doomed; do not let it pile up in memory.
    if (SchetchikBaitov > ConfigImage::kImageSize)
        BuferPriema.clear();
}

void ConfigExchange::ConfiguraciaRead(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)
{
    BuferPriema += PoluchenoIzPorta;
    SchetchikBaitov += int(PoluchenoIzPorta.size());
    m_status.showProgress(SchetchikBaitov, ConfigImage::kImageSize);

    // A reply longer than the image is wrong however it goes on: end at once, not on a silence
    // that a unit streaming on may never leave.
    const bool tooLong = SchetchikBaitov > ConfigImage::kImageSize;
    if (tooLong)
        storeWaitingBlocks();
    if (tooLong || OgidaniePriema > kIdleLimit) {
        m_queue.setLinkFree(true);
        if (SchetchikBaitov == ConfigImage::kImageSize) {
            m_link.RPF_02VektorPriemaIsPorta = Tag::ReadOk;
            ConfiguraciaProchitana = true;
            // The image is the unit's again: no edit is waiting to be written.
            m_image.setChanged(false);
            m_image.setPartial(false);
            if (readCompleted)
                readCompleted();
        } else {
            m_link.RPF_02VektorPriemaIsPorta = Tag::ReadError;
            m_messages.show(kCountMismatch);
            ConfiguraciaProchitana = false;
        }
        return;
    }
    storeWaitingBlocks();
}

void ConfigExchange::endWrite(const QString &tag, const QString &message)
{
    if (tag == Tag::Written)
        m_image.setChanged(false);
    m_link.RPF_02VektorPriemaIsPorta = tag;
    m_queue.setLinkFree(true);
    if (!message.isEmpty())
        m_messages.show(message);
    // After the message: what follows a failure comes after the failure is told.
    if (writeEnded)
        writeEnded(tag == Tag::Written);
}

void ConfigExchange::ConfiguraciaWrite(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)
{
    switch (m_lockStep.onRead(PoluchenoIzPorta, OgidaniePriema, m_link.pollCount())) {
    case LockStepWrite::Step::SendNext: {
        // The block's cells up to the first without data.
        BuferPriema.clear();
        for (int i = 1; i <= ConfigImage::kBlockSize; ++i) {
            const int value = m_image.byteAt(SchetchikBaitov + i);
            if (value < 0)
                break;
            BuferPriema += char(value);
        }
        if (BuferPriema.size() != ConfigImage::kBlockSize) {
            // A cell was emptied after the start check; never send a short block.
            endWrite(Tag::WriteError, kIncompleteImage.arg(m_image.firstEmpty(SchetchikBaitov + 1,
                                                                           SchetchikBaitov + ConfigImage::kBlockSize)));
        } else if (!m_link.send(BuferPriema)) {
            endWrite(Tag::WriteError, SerialLink::kSendErrorPrefix + QString::number(m_link.RPF_02ComError));
        } else {
            m_lockStep.blockSent();
            SchetchikBaitov += ConfigImage::kBlockSize;
        }
        break;
    }
    case LockStepWrite::Step::Finished:
        endWrite(Tag::Written);
        break;
    case LockStepWrite::Step::Stalled:
        endWrite(Tag::WriteError, m_lockStep.allSent() ? LockStepWrite::kNotAcknowledged : kCountMismatch);
        break;
    case LockStepWrite::Step::Broken:
        endWrite(Tag::WriteError, kSequenceBroken);
        break;
    case LockStepWrite::Step::NoGoAhead:
        endWrite(Tag::WriteError, LockStepWrite::kNoGoAhead + QLatin1Char('\n') + kMayBeIncomplete);
        break;
    case LockStepWrite::Step::Wait:
        break;
    }
    PoluchenoIzPorta.clear();
    m_status.showProgress(SchetchikBaitov, ConfigImage::kMemorySize);
}
