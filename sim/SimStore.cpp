#include "SimStore.h"
#include "SimDefaults.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

SimStore::SimStore(const QString &imagePath, const QString &firmwarePath)
    : m_imagePath(imagePath), m_firmwarePath(firmwarePath)
{
}

bool SimStore::load(QString *error)
{
    return loadOne(m_imagePath, SimDefaults::image(), m_image, error)
        && loadOne(m_firmwarePath, SimDefaults::firmware(), m_firmware, error);
}

bool SimStore::saveImage(const QByteArray &image, QString *error)
{
    if (!save(m_imagePath, image, SimDefaults::kImageSize, error))
        return false;
    m_image = image;
    return true;
}

bool SimStore::saveFirmware(const QByteArray &firmware, QString *error)
{
    if (!save(m_firmwarePath, firmware, SimDefaults::kFirmwareSize, error))
        return false;
    m_firmware = firmware;
    return true;
}

bool SimStore::loadOne(const QString &path, const QByteArray &defaults, QByteArray &into, QString *error)
{
    if (!QFileInfo::exists(path)) {
        if (!save(path, defaults, defaults.size(), error))
            return false;
        into = defaults;
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != defaults.size()) {
        if (error)
            *error = QStringLiteral("%1: %2 bytes, expected %3").arg(path).arg(bytes.size()).arg(defaults.size());
        return false;
    }
    into = bytes;
    return true;
}

bool SimStore::save(const QString &path, const QByteArray &bytes, qsizetype size, QString *error)
{
    if (bytes.size() != size) {
        if (error)
            *error = QStringLiteral("%1: refusing to store %2 bytes, expected %3").arg(path).arg(bytes.size()).arg(size);
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
