#include "firmware/FirmwareExchange.h"
#include "config/FileWriter.h"
#include "devinfo/DeviceInfo.h"
#include "firmware/FirmwareFile.h"
#include "link/CommandQueue.h"
#include "link/Cp1251.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/MessageSink.h"
#include <algorithm>

FirmwareExchange::FirmwareExchange(SerialLink &link, CommandQueue &queue, StatusModel &status, MessageSink &messages,
                                   QObject *parent)
    : QObject(parent), m_link(link), m_queue(queue), m_status(status), m_messages(messages),
      m_lockStep(FirmwareFile::kBlockCount, LockStepWrite::StrayText::Shown)
{
    m_link.setHandler(Tag::FirmwareRead,
                      [this](QByteArray &received, int &idle) { SaveProshivkaToFile(received, idle); });
    m_link.setHandler(
        Tag::FirmwareWrite, [this](QByteArray &received, int &idle) { LoadProshivkaFromFile(received, idle); },
        SerialLink::Dispatch::OnArrival);
    m_queue.setStarter(Cmd::ProsivkaSaveToFileProcess, [this](QString &) { ProsivkaSaveToFileProcess(); });
    m_queue.setStarter(Cmd::ProsivkaLoadFromFileProcess, [this](QString &) { ProsivkaLoadFromFileProcess(); });
    connect(&m_link, &SerialLink::exchangeDropped, this, &FirmwareExchange::dropped);
}

FirmwareExchange::~FirmwareExchange() = default;

bool FirmwareExchange::versionAllowsTransfer(const QString &version)
{
    const QString v = version.trimmed();
    if (v.isEmpty() || v == DeviceInfo::kNoData)
        return false;
    for (const QChar c : v) {
        if (c != QLatin1Char('0') && c != QLatin1Char('.'))
            return true;
    }
    return false;   // zero, however written
}

void FirmwareExchange::setState(State state)
{
    const bool wasBusy = isBusy();
    m_state = state;
    if (wasBusy != isBusy())
        emit busyChanged(isBusy());
}

bool FirmwareExchange::checkReady()
{
    if (isBusy()) {
        m_messages.show(kBusy);
        return false;
    }
    // The status follows the port at the next tick; a file dialog may have been open while it closed.
    if (!m_status.isActive() || !m_link.isOpen()) {
        m_messages.show(kNoConnection);
        return false;
    }
    return true;
}

// --- unit -> file ---

bool FirmwareExchange::saveToFile(const QString &fileName)
{
    if (!checkReady())
        return false;
    ImyaFailaSohraneniya.clear();
    m_link.RPF_02ComError = 0;
    m_fileFailed = false;
    // Dropping an unfinished copy discards its temporary file, never the file it was to replace.
    m_saveFile = std::make_unique<FileWriter>(fileName);
    if (!m_saveFile->open()) {
        m_fileFailed = true;
        m_messages.show(kCreateError + fileName + QLatin1Char('\n') + m_saveFile->explanation());
        m_saveFile.reset();
        return false;
    }
    ImyaFailaSohraneniya = fileName;
    m_linesWritten = 0;
    setState(State::ReadQueued);
    m_queue.post(Cmd::ProsivkaSaveToFileProcess);
    return true;
}

void FirmwareExchange::ProsivkaSaveToFileProcess()
{
    if (m_state != State::ReadQueued || !m_saveFile || !m_status.isActive()) {
        // The unit went away while the read waited for the link, or nothing was prepared.
        endRead(Tag::SaveError);
        return;
    }
    m_queue.setLinkFree(false);
    m_link.RPF_02ComError = 0;
    m_link.drainInput();
    SchetchikBaitov = 0;
    BuferPriema.clear();
    m_linesWritten = 0;
    if (!m_link.send(kReadRequest)) {
        endRead(Tag::SaveError, {SerialLink::kSendErrorPrefix + QString::number(m_link.RPF_02ComError),
                                 kNotSaved + ImyaFailaSohraneniya});
        return;
    }
    m_link.RPF_02VektorPriemaIsPorta = Tag::FirmwareRead;
    setState(State::Reading);
    m_status.showProgress(SchetchikBaitov, FirmwareFile::kFirmwareSize);
}

bool FirmwareExchange::writeWaitingLines()
{
    // The whole blocks waiting go to the file as one piece, and leave the buffer in one go.
    const qsizetype lines =
        std::min<qsizetype>(BuferPriema.size() / FirmwareFile::kBlockSize, FirmwareFile::kBlockCount - m_linesWritten);
    if (lines <= 0)
        return true;
    const QByteArray text =
        FirmwareFile::formatBlocks(QByteArrayView(BuferPriema).first(lines * FirmwareFile::kBlockSize));
    m_link.RPF_02ComError = 0;
    if (!m_saveFile->write(text))
        return false;
    m_linesWritten += int(lines);
    BuferPriema.remove(0, lines * FirmwareFile::kBlockSize);
    return true;
}

void FirmwareExchange::SaveProshivkaToFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)
{
    BuferPriema += PoluchenoIzPorta;
    SchetchikBaitov += int(PoluchenoIzPorta.size());
    m_status.showProgress(SchetchikBaitov, FirmwareFile::kFirmwareSize);
    if (m_state != State::Reading || !m_saveFile) {
        endRead(Tag::SaveError);
        return;
    }
    const auto fileFailed = [this] {
        m_fileFailed = true;
        const int number = m_saveFile->classicNumber();
        m_status.setConnection(SerialLink::kSendErrorPrefix + QString::number(number), m_saveFile->reason());
        m_link.RPF_02ComError = number;
        endRead(Tag::SaveError, {kWriteFileError + ImyaFailaSohraneniya, m_saveFile->explanation()});
    };
    // A stream longer than the firmware is wrong however it goes on: it ends at once, not on a
    // silence that a unit streaming on may never leave.
    if (SchetchikBaitov > FirmwareFile::kFirmwareSize || OgidaniePriema > LockStepWrite::kIdleLimit) {
        if (SchetchikBaitov != FirmwareFile::kFirmwareSize || m_linesWritten != FirmwareFile::kBlockCount) {
            endRead(Tag::SaveError, {kCountMismatch, kNotSaved + ImyaFailaSohraneniya});
        } else if (!m_saveFile->commit()) {
            fileFailed();
        } else {
            endRead(Tag::Saved);
        }
        return;
    }
    if (!writeWaitingLines())
        fileFailed();
}

void FirmwareExchange::endRead(const QString &tag, const QStringList &messages)
{
    m_saveFile.reset();
    finish(tag, messages);
}

// Every end: the final tag (none when the port took it away), the link freed, then the messages.
void FirmwareExchange::finish(const QString &tag, const QStringList &messages)
{
    if (!tag.isEmpty())
        m_link.RPF_02VektorPriemaIsPorta = tag;
    m_queue.setLinkFree(true);
    setState(State::Idle);
    if (!messages.isEmpty())
        m_messages.show(messages.join(QLatin1Char('\n')));
}

// --- file -> unit ---

bool FirmwareExchange::loadFromFile(const QString &fileName)
{
    if (!checkReady())
        return false;
    // The whole file is checked before anything is sent: a bad file never reaches the unit.
    return loadContent(FirmwareFile::read(fileName), fileName);
}

bool FirmwareExchange::loadContent(const FirmwareFile::Content &content, const QString &fileName)
{
    if (!checkReady())
        return false;
    ImyaFailaZagruzki.clear();
    m_link.RPF_02ComError = 0;
    switch (content.failure) {
    case FirmwareFile::Content::Failure::Open:
        m_messages.show(kOpenError + fileName);
        return false;
    case FirmwareFile::Content::Failure::Read:
        m_messages.show(kReadFileError + fileName);
        return false;
    case FirmwareFile::Content::Failure::Format:
        m_messages.show(kFormatError.arg(fileName, QString::number(content.badLine), content.reason));
        return false;
    case FirmwareFile::Content::Failure::None:
        break;
    }
    ImyaFailaZagruzki = fileName;
    m_blocks = content.blocks;
    setState(State::WriteQueued);
    m_queue.post(Cmd::ProsivkaLoadFromFileProcess);
    return true;
}

void FirmwareExchange::ProsivkaLoadFromFileProcess()
{
    if (m_state != State::WriteQueued || m_blocks.size() != FirmwareFile::kBlockCount || !m_status.isActive()) {
        endWrite(Tag::WriteError);
        return;
    }
    m_queue.setLinkFree(false);
    m_link.RPF_02ComError = 0;
    m_link.drainInput();
    SchetchikBaitov = 0;
    BuferPriema.clear();
    m_strayText.clear();
    m_lockStep.start(m_link.pollCount());
    m_lockStep.setLineSpeed(m_link.lineSpeed());
    if (!m_link.send(kWriteRequest)) {
        endWrite(Tag::WriteError, {SerialLink::kSendErrorPrefix + QString::number(m_link.RPF_02ComError)});
        return;
    }
    m_link.RPF_02VektorPriemaIsPorta = Tag::FirmwareWrite;
    setState(State::Writing);
    m_status.showProgress(SchetchikBaitov, FirmwareFile::kFirmwareSize);
}

namespace {
// Longer than any status line a unit sends: a line streaming on is quoted only so far.
constexpr qsizetype kQuotedLimit = 100;
}

QString FirmwareExchange::quoted(const QByteArray &text)
{
    // One line: the text's own line breaks and control bytes become blanks.
    QString shown = Cp1251::decode(text.left(kQuotedLimit));
    for (QChar &c : shown) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    if (text.size() > kQuotedLimit)
        shown += QStringLiteral("…");
    return kSequenceBroken + shown;
}

QStringList FirmwareExchange::writeFailure(const QString &reason, const QString &warning) const
{
    QStringList texts;
    if (!reason.isEmpty())
        texts << reason;
    if (!m_strayText.isEmpty())
        texts << quoted(m_strayText);
    if (m_lockStep.sent() > 0)
        texts << warning;
    return texts;
}

void FirmwareExchange::showStatusText()
{
    const QByteArray text = m_lockStep.takeStatusText();
    if (text.isEmpty())
        return;
    m_strayText = text;
    // Told without waiting: the unit gives a write up after a couple of seconds without a block.
    m_messages.note(quoted(text) + QLatin1Char('\n') + kWriteGoesOn);
}

void FirmwareExchange::LoadProshivkaFromFile(QByteArray &PoluchenoIzPorta, int &OgidaniePriema)
{
    if (m_state != State::Writing) {
        endWrite(Tag::WriteError);
        PoluchenoIzPorta.clear();
        return;
    }
    const LockStepWrite::Step step = m_lockStep.onRead(PoluchenoIzPorta, OgidaniePriema, m_link.pollCount());
    PoluchenoIzPorta.clear();
    switch (step) {
    case LockStepWrite::Step::SendNext:
        m_link.RPF_02ComError = 0;
        if (!m_link.send(m_blocks.view(m_lockStep.nextBlock()))) {
            endWrite(Tag::WriteError,
                     writeFailure(SerialLink::kSendErrorPrefix + QString::number(m_link.RPF_02ComError)));
            return;
        }
        m_lockStep.blockSent();
        SchetchikBaitov += FirmwareFile::kBlockSize;
        // The block goes out before the text is shown: the unit works on while the message waits.
        m_status.showProgress(SchetchikBaitov, FirmwareFile::kFirmwareSize);
        showStatusText();
        return;
    case LockStepWrite::Step::Finished: {
        // Every block acknowledged and the closing silence came: a text the unit sent meanwhile
        // was shown and does not undo that.
        QStringList texts;
        if (const QByteArray text = m_lockStep.takeStatusText(); !text.isEmpty())
            texts << quoted(text);
        endWrite(Tag::Written, texts);
        break;
    }
    case LockStepWrite::Step::Stalled:
        if (const QByteArray text = m_lockStep.takeStatusText(); !text.isEmpty())
            m_strayText = text;
        endWrite(Tag::WriteError,
                 writeFailure(m_lockStep.allSent() ? LockStepWrite::kNotAcknowledged : kCountMismatch));
        break;
    case LockStepWrite::Step::NoGoAhead:
        if (const QByteArray text = m_lockStep.takeStatusText(); !text.isEmpty())
            m_strayText = text;
        endWrite(Tag::WriteError, writeFailure(LockStepWrite::kNoGoAhead));
        break;
    case LockStepWrite::Step::Broken:   // not with shown stray text
    case LockStepWrite::Step::Wait:
        showStatusText();
        break;
    }
    m_status.showProgress(SchetchikBaitov, FirmwareFile::kFirmwareSize);
}

void FirmwareExchange::endWrite(const QString &tag, const QStringList &messages)
{
    m_blocks.clear();
    finish(tag, messages);
}

// --- the line gone ---

void FirmwareExchange::dropped(const QString &tag)
{
    // The port took the tag away and the handler will not be called again: the end is said at
    // once, with its final tag, the reason and what the file or the unit is left with.
    if (tag == Tag::FirmwareRead && m_state == State::Reading) {
        endRead(Tag::SaveError, {kLinkLostRead.arg(SchetchikBaitov).arg(FirmwareFile::kFirmwareSize),
                                 m_link.lossReason(), kNotSaved + ImyaFailaSohraneniya});
    } else if (tag == Tag::FirmwareWrite && m_state == State::Writing) {
        endWrite(Tag::WriteError,
                 writeFailure(kLinkLostWrite.arg(SchetchikBaitov).arg(FirmwareFile::kFirmwareSize) + QLatin1Char('\n')
                                  + m_link.lossReason(),
                              kMayBeUnusableLost));
    }
}
