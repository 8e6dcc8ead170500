#include "config/ConfigFileTransfer.h"
#include "config/ConfigExchange.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/FileWriter.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/MessageSink.h"

ConfigFileTransfer::ConfigFileTransfer(SerialLink &link, StatusModel &status, MessageSink &messages,
                                       ConfigFiles &files)
    : m_link(link), m_status(status), m_messages(messages), m_files(files), m_loadStep(ConfigImage::kBlockCount)
{
    m_link.setHandler(Tag::ConfigFileCopy,
                      [this](QByteArray &received, int &idle) { SaveConfiguraciaToFile(received, idle); });
    m_link.setHandler(
        Tag::ConfigFileLoad, [this](QByteArray &received, int &idle) { LoadConfiguraciaFromFile(received, idle); },
        SerialLink::Dispatch::OnArrival);
    m_droppedConnection =
        QObject::connect(&m_link, &SerialLink::exchangeDropped, [this](const QString &tag) { dropped(tag); });
}

ConfigFileTransfer::~ConfigFileTransfer()
{
    QObject::disconnect(m_droppedConnection);
}

void ConfigFileTransfer::dropped(const QString &tag)
{
    // An unfinished copy must not keep its temporary file (visible beside the target on some
    // systems) until the next copy; the chosen file stays as it was. Either end is at once, with its
    // final tag; a lost line is also told with what it left, a port closed on purpose is not.
    const bool tell = m_link.lineLost();
    if (tag == Tag::ConfigFileCopy) {
        m_copyFile.reset();
        m_link.RPF_02VektorPriemaIsPorta = Tag::SaveError;
        if (tell)
            m_messages.show(ConfigExchange::kLinkLostRead.arg(SchetchikBaitov).arg(ConfigImage::kImageSize)
                            + QLatin1Char('\n') + m_link.lossReason()
                            + (m_aside ? QString() : QLatin1Char('\n') + kNotSaved + ImyaFailaSohraneniya));
    } else if (tag == Tag::ConfigFileLoad) {
        finishLoad(Tag::WriteError,
                   tell ? ConfigExchange::kLinkLostWrite.arg(SchetchikBaitov).arg(ConfigImage::kMemorySize)
                           + QLatin1Char('\n') + m_link.lossReason() + QLatin1Char('\n')
                           + ConfigExchange::kMayBeIncomplete
                        : QString());
    }
}

void ConfigFileTransfer::CopyToFile()
{
    if (!m_status.isActive()) {
        m_messages.show(kNoConnection);
        return;
    }
    ImyaFailaSohraneniya.clear();
    const std::optional<QString> name = m_files.chooseFile(true);
    if (!name)
        return;
    m_link.RPF_02ComError = 0;
    m_fileFailed = false;
    m_copyRefused = false;
    // Dropping an unfinished copy discards its temporary file, never the file it was to replace.
    m_copyFile = std::make_unique<FileWriter>(*name);
    if (!m_copyFile->open()) {
        m_fileFailed = true;
        m_messages.show(ConfigFiles::kCreateError + *name + QLatin1Char('\n') + m_copyFile->explanation());
        m_copyFile.reset();
        return;
    }
    ImyaFailaSohraneniya = *name;
    m_aside = false;
    m_linesWritten = 0;
    m_copied.clear();
    ConfiguraciaSaveToFileProcess();
}

void ConfigFileTransfer::ReadAside()
{
    ImyaFailaSohraneniya.clear();
    m_copyFile.reset();
    m_fileFailed = false;
    m_aside = true;
    m_linesWritten = 0;
    m_copied.clear();
    ConfiguraciaSaveToFileProcess();
}

void ConfigFileTransfer::ConfiguraciaSaveToFileProcess()
{
    if (!m_status.isActive() || (!m_copyFile && !m_aside)) {
        m_copyFile.reset();
        m_link.RPF_02VektorPriemaIsPorta = Tag::SaveError;
        return;
    }
    m_link.RPF_02ComError = 0;
    m_link.drainInput();
    m_link.send(ConfigExchange::kReadRequest);
    m_link.RPF_02VektorPriemaIsPorta = Tag::ConfigFileCopy;
    SchetchikBaitov = 0;
    BuferPriema.clear();
}

void ConfigFileTransfer::failCopy(bool fileError)
{
    std::unique_ptr<FileWriter> file = std::move(m_copyFile);
    m_link.RPF_02VektorPriemaIsPorta = Tag::SaveError;
    if (fileError && file) {
        m_fileFailed = true;
        const int number = file->classicNumber();
        m_status.setConnection(SerialLink::kSendErrorPrefix + QString::number(number), file->reason());
        m_link.RPF_02ComError = number;
        m_messages.show(ConfigFiles::writeErrorText(*file));
    }
}

bool ConfigFileTransfer::writeWaitingLines()
{
    constexpr int block = ConfigImage::kBlockSize;
    const auto writeLine = [this](int size) {
        m_link.RPF_02ComError = 0;
        if (m_copyFile && !m_copyFile->write(ConfigFiles::formatLine(BuferPriema.left(size))))
            return false;
        m_copied += BuferPriema.left(size);
        BuferPriema.remove(0, size);
        ++m_linesWritten;
        return true;
    };
    while (BuferPriema.size() >= block && m_linesWritten < ConfigImage::kBlockCount) {
        if (!writeLine(block))
            return false;
    }
    if (SchetchikBaitov == ConfigImage::kImageSize && m_linesWritten == ConfigImage::kBlockCount
        && BuferPriema.size() >= ConfigImage::kTailSize) {
        if (!writeLine(ConfigImage::kTailSize))
            return false;
    }
    return true;
}

void ConfigFileTransfer::SaveConfiguraciaToFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)
{
    BuferPriema += PoluchenoIzPorta;
    SchetchikBaitov += int(PoluchenoIzPorta.size());
    m_status.showProgress(SchetchikBaitov, ConfigImage::kImageSize);
    if (!m_copyFile && !m_aside) {
        failCopy(false);
        return;
    }
    // A reply longer than the image is wrong however it goes on: it ends at once.
    if (SchetchikBaitov > ConfigImage::kImageSize || OgidaniePriema > ConfigExchange::kIdleLimit) {
        if (SchetchikBaitov != ConfigImage::kImageSize || m_linesWritten != ConfigImage::kBlockCount + 1) {
            failCopy(false);
            m_messages.show(ConfigExchange::kCountMismatch);
            return;
        }
        if (acceptCopy && !acceptCopy(m_copied)) {
            m_copyRefused = true;
            failCopy(false);
            return;
        }
        if (m_copyFile && !m_copyFile->commit()) {
            failCopy(true);
            return;
        }
        m_copyFile.reset();
        m_link.RPF_02VektorPriemaIsPorta = Tag::Saved;
        if (copyCompleted)
            copyCompleted(m_copied);
        return;
    }
    if (!writeWaitingLines())
        failCopy(true);
}

void ConfigFileTransfer::LoadFromFile()
{
    if (!m_status.isActive()) {
        m_messages.show(kNoConnection);
        return;
    }
    ImyaFailaZagruzki.clear();
    const std::optional<QString> name = m_files.chooseFile(false);
    if (!name)
        return;
    // The lines to be sent are checked first, so a bad one never leaves the unit half written; a
    // refused file ends the operation as a failed write does.
    const std::optional<ConfigFiles::Content> content =
        m_files.readChecked(*name, ConfigFiles::Scope::SentBlocks, Tag::WriteError);
    if (!content)
        return;
    ImyaFailaZagruzki = *name;
    m_loadBlocks = content->blocks;
    ConfiguraciaLoadFromFileProcess();
}

void ConfigFileTransfer::LoadBlocks(const QList<QByteArray> &blocks, const QString &source)
{
    if (!m_status.isActive()) {
        m_messages.show(kNoConnection);
        return;
    }
    ImyaFailaZagruzki = source;
    m_loadBlocks = blocks;
    ConfiguraciaLoadFromFileProcess();
}

void ConfigFileTransfer::ConfiguraciaLoadFromFileProcess()
{
    if (!m_status.isActive() || m_loadBlocks.size() != ConfigImage::kBlockCount) {
        m_loadBlocks.clear();
        m_link.RPF_02VektorPriemaIsPorta = Tag::WriteError;
        return;
    }
    if (beforeLoad && !beforeLoad()) {
        m_loadBlocks.clear();
        m_link.RPF_02VektorPriemaIsPorta = Tag::WriteError;
        return;
    }
    m_link.RPF_02ComError = 0;
    m_link.drainInput();
    m_link.send(ConfigExchange::kWriteRequest);
    m_link.RPF_02VektorPriemaIsPorta = Tag::ConfigFileLoad;
    SchetchikBaitov = 0;
    BuferPriema.clear();
    m_loadStep.start(m_link.pollCount());
    m_loadStep.setLineSpeed(m_link.lineSpeed());
}

void ConfigFileTransfer::finishLoad(const QString &tag, const QString &message)
{
    const QByteArray memory = tag == Tag::Written ? m_loadBlocks.join() : QByteArray();
    m_loadBlocks.clear();
    m_link.RPF_02VektorPriemaIsPorta = tag;
    if (!message.isEmpty())
        m_messages.show(message);
    if (loadEnded)
        loadEnded(tag == Tag::Written, memory);
}

void ConfigFileTransfer::LoadConfiguraciaFromFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)
{
    switch (m_loadStep.onRead(PoluchenoIzPorta, OgidaniePriema, m_link.pollCount())) {
    case LockStepWrite::Step::SendNext: {
        const int index = m_loadStep.nextBlock();
        if (index >= m_loadBlocks.size()) {
            finishLoad(Tag::WriteError, ConfigExchange::kCountMismatch);
            break;
        }
        BuferPriema = m_loadBlocks.at(index);
        m_link.RPF_02ComError = 0;
        // A block that did not go out must not be counted as sent.
        if (!m_link.send(BuferPriema)) {
            finishLoad(Tag::WriteError, SerialLink::kSendErrorPrefix + QString::number(m_link.RPF_02ComError));
        } else {
            m_loadStep.blockSent();
            SchetchikBaitov += ConfigImage::kBlockSize;
        }
        break;
    }
    case LockStepWrite::Step::Finished:
        finishLoad(Tag::Written);
        break;
    case LockStepWrite::Step::Stalled:
        finishLoad(Tag::WriteError,
                   m_loadStep.allSent() ? LockStepWrite::kNotAcknowledged : ConfigExchange::kCountMismatch);
        break;
    case LockStepWrite::Step::Broken:
        finishLoad(Tag::WriteError, ConfigExchange::kSequenceBroken);
        break;
    case LockStepWrite::Step::NoGoAhead:
        finishLoad(Tag::WriteError, LockStepWrite::kNoGoAhead + QLatin1Char('\n') + ConfigExchange::kMayBeIncomplete);
        break;
    case LockStepWrite::Step::Wait:
        break;
    }
    PoluchenoIzPorta.clear();
    m_status.showProgress(SchetchikBaitov, ConfigImage::kMemorySize);
}
