#include "firmware/FirmwareFile.h"
#include "link/RussianCount.h"
#include <QDir>
#include <QFile>
#include <cstring>

namespace {
// Files are 190 kB of hex digits, so digits are told and read by arithmetic alone: no branch and no
// table look-up per character. The hex digits as a set of the 128 ASCII codes, in two words:
constexpr quint64 kHexBelow64 = Q_UINT64_C(0x03FF000000000000);   // '0'..'9'
constexpr quint64 kHexAbove64 = Q_UINT64_C(0x0000007E0000007E);   // 'A'..'F', 'a'..'f'

// 1 for a hex digit, else 0.
unsigned isHex(char c)
{
    const auto u = static_cast<unsigned char>(c);
    const quint64 upper = 0 - quint64((u >> 6) & 1);   // all ones from '@' on
    const quint64 set = kHexBelow64 ^ ((kHexBelow64 ^ kHexAbove64) & upper);
    return unsigned((set >> (u & 63)) & 1) & ~(u >> 7);
}

// The value of a hex digit (meaningless for anything else).
unsigned hexValue(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u & 0x0F) + 9 * ((u >> 6) & 1);
}

// An upper-case hex digit for 0..15.
char hexDigit(unsigned value)
{
    const unsigned letter = ((9 - int(value)) >> 8) & 1;   // 1 from 10 on
    return char('0' + value + 7 * letter);
}

// 1 for a blank (space or tab), else 0; by arithmetic as isHex.
unsigned isBlank(char c)
{
    constexpr quint64 kBlanks = (quint64(1) << ' ') | (quint64(1) << '\t');
    const auto u = static_cast<unsigned char>(c);
    return unsigned((kBlanks >> (u & 63)) & 1) & ~((u >> 6) | (u >> 7));
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Where the lines of a text end (CR or LF; CR LF is taken by the caller). Both are looked up with
// memchr and remembered, so the text is searched once for each.
class LineEnds {
public:
    LineEnds(const char *data, qsizetype size) : m_data(data), m_size(size) {}
    // The first line end at or after from, or the size; from never goes back.
    qsizetype next(qsizetype from)
    {
        m_cr = find(m_cr, '\r', from);
        m_lf = find(m_lf, '\n', from);
        return qMin(m_cr, m_lf);
    }

private:
    qsizetype find(qsizetype known, char c, qsizetype from) const
    {
        if (known >= from)
            return known;
        const void *hit = std::memchr(m_data + from, c, size_t(m_size - from));
        return hit ? static_cast<const char *>(hit) - m_data : m_size;
    }

    const char *m_data;
    qsizetype m_size;
    qsizetype m_cr = -1;
    qsizetype m_lf = -1;
};

// The two shapes nearly every line has, in either case: 64 times two digits and a blank (as format
// writes it; a tab will do for the blank), or the 128 digits alone. Checked in one pass without a
// decision per character.
template <int Stride>
bool decodeRegularLine(const char *line, char *block)
{
    unsigned faults = 0;
    for (const char *const end = line + Stride * FirmwareFile::kBlockSize; line != end; line += Stride) {
        faults |= (isHex(line[0]) & isHex(line[1])) ^ 1;
        if constexpr (Stride == 3)
            faults |= isBlank(line[2]) ^ 1;
        *block++ = char((hexValue(line[0]) << 4) | hexValue(line[1]));
    }
    return faults == 0;
}

bool decodeRegularLine(const char *line, qsizetype size, char *block)
{
    if (size == 3 * FirmwareFile::kBlockSize)
        return decodeRegularLine<3>(line, block);
    if (size == 2 * FirmwareFile::kBlockSize)
        return decodeRegularLine<2>(line, block);
    return false;
}

// Any line: pairs of hex digits, blanks between pairs optional; a pair such as "0O" is an error, not a
// zero. Every pair is checked and counted, only the first kBlockSize are kept in block.
bool decodeLine(const char *line, qsizetype size, char *block, qsizetype *count, QString *reason)
{
    *count = 0;
    qsizetype i = 0;
    while (i < size) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        if (i + 1 >= size || isBlank(line[i + 1])) {
            *reason = QStringLiteral("непарная цифра в позиции %1").arg(i + 1);
            return false;
        }
        if (!isHex(line[i]) || !isHex(line[i + 1])) {
            *reason = QStringLiteral("недопустимые символы \"%1\" в позиции %2")
                          .arg(QString::fromLatin1(line + i, 2))
                          .arg(i + 1);
            return false;
        }
        if (*count < FirmwareFile::kBlockSize)
            block[*count] = char((hexValue(line[i]) << 4) | hexValue(line[i + 1]));
        ++*count;
        i += 2;
    }
    return true;
}

// Two upper-case digits and a blank per byte, then CR LF; out has room for 3 * size + 2.
char *writeLine(const char *block, qsizetype size, char *out)
{
    for (const char *const end = block + size; block != end; ++block, out += 3) {
        const auto byte = static_cast<unsigned char>(*block);
        out[0] = hexDigit(byte >> 4);
        out[1] = hexDigit(byte & 0x0F);
        out[2] = ' ';
    }
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}
}

QByteArray FirmwareFile::formatLine(QByteArrayView block)
{
    QByteArray line(3 * block.size() + 2, Qt::Uninitialized);
    writeLine(block.constData(), block.size(), line.data());
    return line;
}

QByteArray FirmwareFile::format(const QByteArray &firmware)
{
    if (firmware.size() != kFirmwareSize)
        return {};
    QByteArray out(kFileSize, Qt::Uninitialized);
    char *at = out.data();
    for (const char *block = firmware.constData(), *end = block + kFirmwareSize; block != end; block += kBlockSize)
        at = writeLine(block, kBlockSize, at);
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

    // Lines end at CR LF, CR or LF. Empty lines at the end (an editor's final line end) are no blocks:
    // the text ends with the line of its last character that is neither a blank nor a line end.
    const char *const data = fileBytes.constData();
    qsizetype end = fileBytes.size();
    while (end > 0 && (isBlank(data[end - 1]) || isLineEnd(data[end - 1])))
        --end;
    if (end > 0)
        end = LineEnds(data, fileBytes.size()).next(end);

    content.blocks.reserve(kBlockCount);
    char block[kBlockSize];
    qsizetype count = 0;
    QString reason;
    LineEnds lineEnds(data, end);
    qsizetype at = 0;
    for (int i = 0; end > 0 && at <= end; ++i) {
        const qsizetype lineEnd = lineEnds.next(at);
        if (i >= kBlockCount)
            return fail(i + 1, QStringLiteral("лишняя строка: в файле прошивки %1 строк").arg(kBlockCount));
        if (!decodeRegularLine(data + at, lineEnd - at, block)) {
            if (!decodeLine(data + at, lineEnd - at, block, &count, &reason))
                return fail(i + 1, reason);
            if (count != kBlockSize)
                return fail(i + 1, RussianCount::bytes(count) + QStringLiteral(" вместо %1").arg(kBlockSize));
        }
        content.blocks.append(QByteArray(block, kBlockSize));
        at = lineEnd + 1;
        if (at < end && data[lineEnd] == '\r' && data[at] == '\n')
            ++at;
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
    // A file of a plausible size is read whole; of anything bigger (or a device), just enough to refuse it.
    const bool plausible = !file.isSequential() && file.size() <= kMaxFileSize;
    const QByteArray bytes = plausible ? file.readAll() : file.read(kMaxFileSize + 1);
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
