#include "link/PortNumbering.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {
const QString kEntryPrefix = QStringLiteral("COM");

// A device path with links followed; the path itself when it leads nowhere.
QString resolved(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

const SerialDevice *listedAt(const QList<SerialDevice> &devices, const QString &device)
{
    for (const SerialDevice &listed : devices) {
        if (listed.path == device || resolved(listed.path) == device)
            return &listed;
    }
    return nullptr;
}

#ifdef Q_OS_WIN
int windowsNumber(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("COM([1-9][0-9]*)$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}
#endif
}

PortNumbering::PortNumbering(QString programFolder, QString fallbackPrefix)
    : m_programFolder(std::move(programFolder)), m_fallbackPrefix(std::move(fallbackPrefix))
{
}

QString PortNumbering::portsFolder() const
{
    return QDir(m_programFolder).filePath(QStringLiteral("Service/ports"));
}

QString PortNumbering::deviceFor(int number) const
{
    if (number < 1)
        return QString();
#ifdef Q_OS_WIN
    return kEntryPrefix + QString::number(number);
#else
    const QFileInfo info(QDir(portsFolder()).filePath(kEntryPrefix + QString::number(number)));
    if (info.isSymLink())
        return info.symLinkTarget();   // absolute, even when the link is relative
    if (info.exists())
        return info.absoluteFilePath();
    const auto held = m_inMemory.constFind(number);
    if (held != m_inMemory.constEnd())
        return *held;
    return m_fallbackPrefix + QString::number(number - 1);
#endif
}

QMap<int, NumberedPort> PortNumbering::entries() const
{
    QMap<int, NumberedPort> found;
#ifndef Q_OS_WIN
    static const QRegularExpression name(QStringLiteral("^COM([1-9][0-9]*)$"));
    // System: links whose device is gone are listed too.
    const QFileInfoList infos =
        QDir(portsFolder()).entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : infos) {
        const QRegularExpressionMatch match = name.match(info.fileName());
        bool ok = false;
        const int number = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
        if (!ok)
            continue;
        NumberedPort entry;
        entry.number = number;
        entry.link = info.absoluteFilePath();
        entry.target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
        entry.device = info.canonicalFilePath();
        entry.present = !entry.device.isEmpty();
        found.insert(number, entry);
    }
    for (auto held = m_inMemory.constBegin(); held != m_inMemory.constEnd(); ++held) {
        if (found.contains(held.key()))
            continue;   // a link made meanwhile wins, as it does when the port is opened
        NumberedPort entry;
        entry.number = held.key();
        entry.target = *held;
        entry.device = QFileInfo(*held).canonicalFilePath();
        entry.present = !entry.device.isEmpty();
        found.insert(held.key(), entry);
    }
#endif
    return found;
}

bool PortNumbering::reaches(const NumberedPort &entry, const SerialDevice &device) const
{
    const QString target = QDir::cleanPath(entry.target);
    if (target == QDir::cleanPath(device.path))
        return true;
    if (!device.stableName.isEmpty() && target == QDir::cleanPath(device.stableName))
        return true;
    return entry.present && entry.device == resolved(device.path);
}

int PortNumbering::lowestFree(const QMap<int, NumberedPort> &taken, const SerialDevice &device,
                              const QList<SerialDevice> &devices) const
{
    for (int number = 1;; ++number) {
        if (taken.contains(number))
            continue;
        // A number without an entry already reaches the adapter at its fallback device: it is that
        // adapter's, so the numbers in use before links existed keep meaning the same adapter.
        const QString fallback = m_fallbackPrefix + QString::number(number - 1);
        const bool otherAtFallback = std::any_of(devices.begin(), devices.end(), [&](const SerialDevice &listed) {
            return listed.path == fallback && listed.path != device.path;
        });
        if (!otherAtFallback)
            return number;
    }
}

QList<int> PortNumbering::assign(const QList<SerialDevice> &devices)
{
    QList<int> added;
#ifndef Q_OS_WIN
    QMap<int, NumberedPort> taken = entries();
    for (const SerialDevice &device : devices) {
        // Serial adapters only: the board's own UARTs, listed or not, are reached by hand.
        if (!device.isUsb() || device.path.isEmpty())
            continue;
        // Another program sharing the folder may take a number between the look and the link.
        for (int attempt = 0; attempt < 8; ++attempt) {
            if (std::any_of(taken.begin(), taken.end(), [&](const NumberedPort &entry) { return reaches(entry, device); }))
                break;
            NumberedPort entry;
            entry.number = lowestFree(taken, device, devices);
            entry.target = device.linkTarget();
            const QString link = QDir(portsFolder()).filePath(kEntryPrefix + QString::number(entry.number));
            if (QDir().mkpath(portsFolder()) && QFile::link(entry.target, link)) {
                entry.link = link;
            } else if (QFileInfo(link).isSymLink() || QFileInfo::exists(link)) {
                taken = entries();
                continue;
            } else {
                // A folder that takes no links still gives the adapter a number for this run.
                m_inMemory.insert(entry.number, entry.target);
            }
            entry.device = QFileInfo(entry.target).canonicalFilePath();
            entry.present = !entry.device.isEmpty();
            taken.insert(entry.number, entry);
            added << entry.number;
            break;
        }
    }
    std::sort(added.begin(), added.end());
#else
    (void)devices;
#endif
    return added;
}

int PortNumbering::numberFor(const QString &devicePath)
{
#ifdef Q_OS_WIN
    return windowsNumber(devicePath);
#else
    SerialDevice device;
    device.path = QDir::cleanPath(QFileInfo(devicePath).absoluteFilePath());
    const QMap<int, NumberedPort> taken = entries();
    for (const NumberedPort &entry : taken) {
        if (reaches(entry, device))
            return entry.number;
    }
    if (device.path.startsWith(m_fallbackPrefix)) {
        bool ok = false;
        const int index = device.path.mid(m_fallbackPrefix.size()).toInt(&ok);
        if (ok && index >= 0 && !taken.contains(index + 1))
            return index + 1;
    }
    const int number = lowestFree(taken, device, {});
    m_inMemory.insert(number, device.path);
    return number;
#endif
}

QList<NumberedPort> PortNumbering::ports(const QList<SerialDevice> &devices) const
{
    QList<NumberedPort> list;
#ifdef Q_OS_WIN
    for (const SerialDevice &device : devices) {
        NumberedPort entry;
        entry.number = windowsNumber(device.path);
        if (entry.number < 1)
            continue;
        entry.target = entry.device = device.path;
        entry.present = true;
        entry.adapter = device;
        list << entry;
    }
    std::sort(list.begin(), list.end(), [](const NumberedPort &a, const NumberedPort &b) { return a.number < b.number; });
#else
    for (NumberedPort entry : entries()) {
        if (entry.present) {
            if (const SerialDevice *listed = listedAt(devices, entry.device))
                entry.adapter = *listed;
        }
        list << entry;
    }
#endif
    return list;
}

QString PortNumbering::toolTip(int number, const QList<SerialDevice> &devices) const
{
    if (number < 1)
        return QString();
    QString path = deviceFor(number);
    bool present = QFileInfo::exists(path);
    for (const NumberedPort &entry : ports(devices)) {
        if (entry.number != number)
            continue;
        present = entry.present;
        path = entry.present ? entry.device : entry.target;
        break;
    }
    if (!present)
        return missingText() + QLatin1Char('\n') + path;
    const SerialDevice *listed = listedAt(devices, resolved(path));
    if (listed && !listed->description.isEmpty())
        return listed->description + QLatin1Char('\n') + path;
    return path;
}
