#pragma once
#include <QByteArray>
#include <QString>

// The simulated unit's non-volatile memory: the configuration image (2370 bytes) and the firmware
// (62720 bytes) as two binary files, created with factory content when missing.
class SimStore {
public:
    SimStore(const QString &imagePath, const QString &firmwarePath);

    // Reads both files, creating missing ones. A file of the wrong size is refused, not overwritten.
    bool load(QString *error);
    QByteArray image() const { return m_image; }
    QByteArray firmware() const { return m_firmware; }

    // Replaces a file as a whole, so a crash never leaves half a memory behind.
    bool saveImage(const QByteArray &image, QString *error = nullptr);
    bool saveFirmware(const QByteArray &firmware, QString *error = nullptr);

private:
    static bool loadOne(const QString &path, const QByteArray &defaults, QByteArray &into, QString *error);
    static bool save(const QString &path, const QByteArray &bytes, qsizetype size, QString *error);

    QString m_imagePath;
    QString m_firmwarePath;
    QByteArray m_image;
    QByteArray m_firmware;
};
