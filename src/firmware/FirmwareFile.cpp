#include "firmware/FirmwareFile.h"
#include "link/RussianCount.h"
#include <QDir>
#include <QFile>
#include <QtEndian>
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

// The word code below has no branch but its loop: coverage hooks there (on each turn and on each
// pointer-overflow check) guide no fuzzer and slow every file read in a fuzzing build several-fold.
#if defined(__clang__)
#define WORD_CODE __attribute__((no_sanitize("coverage")))
#else
#define WORD_CODE
#endif

// Eight characters at once, as the bytes of a word: the two shapes below are read a word at a time.
namespace Word {
constexpr quint64 kOnes = Q_UINT64_C(0x0101010101010101);
constexpr quint64 kHigh = kOnes * 0x80;

// Bit 7 of each byte set where x (bytes of 0..0x7F) is at least lo; no carry crosses a byte.
constexpr quint64 atLeast(quint64 x, unsigned lo)
{
    return (x + kOnes * (0x80 - lo)) & kHigh;
}

// Bit 7 of each byte set where x (bytes of 0..0x7F) is zero.
constexpr quint64 zero(quint64 x)
{
    return ~((x + kOnes * 0x7F) | x) & kHigh;
}

// Bit 7 of each byte set where the character is a hex digit.
quint64 hexDigits(quint64 w)
{
    const quint64 ascii = ~w & kHigh;
    const quint64 x = w & ~kHigh;
    const quint64 lower = x | kOnes * 0x20;   // 'A'..'F' as 'a'..'f'
    const quint64 digit = atLeast(x, '0') & ~atLeast(x, '9' + 1);
    const quint64 letter = atLeast(lower, 'a') & ~atLeast(lower, 'f' + 1);
    return (digit | letter) & ascii;
}

// Bit 7 of each byte set where the character is a blank (space or tab).
quint64 blanks(quint64 w)
{
    const quint64 x = w & ~kHigh;
    return (zero(x ^ kOnes * ' ') | zero(x ^ kOnes * '\t')) & ~w & kHigh;
}

// Each byte the value of its hex digit (meaningless for anything else).
quint64 values(quint64 w)
{
    return (w & kOnes * 0x0F) + 9 * ((w >> 6) & kOnes);
}

// The value of the digit in byte i of a word of values.
constexpr quint64 digit(quint64 values, int i)
{
    return (values >> (8 * i)) & 0x0F;
}

constexpr quint64 pair(quint64 high, int i, quint64 low, int j)
{
    return (digit(high, i) << 4) | digit(low, j);
}

// Bit 7 of the bytes listed.
constexpr quint64 at(std::initializer_list<int> bytes)
{
    quint64 mask = 0;
    for (const int i : bytes)
        mask |= quint64(0x80) << (8 * i);
    return mask;
}

quint64 load(const char *text)
{
    return qFromLittleEndian<quint64>(text);
}

void store(quint64 bytes, char *out)
{
    qToLittleEndian(bytes, out);
}
}

// The two shapes nearly every line has, in either case: 64 times two digits and a blank (as format
// writes it; a tab will do for the blank), or the 128 digits alone. Eight bytes are checked and
// decoded at once, from three words (24 characters) or two (16).
WORD_CODE bool decodeSpacedLine(const char *line, char *block)
{
    using namespace Word;
    // Where the blanks fall in the three words of eight groups "XX ".
    constexpr quint64 kBlanks0 = at({2, 5});
    constexpr quint64 kBlanks1 = at({0, 3, 6});
    constexpr quint64 kBlanks2 = at({1, 4, 7});
    quint64 faults = 0;
    for (const char *const end = line + 3 * FirmwareFile::kBlockSize; line != end; line += 24, block += 8) {
        const quint64 w0 = load(line);
        const quint64 w1 = load(line + 8);
        const quint64 w2 = load(line + 16);
        faults |= (hexDigits(w0) | kBlanks0) ^ kHigh;
        faults |= (hexDigits(w1) | kBlanks1) ^ kHigh;
        faults |= (hexDigits(w2) | kBlanks2) ^ kHigh;
        faults |= (blanks(w0) & kBlanks0) ^ kBlanks0;
        faults |= (blanks(w1) & kBlanks1) ^ kBlanks1;
        faults |= (blanks(w2) & kBlanks2) ^ kBlanks2;
        const quint64 v0 = values(w0);
        const quint64 v1 = values(w1);
        const quint64 v2 = values(w2);
        store(pair(v0, 0, v0, 1) | pair(v0, 3, v0, 4) << 8 | pair(v0, 6, v0, 7) << 16 | pair(v1, 1, v1, 2) << 24
                  | pair(v1, 4, v1, 5) << 32 | pair(v1, 7, v2, 0) << 40 | pair(v2, 2, v2, 3) << 48
                  | pair(v2, 5, v2, 6) << 56,
              block);
    }
    return faults == 0;
}

WORD_CODE bool decodeCompactLine(const char *line, char *block)
{
    using namespace Word;
    quint64 faults = 0;
    for (const char *const end = line + 2 * FirmwareFile::kBlockSize; line != end; line += 16, block += 8) {
        const quint64 w0 = load(line);
        const quint64 w1 = load(line + 8);
        faults |= hexDigits(w0) ^ kHigh;
        faults |= hexDigits(w1) ^ kHigh;
        const quint64 v0 = values(w0);
        const quint64 v1 = values(w1);
        store(pair(v0, 0, v0, 1) | pair(v0, 2, v0, 3) << 8 | pair(v0, 4, v0, 5) << 16 | pair(v0, 6, v0, 7) << 24
                  | pair(v1, 0, v1, 1) << 32 | pair(v1, 2, v1, 3) << 40 | pair(v1, 4, v1, 5) << 48
                  | pair(v1, 6, v1, 7) << 56,
              block);
    }
    return faults == 0;
}

bool decodeRegularLine(const char *line, qsizetype size, char *block)
{
    if (size == 3 * FirmwareFile::kBlockSize)
        return decodeSpacedLine(line, block);
    if (size == 2 * FirmwareFile::kBlockSize)
        return decodeCompactLine(line, block);
    return false;
}

// Any line: pairs of hex digits, blanks between pairs optional; a pair such as "0O" is an error, not a
// zero. Every pair is checked and counted, only the first kBlockSize are kept in block.
// The two bytes as hex, and as characters only when they are plain ASCII: in another code page they
// would read as letters the file does not hold.
QString badCharacters(const char *pair, qsizetype position)
{
    const auto plain = [](char c) { return c > ' ' && c < 0x7F; };
    const QString hex = QStringLiteral("%1 %2")
                            .arg(uchar(pair[0]), 2, 16, QLatin1Char('0'))
                            .arg(uchar(pair[1]), 2, 16, QLatin1Char('0'))
                            .toUpper();
    if (plain(pair[0]) && plain(pair[1]))
        return QStringLiteral("недопустимые символы \"%1\" (%2) в позиции %3")
            .arg(QString::fromLatin1(pair, 2), hex)
            .arg(position);
    return QStringLiteral("недопустимые символы (%1) в позиции %2").arg(hex).arg(position);
}

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
            *reason = badCharacters(line + i, i + 1);
            return false;
        }
        if (*count < FirmwareFile::kBlockSize)
            block[*count] = char((hexValue(line[i]) << 4) | hexValue(line[i + 1]));
        ++*count;
        i += 2;
    }
    return true;
}

// Eight bytes as 24 characters "XX XX ... XX " in three words.
WORD_CODE Q_ALWAYS_INLINE void writeEight(quint64 bytes, char *out)
{
    using namespace Word;
    const quint64 high = (bytes >> 4) & kOnes * 0x0F;
    const quint64 low = bytes & kOnes * 0x0F;
    // '0' + n, and 7 more from 10 on: 'A'..'F'.
    const quint64 h = high + kOnes * '0' + 7 * (atLeast(high, 10) >> 7);
    const quint64 l = low + kOnes * '0' + 7 * (atLeast(low, 10) >> 7);
    const auto c = [](quint64 digits, int i, int to) { return ((digits >> (8 * i)) & 0xFF) << (8 * to); };
    constexpr quint64 blank = ' ';
    store(c(h, 0, 0) | c(l, 0, 1) | blank << 16 | c(h, 1, 3) | c(l, 1, 4) | blank << 40 | c(h, 2, 6) | c(l, 2, 7), out);
    store(blank | c(h, 3, 1) | c(l, 3, 2) | blank << 24 | c(h, 4, 4) | c(l, 4, 5) | blank << 48 | c(h, 5, 7), out + 8);
    store(c(l, 5, 0) | blank << 8 | c(h, 6, 2) | c(l, 6, 3) | blank << 32 | c(h, 7, 5) | c(l, 7, 6) | blank << 56,
          out + 16);
}

// Two upper-case digits and a blank per byte, then CR LF; out has room for 3 * size + 2.
WORD_CODE char *writeLine(const char *block, qsizetype size, char *out)
{
    for (; size >= 8; size -= 8, block += 8, out += 24)
        writeEight(Word::load(block), out);
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
    return firmware.size() == kFirmwareSize ? formatBlocks(firmware) : QByteArray();
}

QByteArray FirmwareFile::formatBlocks(QByteArrayView blocks)
{
    const qsizetype count = blocks.size() / kBlockSize;
    QByteArray out(count * (3 * kBlockSize + 2), Qt::Uninitialized);
    char *at = out.data();
    for (const char *block = blocks.data(), *end = block + count * kBlockSize; block != end; block += kBlockSize)
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

    // The bytes go into one buffer, kept as the blocks once the whole file has passed.
    QByteArray firmware(kFirmwareSize, Qt::Uninitialized);
    int lines = 0;
    qsizetype count = 0;
    QString reason;
    LineEnds lineEnds(data, end);
    qsizetype at = 0;
    for (; end > 0 && at <= end; ++lines) {
        if (lines >= kBlockCount)
            return fail(lines + 1, QStringLiteral("лишняя строка: в файле прошивки %1 строк").arg(kBlockCount));
        char *const block = firmware.data() + qsizetype(lines) * kBlockSize;
        // A line as written ends right after its 192 characters, which hold no line end if they pass;
        // any other line end is looked for.
        qsizetype lineEnd = at + 3 * kBlockSize;
        const bool asWritten = lineEnd <= end && (lineEnd == end || isLineEnd(data[lineEnd]))
            && decodeSpacedLine(data + at, block);
        if (!asWritten) {
            lineEnd = lineEnds.next(at);
            if (!decodeRegularLine(data + at, lineEnd - at, block)) {
                if (!decodeLine(data + at, lineEnd - at, block, &count, &reason))
                    return fail(lines + 1, reason);
                if (count != kBlockSize)
                    return fail(lines + 1, RussianCount::bytes(count) + QStringLiteral(" вместо %1").arg(kBlockSize));
            }
        }
        at = lineEnd + 1;
        if (at < end && data[lineEnd] == '\r' && data[at] == '\n')
            ++at;
    }
    if (lines < kBlockCount) {
        return fail(lines + 1, QStringLiteral("строка отсутствует: в файле %1 вместо %2")
                                   .arg(RussianCount::lines(lines))
                                   .arg(kBlockCount));
    }
    content.blocks = Blocks(std::move(firmware));
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
