#include "firmware/FirmwareFile.h"
#include "link/Converters.h"
#include "link/RussianCount.h"
#include <QDir>
#include <QFile>

namespace {
bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Pairs of hex digits, blanks between pairs optional; a pair such as "0O" is an error, not a zero.
bool decodeLine(const QByteArray &line, QByteArray *bytes, QString *reason)
{
    bytes->clear();
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        if (isBlank(line.at(i))) {
            ++i;
            continue;
        }
        if (i + 1 >= n || isBlank(line.at(i + 1))) {
            *reason = QStringLiteral("непарная цифра в позиции %1").arg(i + 1);
            return false;
        }
        if (!isHexDigit(line.at(i)) || !isHexDigit(line.at(i + 1))) {
            *reason = QStringLiteral("недопустимые символы \"%1\" в позиции %2")
                          .arg(QString::fromLatin1(line.mid(i, 2)))
                          .arg(i + 1);
            return false;
        }
        bytes->append(char(QByteArray::fromHex(line.mid(i, 2)).at(0)));
        i += 2;
    }
    return true;
}


bool isEmptyLine(const QByteArray &line)
{
    for (const char c : line) {
        if (!isBlank(c))
            return false;
    }
    return true;
}
}

QByteArray FirmwareFile::formatLine(const QByteArray &block)
{
    QByteArray copy = block;
    return Converters::BytesToHexText(copy).toLatin1() + QByteArrayLiteral("\r\n");
}

QByteArray FirmwareFile::format(const QByteArray &firmware)
{
    if (firmware.size() != kFirmwareSize)
        return {};
    QByteArray out;
    out.reserve(kFileSize);
    for (int at = 0; at < kFirmwareSize; at += kBlockSize)
        out += formatLine(firmware.mid(at, kBlockSize));
    return out;
}

FirmwareFile::Content FirmwareFile::parse(const QByteArray &fileBytes)
{
    Content content;
    const auto fail = [&content](int line, const QString &reason) {
        content.failure = Content::Failure::Format;
        content.badLine = line;
        content.reason = reason;
        content.blocks.clear();
        return content;
    };
    if (fileBytes.size() > kMaxFileSize)
        return fail(1, QStringLiteral("файл слишком велик"));

    QList<QByteArray> lines = Converters::SplitLines(fileBytes);
    // Empty lines at the end (an editor's final line end) are no blocks.
    while (!lines.isEmpty() && isEmptyLine(lines.last()))
        lines.removeLast();

    content.blocks.reserve(kBlockCount);
    QByteArray block;
    QString reason;
    for (int i = 0; i < lines.size(); ++i) {
        if (i >= kBlockCount)
            return fail(i + 1, QStringLiteral("лишняя строка: в файле прошивки %1 строк").arg(kBlockCount));
        if (!decodeLine(lines.at(i), &block, &reason))
            return fail(i + 1, reason);
        if (block.size() != kBlockSize)
            return fail(i + 1, RussianCount::bytes(block.size()) + QStringLiteral(" вместо %1").arg(kBlockSize));
        content.blocks.append(block);
    }
    if (content.blocks.size() < kBlockCount) {
        const int missing = int(content.blocks.size()) + 1;
        return fail(missing, QStringLiteral("строка отсутствует: в файле %1 вместо %2")
                                 .arg(RussianCount::lines(content.blocks.size()))
                                 .arg(kBlockCount));
    }
    return content;
}

FirmwareFile::Content FirmwareFile::read(const QString &fileName)
{
    Content content;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        content.failure = Content::Failure::Open;
        content.reason = file.errorString();
        return content;
    }
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        content.failure = Content::Failure::Read;
        content.reason = file.errorString();
        return content;
    }
    return parse(bytes);
}

FileDialogRequest FirmwareFile::dialogRequest(const QString &programFolder, bool forWriting, const QDateTime &now)
{
    FileDialogRequest request;
    request.initialFolder = QDir(programFolder).filePath(kFolderName) + QLatin1Char('/');
    request.filter = kFilter;
    request.defaultSuffix = kSuffix;
    if (forWriting)
        request.defaultName = now.toString(QStringLiteral("yyyyMMddHHmmss"));
    return request;
}
