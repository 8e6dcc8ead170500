#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/FileErrorNumber.h"
#include "config/FileRead.h"
#include "config/FileWriter.h"
#include "link/Converters.h"
#include "link/OperationTags.h"
#include "link/RussianCount.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/Clock.h"
#include "shell/MessageSink.h"
#include <QDir>
#include <QFile>
#include <array>

namespace {

// Digit values by byte, -1 for what is not a hex digit: one look-up per byte.
constexpr std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> values{};
    for (int c = 0; c < 256; ++c) {
        values[c] = -1;
        if (c >= '0' && c <= '9')
            values[c] = static_cast<signed char>(c - '0');
        else if (c >= 'A' && c <= 'F')
            values[c] = static_cast<signed char>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            values[c] = static_cast<signed char>(c - 'a' + 10);
    }
    return values;
}();

int hexValue(char c)
{
    return kHexValues[static_cast<unsigned char>(c)];
}

const char kDigits[] = "0123456789ABCDEF";

// Two digits and a blank; returns where the next byte goes.
char *writeHex(char *to, unsigned char byte)
{
    to[0] = kDigits[byte >> 4];
    to[1] = kDigits[byte & 0x0F];
    to[2] = ' ';
    return to + 3;
}

char *writeLineEnd(char *to)
{
    to[0] = '\r';
    to[1] = '\n';
    return to + 2;
}

// Pairs of hex digits with optional blanks between pairs; anything else fails.
std::optional<QByteArray> decodeStrict(const QByteArray &line)
{
    QByteArray out(line.size() / 2, Qt::Uninitialized);
    char *to = out.data();
    const char *at = line.constData();
    const char *const end = at + line.size();
    while (at < end) {
        if (*at == ' ') {
            ++at;
            continue;
        }
        const int high = hexValue(*at);
        const int low = at + 1 < end ? hexValue(at[1]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        *to++ = char(high * 16 + low);
        at += 2;
    }
    out.truncate(to - out.constData());
    return out;
}

}

ConfigFiles::ConfigFiles(ConfigImage &image, SerialLink &link, StatusModel &status, MessageSink &messages,
                         FileDialogs &dialogs, Clock &clock, const QString &programFolder)
    : m_image(image), m_link(link), m_status(status), m_messages(messages), m_dialogs(dialogs), m_clock(clock),
      m_programFolder(programFolder)
{
}

FileDialogRequest ConfigFiles::dialogRequest(bool forWriting) const
{
    FileDialogRequest request;
    request.initialFolder = QDir(m_programFolder).filePath(kFolderName) + QLatin1Char('/');
    request.filter = kFilter;
    request.defaultSuffix = kSuffix;
    if (forWriting)
        request.defaultName = m_clock.now().toString(QStringLiteral("yyyyMMddHHmmss"));
    return request;
}

std::optional<QString> ConfigFiles::chooseFile(bool forWriting)
{
    const FileDialogRequest request = dialogRequest(forWriting);
    const std::optional<QString> name =
        forWriting ? m_dialogs.saveFileName(request) : m_dialogs.openFileName(request);
    if (!name || name->isEmpty())
        return std::nullopt;
    if (!forWriting)
        m_link.RPF_02ComError = 0;
    return name;
}

QByteArray ConfigFiles::formatLine(const QByteArray &bytes)
{
    QByteArray out(bytes.size() * 3 + 2, Qt::Uninitialized);
    char *to = out.data();
    for (const char byte : bytes)
        to = writeHex(to, static_cast<unsigned char>(byte));
    writeLineEnd(to);
    return out;
}

QByteArray ConfigFiles::formatImage(const ConfigImage &image)
{
    if (!image.isFilled(1, ConfigImage::kMemorySize))
        return {};
    // Opening a file without its model bytes line leaves those two cells as they were, often empty.
    const int last = image.isFilled(ConfigImage::kMemorySize + 1, ConfigImage::kImageSize) ? ConfigImage::kImageSize
                                                                                           : ConfigImage::kMemorySize;
    const int lines = (last + ConfigImage::kBlockSize - 1) / ConfigImage::kBlockSize;
    QByteArray out(last * 3 + lines * 2, Qt::Uninitialized);
    char *to = out.data();
    for (int position = 1; position <= last; ++position) {
        to = writeHex(to, static_cast<unsigned char>(image.byteAt(position)));
        if (position % ConfigImage::kBlockSize == 0 || position == last)
            to = writeLineEnd(to);
    }
    return out;
}

ConfigFiles::Content ConfigFiles::parse(const QByteArray &fileBytes, Scope scope)
{
    Content content;
    const QList<QByteArray> lines = Converters::SplitLines(fileBytes);
    const auto fail = [&content](int line, const QString &reason) {
        content.badLine = line;
        content.reason = reason;
        content.blocks.clear();
        content.tail.clear();
        return content;
    };
    const auto checkLine = [](const QByteArray &line, int expected, QString *reason) -> std::optional<QByteArray> {
        const std::optional<QByteArray> bytes = decodeStrict(line);
        if (!bytes) {
            *reason = QStringLiteral("недопустимые символы");
            return std::nullopt;
        }
        if (bytes->size() != expected) {
            *reason = RussianCount::bytes(bytes->size()) + QStringLiteral(" вместо %1").arg(expected);
            return std::nullopt;
        }
        return bytes;
    };

    QString reason;
    for (int i = 0; i < ConfigImage::kBlockCount; ++i) {
        if (i >= lines.size())
            return fail(i + 1, QStringLiteral("строка отсутствует"));
        const std::optional<QByteArray> block = checkLine(lines.at(i), ConfigImage::kBlockSize, &reason);
        if (!block)
            return fail(i + 1, reason);
        content.blocks.append(*block);
    }
    if (scope == Scope::SentBlocks) {
        // Nothing after the blocks is sent, so nothing there can be a reason to refuse the file.
        content.ok = true;
        return content;
    }
    const int tailIndex = ConfigImage::kBlockCount;
    if (tailIndex < lines.size() && !lines.at(tailIndex).trimmed().isEmpty()) {
        const std::optional<QByteArray> tail = checkLine(lines.at(tailIndex), ConfigImage::kTailSize, &reason);
        if (!tail)
            return fail(tailIndex + 1, reason);
        content.tail = *tail;
    }
    for (int i = tailIndex + 1; i < lines.size(); ++i) {
        if (!lines.at(i).trimmed().isEmpty())
            return fail(i + 1, QStringLiteral("лишняя строка"));
    }
    content.ok = true;
    return content;
}

QString ConfigFiles::writeErrorText(const FileWriter &file)
{
    return kWriteError + file.path() + QLatin1Char('\n') + file.explanation();
}

QString ConfigFiles::formatErrorText(const QString &fileName, const Content &content)
{
    return kFormatError.arg(fileName).arg(content.badLine).arg(content.reason);
}

std::optional<ConfigFiles::Content> ConfigFiles::readChecked(const QString &fileName, Scope scope,
                                                             const QString &refusalTag)
{
    QFile file(fileName);
    // Read straight into the bytes, without the device's own buffer in between.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_messages.show(kOpenError + fileName);
        return std::nullopt;
    }
    QByteArray bytes = FileRead::atMost(file, kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        const int number = FileErrorNumber::of(file.error());
        m_messages.show(kReadError + fileName);
        m_status.setConnection(SerialLink::kSendErrorPrefix + QString::number(number), file.errorString());
        m_link.RPF_02ComError = number;
        m_link.RPF_02VektorPriemaIsPorta = Tag::WriteError;
        return std::nullopt;
    }
    Content content;
    if (bytes.size() > kMaxFileSize && scope == Scope::WholeFile) {
        content.badLine = 1;
        content.reason = QStringLiteral("файл слишком велик");
    } else {
        // The blocks lie at the start; whatever follows the bound is not looked at.
        bytes.truncate(kMaxFileSize);
        content = parse(bytes, scope);
    }
    if (!content.ok) {
        if (!refusalTag.isEmpty())
            m_link.RPF_02VektorPriemaIsPorta = refusalTag;
        m_messages.show(formatErrorText(fileName, content));
        return std::nullopt;
    }
    return content;
}

void ConfigFiles::Save()
{
    NomerBaitaKonfiguracii = 0;
    SchetchikBaitov = 0;
    // Empty cells would shift every later byte into the wrong line of the file.
    const auto refuse = [this] {
        m_link.RPF_02VektorPriemaIsPorta = Tag::SaveError;
        m_messages.show(kIncompleteImage.arg(m_image.firstEmpty(1, ConfigImage::kMemorySize)));
    };
    if (formatImage(m_image).isEmpty()) {
        refuse();
        return;
    }
    const std::optional<QString> name = chooseFile(true);
    if (!name)
        return;
    // Checked again: the image may have changed while the dialog was open.
    const QByteArray content = formatImage(m_image);
    if (content.isEmpty()) {
        refuse();
        return;
    }
    FileWriter file(*name);
    if (!file.open()) {
        m_messages.show(kCreateError + *name + QLatin1Char('\n') + file.explanation());
        return;
    }
    NomerBaitaKonfiguracii = ConfigImage::kImageSize;
    SchetchikBaitov = ConfigImage::kImageSize;
    m_status.showProgress(SchetchikBaitov, ConfigImage::kImageSize);
    if (!file.write(content) || !file.commit()) {
        m_link.RPF_02VektorPriemaIsPorta = Tag::SaveError;
        m_messages.show(writeErrorText(file));
        return;
    }
    m_link.RPF_02VektorPriemaIsPorta = Tag::Saved;
}

void ConfigFiles::Open()
{
    NomerBaitaKonfiguracii = 0;
    SchetchikBaitov = 0;
    const std::optional<QString> name = chooseFile(false);
    if (!name)
        return;
    const std::optional<Content> content = readChecked(*name);
    if (!content)
        return;
    for (const QByteArray &block : content->blocks) {
        m_image.setBytes(NomerBaitaKonfiguracii + 1, block.constData(), block.size());
        NomerBaitaKonfiguracii += ConfigImage::kBlockSize;
        SchetchikBaitov = NomerBaitaKonfiguracii;
        m_status.showProgress(SchetchikBaitov, ConfigImage::kMemorySize);
    }
    m_image.setBytes(NomerBaitaKonfiguracii + 1, content->tail.constData(), content->tail.size());
    // A whole checked file replaces whatever an unfinished read left.
    m_image.setPartial(false);
    m_image.setLoadedFromFile(m_clock.now());
}

void ConfigFiles::Content::fill(ConfigImage &image) const
{
    int position = 1;
    for (const QByteArray &block : blocks)
        for (const char byte : block)
            image.setByte(position++, static_cast<unsigned char>(byte));
    for (const char byte : tail)
        image.setByte(position++, static_cast<unsigned char>(byte));
}
