#pragma once
#include "shell/FileDialogs.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

// Firmware files ".fw": one line per 64-byte block of the unit's firmware, 980 lines, each byte as two
// upper-case hex digits and a blank, lines ending CR LF; no header, trailer or checksum. Reading is
// as lenient as the hex conversion (lower case, blanks optional, trailing empty lines) but refuses
// anything that is not exactly 980 blocks of 64 valid hex bytes, so a bad file never reaches a unit.
class FirmwareFile {
public:
    static constexpr int kBlockSize = 64;
    static constexpr int kBlockCount = 980;
    static constexpr int kFirmwareSize = kBlockSize * kBlockCount;          // 62720
    static constexpr qint64 kFileSize = qint64(kBlockCount) * (3 * kBlockSize + 2);   // 190120
    // No firmware file, however spelled, is anywhere near this big.
    static constexpr qint64 kMaxFileSize = 1 << 20;

    inline static const QString kFolderName = QStringLiteral("Прошивки");
    inline static const QString kFilter = QStringLiteral("Файл прошивки (*.fw)|*.fw");
    inline static const QString kSuffix = QStringLiteral("fw");

    // A whole file checked: the blocks, or the first faulty line and what is wrong with it.
    struct Content {
        enum class Failure { None, Open, Read, Format };
        Failure failure = Failure::None;
        QList<QByteArray> blocks;
        int badLine = 0;      // 1-based
        QString reason;
        bool ok() const { return failure == Failure::None; }
    };

    // One block as a file line.
    static QByteArray formatLine(QByteArrayView block);
    // A whole firmware (62720 bytes) as a file; empty for any other size.
    static QByteArray format(const QByteArray &firmware);
    static Content parse(const QByteArray &fileBytes);
    // Reads and parses; the failure tells whether the file could not be opened, read or understood.
    static Content read(const QString &fileName);

    // The open and save dialogs: "<program folder>/Прошивки/", the filter, "fw", and for saving the
    // date and time as the default name (yyyyMMddHHmmss).
    static FileDialogRequest dialogRequest(const QString &programFolder, bool forWriting, const QDateTime &now);
};
