#include "settings/ProgramSettings.h"
#include "config/FileRead.h"
#include "config/FileWriter.h"
#include "link/Converters.h"
#include "link/Cp1251.h"
#include "settings/ProgramOptions.h"
#include "shell/MessageSink.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cerrno>

namespace {

const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// Blanks and control characters off both ends, nothing else: a no-break space is text. (In a
// UTF-8 file with a stray byte, the Windows-1251 reading sees that byte as a no-break space; trimmed
// away, the saved file would be read as UTF-8 the next time and mean something else.)
QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= u' ')
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= u' ')
        --end;
    return text.sliced(begin, end - begin);
}

bool hasNonAscii(const QByteArray &bytes)
{
    return std::any_of(bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<uchar>(c) >= 0x80; });
}

bool isPortNumber(int n) { return n >= 1 && n <= 32767; }

} // namespace

ProgramSettings::ProgramSettings(QString filePath, ProgramOptions &options, MessageSink &messages, QObject *parent)
    : QObject(parent), m_filePath(std::move(filePath)), m_options(options), m_messages(messages)
{
}

std::optional<int> ProgramSettings::loadedOption(int check) const
{
    return check >= 1 && check <= ProgramOptions::kCount ? m_loadedOptions[check - 1] : std::nullopt;
}

QString ProgramSettings::checkKey(int check)
{
    // Every line of a load and a refresh is compared with these: made once.
    static const std::array<QString, ProgramOptions::kCount> keys = [] {
        std::array<QString, ProgramOptions::kCount> made;
        for (int c = 1; c <= ProgramOptions::kCount; ++c)
            made[c - 1] = QStringLiteral("RPF_19.Check%1:").arg(c);
        return made;
    }();
    return check >= 1 && check <= ProgramOptions::kCount ? keys[check - 1] : QStringLiteral("RPF_19.Check%1:").arg(check);
}

QStringList ProgramSettings::defaultLines()
{
    QStringList lines;
    for (int port = 1; port <= 8; ++port)
        lines << kPortKey + QString::number(port);
    for (const QString &speed : kDefaultSpeeds)
        lines << kSpeedKey + speed;
    lines << kActivePortKey + QStringLiteral("1") << kActiveSpeedKey + QStringLiteral("1")
          << kActiveHandshakeKey + QStringLiteral("1");
    // Search on loss, read on detection and search at start on; wizard and last connection off.
    const int states[ProgramOptions::kCount] = {1, 1, 0, 0, 1};
    for (int check = 1; check <= ProgramOptions::kCount; ++check)
        lines << checkKey(check) + QString::number(states[check - 1]);
    return lines;
}

QByteArray ProgramSettings::encodeLines(const QStringList &lines, bool utf8, bool utf8Bom)
{
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    QString text;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    QByteArray bytes = utf8 ? text.toUtf8() : Cp1251::encode(text);
    if (utf8 && utf8Bom)
        return kUtf8Bom + bytes;
    // The BOM's bytes stood after blanks, which the load trims: one blank stays before them, or the
    // next load would take them for a BOM and read the file differently.
    if (bytes.startsWith(kUtf8Bom))
        bytes.prepend(' ');
    return bytes;
}

int ProgramSettings::portNumber(const QString &value)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok && isPortNumber(number) ? number : 0;
}

void ProgramSettings::splitLine(const QString &line, QString &key, QString &value)
{
    const QStringView text = trimBlanks(line);
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        key.clear();
        value = text.toString();
        return;
    }
    key = trimBlanks(text.left(colon + 1)).toString();
    value = trimBlanks(text.mid(colon + 1)).toString();
}

QString ProgramSettings::decode(const QByteArray &bytes)
{
    m_utf8Bom = bytes.startsWith(kUtf8Bom);
    const QByteArray body = m_utf8Bom ? bytes.mid(kUtf8Bom.size()) : bytes;
    // The BOM is handled above; a second one is text (Qt would drop it silently).
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString asUtf8 = utf8.decode(body);
    const bool validUtf8 = !utf8.hasError();
    const QString asCp1251 = Cp1251::decode(bytes);

    // The reading in which more of the program's own (Cyrillic) keys are found wins, so that one
    // stray byte anywhere cannot hide every key. Invalid UTF-8 bytes become U+FFFD and are written
    // back as such, after which the file reads the same on every load.
    const auto knownKeys = [](const QString &text) {
        static const QStringList keys{kPortKey, kSpeedKey, kActivePortKey, kActiveSpeedKey, kActiveHandshakeKey};
        int found = 0;
        // The lines end at CR or LF; each end is looked for again only once the lines have passed it.
        const QStringView all(text);
        const auto next = [all](char16_t end, qsizetype from) {
            const qsizetype at = all.indexOf(QChar(end), from);
            return at < 0 ? all.size() : at;
        };
        qsizetype start = 0;
        qsizetype cr = next(u'\r', 0);
        qsizetype lf = next(u'\n', 0);
        for (;;) {
            if (cr < start)
                cr = next(u'\r', start);
            if (lf < start)
                lf = next(u'\n', start);
            const qsizetype stop = std::min(cr, lf);
            // The key as splitLine() takes it, without copying the line.
            const QStringView trimmed = trimBlanks(all.sliced(start, stop - start));
            const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
            if (colon >= 0) {
                const QStringView key = trimBlanks(trimmed.left(colon + 1));
                found += std::any_of(keys.cbegin(), keys.cend(), [key](const QString &k) { return k == key; }) ? 1 : 0;
            }
            if (stop == all.size())
                return found;
            start = stop + 1;
        }
    };
    if (m_utf8Bom) {
        m_utf8 = true;
    } else {
        const int utf8Keys = knownKeys(asUtf8);
        const int cp1251Keys = knownKeys(asCp1251);
        // Without keys to tell, valid UTF-8 with non-ASCII text was edited by hand on Linux.
        m_utf8 = utf8Keys != cp1251Keys ? utf8Keys > cp1251Keys : validUtf8 && hasNonAscii(body);
    }
    return m_utf8 ? asUtf8 : asCp1251;
}

bool ProgramSettings::readLines(QStringList &lines)
{
    QFile file(m_filePath);
    if (!file.exists())
        return false;
    QByteArray bytes;
    // Read straight into the text, without the device's own buffer in between.
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        bytes = FileRead::atMost(file, kMaxFileBytes + 1);
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        m_readFailed = true;
        const QFileInfo info(m_filePath);
        m_readErrno = info.isDir() ? EISDIR : !info.isReadable() ? EACCES : EIO;
        return false;
    }
    if (bytes.size() > kMaxFileBytes) {
        m_truncated = true;
        bytes.truncate(kMaxFileBytes);
        // The line the bound cuts through is not read at all.
        bytes.truncate(std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r')) + 1);
    }

    QString text = decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines = text.split(QLatin1Char('\n'));
    // A line end closes the last line; it does not start another one.
    if (lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() > kMaxLines) {
        m_truncated = true;
        lines.erase(lines.begin() + kMaxLines, lines.end());
    }
    return true;
}

bool ProgramSettings::isKnownKey(const QString &key)
{
    if (key == kPortKey || key == kSpeedKey || key == kActivePortKey || key == kActiveSpeedKey
        || key == kActiveHandshakeKey)
        return true;
    for (int check = 1; check <= ProgramOptions::kCount; ++check) {
        if (key == checkKey(check))
            return true;
    }
    return false;
}

void ProgramSettings::applyLine(const QString &line)
{
    QString key, value;
    splitLine(line, key, value);
    if (key.isEmpty())
        return;
    bool ok = false;
    const int number = value.toInt(&ok);
    // 1-based list positions; checked before subtracting, since the value may be any int.
    const int listIndex = ok && number >= 1 ? number - 1 : -1;

    // A value that cannot be applied leaves this line without effect; the line itself is kept.
    if (key == kPortKey) {
        if (ok && isPortNumber(number))
            m_portItems.append(value);
    } else if (key == kSpeedKey) {
        if (ok && number > 0)
            m_speedItems.append(value);
    } else if (key == kActivePortKey) {
        if (ok && isPortNumber(number))
            m_activePort = number;
    } else if (key == kActiveSpeedKey) {
        if (listIndex >= 0 && listIndex < m_speedItems.size())
            m_speedIndex = listIndex;
    } else if (key == kActiveHandshakeKey) {
        if (listIndex >= 0 && listIndex < 4)
            m_handshakeIndex = listIndex;
    } else {
        for (int check = 1; check <= ProgramOptions::kCount; ++check) {
            if (key != checkKey(check))
                continue;
            if (!ok || !m_options.setCheckState(check, number))
                return;
            m_loadedOptions[check - 1] = number;
            if (check == 3 && number == 1)
                m_wizard = true;
            return;
        }
    }
}

void ProgramSettings::TXconfigLoadParam()
{
    StrokiTX = QStringList{QString()};
    KolichestvoStrokTX = 0;
    m_utf8 = false;
    m_utf8Bom = false;
    m_readFailed = false;
    m_notSettings = false;
    m_truncated = false;
    m_heldUntilUserSave = false;
    m_portItems.clear();
    m_speedItems.clear();
    m_speedIndex = -1;
    m_activePort.reset();
    m_handshakeIndex.reset();
    for (std::optional<int> &option : m_loadedOptions)
        option.reset();
    m_wizard = false;

    // Without a readable file the program starts as a fresh installation would; so it does with an
    // empty file, which is left as it is until the user saves.
    QStringList lines;
    const bool read = readLines(lines);
    const bool empty = read && std::all_of(lines.cbegin(), lines.cend(), [](const QString &l) {
        return trimBlanks(l).isEmpty();
    });
    const int linesRead = int(lines.size());
    // Binary bytes without one setting among them are no settings file of the program's: saving the
    // defaults' lines over them would lose the file, and saving its own lines would keep no setting.
    // A text file of unknown lines is still the user's settings file, kept line for line.
    const bool binary = std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return std::any_of(line.cbegin(), line.cend(), [](QChar c) { return c < QChar(0x20) && c != u'\t'; });
    });
    m_notSettings = read && binary && std::none_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        QString key, value;
        splitLine(line, key, value);
        return isKnownKey(key);
    });
    if (!read || empty || m_notSettings)
        lines = defaultLines();
    m_heldUntilUserSave = empty;
    for (const QString &line : std::as_const(lines))
        StrokiTX << trimBlanks(line).toString();
    KolichestvoStrokTX = lines.size();
    m_loaded = true;

    for (int i = 1; i <= KolichestvoStrokTX; ++i)
        applyLine(StrokiTX.at(i));
    // A hand-written file may offer or choose no speed; the port cannot open at speed 0, so the
    // page's built-in speeds and the first of the list stand in.
    if (m_speedItems.isEmpty()) {
        m_speedItems = kDefaultSpeeds;
        // The file's choice, which had no list to select from while its lines were applied.
        for (int i = 1; i <= KolichestvoStrokTX; ++i) {
            QString key, value;
            splitLine(StrokiTX.at(i), key, value);
            const int position = Converters::leadingNumber(value);
            if (key == kActiveSpeedKey && position >= 1 && position <= m_speedItems.size())
                m_speedIndex = position - 1;
        }
    }
    if (m_speedIndex < 0 || m_speedIndex >= m_speedItems.size())
        m_speedIndex = 0;
    if (m_truncated)
        m_messages.show(kTooLarge.arg(linesRead).arg(QDir::toNativeSeparators(m_filePath)));
    // Said when it happens, not first at a save much later.
    if (m_notSettings)
        m_messages.show(kUnreadable.arg(QDir::toNativeSeparators(m_filePath), kNoSettingLines));
    if (m_readFailed)
        m_messages.show(kOpenError + QString::number(FileWriter::classicNumberFor(m_readErrno)) + QLatin1Char('\n')
                        + kUnreadable.arg(QDir::toNativeSeparators(m_filePath), FileWriter::reasonFor(m_readErrno)));

    // Ports numbered while the program runs stay listed over a reload.
    for (int number : std::as_const(m_addedPorts))
        insertPortLine(number);
    emit loaded();
    emit changed();
}

void ProgramSettings::addPortNumber(int number)
{
    if (!isPortNumber(number))
        return;
    if (!m_addedPorts.contains(number))
        m_addedPorts << number;
    if (m_loaded && insertPortLine(number))
        emit changed();
}

bool ProgramSettings::insertPortLine(int number)
{
    // After the last port line, so the list lines still stand before the lines that choose from them.
    int at = 1;
    for (int i = 1; i <= KolichestvoStrokTX; ++i) {
        QString key, value;
        splitLine(StrokiTX.at(i), key, value);
        if (key != kPortKey)
            continue;
        if (portNumber(value) == number)
            return false;
        at = i + 1;
    }
    StrokiTX.insert(at, kPortKey + QString::number(number));
    ++KolichestvoStrokTX;
    m_portItems.append(QString::number(number));
    return true;
}

void ProgramSettings::TXconfigUpdateParam(const Choice &choice)
{
    for (int i = 1; i <= KolichestvoStrokTX; ++i) {
        QString key, value;
        splitLine(StrokiTX.at(i), key, value);
        if (key.isEmpty())
            continue;
        QString newValue;
        if (key == kPortKey || key == kSpeedKey) {
            newValue = value;
        } else if (key == kActivePortKey) {
            newValue = QString::number(choice.port);
        } else if (key == kActiveSpeedKey) {
            // With no speed selected the remembered one is kept rather than written as 0.
            const int index = choice.speedIndex;
            newValue = index >= 0 ? QString::number(index + 1) : value;
        } else if (key == kActiveHandshakeKey) {
            newValue = QString::number(choice.handshakeIndex + 1);
        } else {
            for (int check = 1; check <= ProgramOptions::kCount && newValue.isNull(); ++check) {
                if (key == checkKey(check))
                    newValue = QString::number(m_options.checkState(check));
            }
            if (newValue.isNull())
                continue;
        }
        StrokiTX[i] = key + newValue;
    }
    // The unit's choices are now the remembered ones.
    m_activePort = choice.port;
    if (choice.speedIndex >= 0 && choice.speedIndex < m_speedItems.size())
        m_speedIndex = choice.speedIndex;
    m_handshakeIndex = choice.handshakeIndex;
    emit changed();
}

bool ProgramSettings::TXconfigSaveParam()
{
    // Before a load there are no lines, and a file that was read only in part (said at the load) or
    // left empty is not replaced by defaults.
    if (!m_loaded || m_truncated || m_heldUntilUserSave)
        return false;
    const auto report = [this](const QString &prefix, int systemError) {
        m_messages.show(prefix + QString::number(FileWriter::classicNumberFor(systemError)) + QLatin1Char('\n')
                        + QDir::toNativeSeparators(m_filePath) + QStringLiteral(": ")
                        + FileWriter::reasonFor(systemError)
                        + (QFileInfo::exists(m_filePath) ? QStringLiteral(". Файл не изменён.")
                                                         : QStringLiteral(". Файл не создан.")));
    };
    // A file that is there but could not be read would lose whatever the user keeps in it.
    if (m_readFailed) {
        report(kOpenError, m_readErrno);
        return false;
    }
    if (m_notSettings)
        return false;
    FileWriter file(m_filePath);
    if (!file.open()) {
        report(kOpenError, file.errorNumber());
        return false;
    }
    if (!file.write(encodeLines(StrokiTX.mid(1, KolichestvoStrokTX), m_utf8, m_utf8Bom)) || !file.commit()) {
        report(kWriteError, file.errorNumber());
        return false;
    }
    return true;
}

bool ProgramSettings::saveByUser(const Choice &choice)
{
    // The automatic saves skip such files quietly (said at the load); the user's button is answered.
    if (m_loaded && m_truncated) {
        m_messages.show(QDir::toNativeSeparators(m_filePath) + QStringLiteral(": ") + kTooLargeNotSaved);
        return false;
    }
    if (m_loaded && m_notSettings) {
        m_messages.show(QDir::toNativeSeparators(m_filePath) + QStringLiteral(": ") + kNoSettingLines
                        + QStringLiteral(". Файл не изменён: удалите или переименуйте его, и программа создаст новый."));
        return false;
    }
    TXconfigUpdateParam(choice);
    m_heldUntilUserSave = false;
    return TXconfigSaveParam();
}
