#include "unit/ConfigBackups.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "config/FileProblem.h"
#include "config/FileWriter.h"
#include "firmware/FirmwareFile.h"
#include "shell/Clock.h"
#include "unit/SafeFileName.h"
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace {
// Sorted by name the copies are in the order they were kept; a colon is no file name's.
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH-mm-ss");
QString suffixOf(ConfigBackups::Kind kind)
{
    return QLatin1Char('.') + (kind == ConfigBackups::Kind::Firmware ? FirmwareFile::kSuffix : ConfigFiles::kSuffix);
}

struct Parsed {
    QDateTime when;
    ConfigBackups::Kind kind = ConfigBackups::Kind::Read;
    int sequence = 1;   // a second copy of the same kind in the same second is "… 2.cf"
    int port = 0;
};

std::optional<Parsed> parse(const QString &fileName)
{
    // The port is missing from copies kept before it was named.
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d) (?:COM(\\d+) )?"
                       "(?:(%1|%2)(?: (\\d+))?\\.cf|(%3)(?: (\\d+))?\\.fw)$")
            .arg(ConfigBackups::kReadWord, ConfigBackups::kBeforeWriteWord, ConfigBackups::kFirmwareWord));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    Parsed parsed;
    parsed.when = QDateTime::fromString(match.captured(1), kTimeFormat);
    if (!parsed.when.isValid())
        return std::nullopt;
    if (match.hasCaptured(2))
        parsed.port = match.captured(2).toInt();
    if (match.hasCaptured(5))
        parsed.kind = ConfigBackups::Kind::Firmware;
    else
        parsed.kind = match.captured(3) == ConfigBackups::kReadWord ? ConfigBackups::Kind::Read
                                                                    : ConfigBackups::Kind::BeforeWrite;
    if (match.hasCaptured(4) || match.hasCaptured(6))
        parsed.sequence = match.captured(match.hasCaptured(4) ? 4 : 6).toInt();
    return parsed;
}

// " 356938035643809" closing a folder's name: no name alone ends so, a unit's being 16 characters.
const QRegularExpression &imeiEnd()
{
    static const QRegularExpression pattern(QStringLiteral(" (\\d{15})$"));
    return pattern;
}

QString withReason(const QString &path, const QString &reason)
{
    return ConfigFiles::kWriteError + QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason
           + QLatin1Char('.');
}
}

ConfigBackups::ConfigBackups(const QString &programFolder, const Clock &clock)
    : m_root(QDir(programFolder).filePath(kFolderName)), m_clock(clock)
{
}

QString ConfigBackups::kindWord(Kind kind)
{
    switch (kind) {
    case Kind::Read: return kReadWord;
    case Kind::BeforeWrite: return kBeforeWriteWord;
    case Kind::Firmware: return kFirmwareWord;
    }
    return QString();
}

QString ConfigBackups::newCopyPath(const Owner &unit, Kind kind) const
{
    const QDir folder(unitFolder(unit));
    const QString port = unit.port > 0 ? QStringLiteral(" COM%1").arg(unit.port) : QString();
    const QString stem = m_clock.now().toString(kTimeFormat) + port + QLatin1Char(' ') + kindWord(kind);
    QString path = folder.filePath(stem + suffixOf(kind));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder.filePath(stem + QLatin1Char(' ') + QString::number(n) + suffixOf(kind));
    return path;
}

QString ConfigBackups::folderName(const Owner &unit)
{
    return SafeFileName::of(unit.name) + (unit.imei.isEmpty() ? QString() : QLatin1Char(' ') + unit.imei);
}

ConfigBackups::Owner ConfigBackups::ownerOf(const QString &folderName)
{
    Owner owner;
    const QRegularExpressionMatch match = imeiEnd().match(folderName);
    owner.imei = match.hasMatch() ? match.captured(1) : QString();
    owner.name = SafeFileName::nameOf(match.hasMatch() ? folderName.left(match.capturedStart()) : folderName);
    return owner;
}

QString ConfigBackups::unitFolder(const Owner &unit) const
{
    return QDir(m_root).filePath(folderName(unit));
}

ConfigBackups::Result ConfigBackups::keep(const Owner &unit, const QByteArray &image, Kind kind)
{
    Result result;
    const QString folder = unitFolder(unit);
    result.path = newCopyPath(unit, kind);

    if (image.size() != ConfigImage::kImageSize) {
        result.error = withReason(result.path, QStringLiteral("конфигурация прочитана не полностью"));
        return result;
    }
    // Written as "Сохранить" writes a file, so a copy opens and loads like any other.
    ConfigImage cells;
    cells.setBytes(1, image.constData(), image.size());
    const QByteArray bytes = ConfigFiles::formatImage(cells);

    // Against the newest copy of the same kind: a write's copy is kept even when the unit was read
    // just before, so the copy made for a write is always there beside the read ones.
    const QList<Copy> earlier = copiesIn(folder);
    const auto newest =
        std::find_if(earlier.begin(), earlier.end(), [kind](const Copy &copy) { return copy.kind == kind; });
    if (newest != earlier.end()) {
        QFile file(newest->path);
        if (file.open(QIODevice::ReadOnly) && file.size() == bytes.size() && file.readAll() == bytes) {
            result.ok = true;
            result.path = newest->path;
            return result;
        }
    }

    if (!QDir().mkpath(folder)) {
        const QString why = FileProblem::forWriting(result.path);
        result.error = withReason(result.path, why.isEmpty() ? QStringLiteral("не удалось создать папку") : why);
        return result;
    }
    QString reason;
    if (!writeFile(result.path, bytes, &reason)) {
        result.error = withReason(result.path, reason);
        return result;
    }
    result.ok = true;
    result.written = true;
    prune(folder);
    return result;
}

bool ConfigBackups::writeFile(const QString &path, const QByteArray &bytes, QString *reason) const
{
    FileWriter file(path);
    if (file.writeWhole(bytes))
        return true;
    const QString known = FileProblem::forWriting(path);
    *reason = known.isEmpty() ? file.reason() : known;
    return false;
}

QList<ConfigBackups::Copy> ConfigBackups::copiesIn(const QString &folder) const
{
    struct Entry {
        Copy copy;
        int sequence;
        QDateTime modified;
    };
    QList<Entry> entries;
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*") + suffixOf(Kind::Read), QStringLiteral("*") + suffixOf(Kind::Firmware)}, QDir::Files);
    for (const QFileInfo &info : files) {
        const std::optional<Parsed> parsed = parse(info.fileName());
        if (!parsed)
            continue;   // not one of ours: never listed, never deleted
        entries.append({Copy{parsed->when, parsed->kind, info.size(), info.filePath(), parsed->port},
                        parsed->sequence, info.lastModified()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.copy.when != b.copy.when)
            return a.copy.when > b.copy.when;
        if (a.copy.kind == b.copy.kind)
            return a.sequence > b.sequence;
        return a.modified > b.modified;
    });
    QList<Copy> copies;
    for (const Entry &entry : entries)
        copies.append(entry.copy);
    return copies;
}

void ConfigBackups::prune(const QString &folder) const
{
    const QDateTime now = m_clock.now();
    const QList<Copy> copies = copiesIn(folder);
    for (qsizetype i = kAlwaysKept; i < copies.size(); ++i) {
        // A copy that cannot go is simply kept; the next copy tries again.
        if (copies.at(i).when.secsTo(now) > qint64(kKeepDays) * 24 * 3600)
            QFile::remove(copies.at(i).path);
    }
}

QList<ConfigBackups::Unit> ConfigBackups::units(const QString &unit) const
{
    QList<Unit> units;
    const QString wanted = unit.trimmed();
    for (const QString &folderName : QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const Owner owner = ownerOf(folderName);
        const QString name = owner.name.trimmed();
        const bool named = wanted.isEmpty() || wanted == name || wanted == folderName
                           || (!owner.imei.isEmpty()
                               && (wanted == owner.imei || wanted == name + QLatin1Char(' ') + owner.imei));
        if (!named)
            continue;
        Unit entry{folderName, owner.name, owner.imei, copiesIn(QDir(m_root).filePath(folderName))};
        if (!entry.copies.isEmpty())
            units.append(entry);
    }
    std::stable_sort(units.begin(), units.end(),
                     [](const Unit &a, const Unit &b) { return a.copies.first().when > b.copies.first().when; });
    return units;
}
