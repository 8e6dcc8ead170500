#pragma once
#include "shell/FileDialogs.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <iterator>
#include <utility>

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

    // The blocks of a firmware, kept as the one array they make up: a block is copied out only when
    // asked for, so a file read costs no copy per block. Reads like a list of blocks.
    class Blocks {
    public:
        Blocks() = default;
        // Whole blocks only: a trailing part is not kept.
        explicit Blocks(QByteArray firmware) : m_firmware(std::move(firmware))
        {
            m_firmware.truncate(m_firmware.size() - m_firmware.size() % kBlockSize);
        }

        qsizetype size() const { return m_firmware.size() / kBlockSize; }
        bool isEmpty() const { return m_firmware.isEmpty(); }
        QByteArray at(qsizetype i) const { return m_firmware.mid(i * kBlockSize, kBlockSize); }
        // The same, uncopied: valid while these blocks are neither changed nor gone.
        QByteArrayView view(qsizetype i) const { return QByteArrayView(m_firmware).sliced(i * kBlockSize, kBlockSize); }
        // All blocks in order.
        const QByteArray &join() const { return m_firmware; }
        void clear() { m_firmware.clear(); }
        bool operator==(const Blocks &other) const { return m_firmware == other.m_firmware; }
        bool operator!=(const Blocks &other) const { return !(*this == other); }
        operator QList<QByteArray>() const
        {
            QList<QByteArray> list;
            list.reserve(size());
            for (qsizetype i = 0; i < size(); ++i)
                list.append(at(i));
            return list;
        }

        class const_iterator {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = QByteArray;
            using difference_type = qsizetype;
            using pointer = void;
            using reference = QByteArray;
            const_iterator(const Blocks *blocks, qsizetype i) : m_blocks(blocks), m_i(i) {}
            QByteArray operator*() const { return m_blocks->at(m_i); }
            const_iterator &operator++()
            {
                ++m_i;
                return *this;
            }
            bool operator==(const const_iterator &other) const { return m_i == other.m_i; }
            bool operator!=(const const_iterator &other) const { return m_i != other.m_i; }

        private:
            const Blocks *m_blocks;
            qsizetype m_i;
        };
        const_iterator begin() const { return {this, 0}; }
        const_iterator end() const { return {this, size()}; }

    private:
        QByteArray m_firmware;
    };

    // A whole file checked: the blocks, or the first faulty line and what is wrong with it.
    struct Content {
        enum class Failure { None, Open, Read, Format };
        Failure failure = Failure::None;
        Blocks blocks;
        int badLine = 0;      // 1-based
        QString reason;
        bool ok() const { return failure == Failure::None; }
    };

    // One block as a file line.
    static QByteArray formatLine(QByteArrayView block);
    // A whole firmware (62720 bytes) as a file; empty for any other size.
    static QByteArray format(const QByteArray &firmware);
    // Whole blocks as file lines, one after another; a trailing part is not written.
    static QByteArray formatBlocks(QByteArrayView blocks);
    static Content parse(const QByteArray &fileBytes);
    // Reads and parses; the failure tells whether the file could not be opened, read or understood.
    static Content read(const QString &fileName);

    // The open and save dialogs: "<program folder>/Прошивки/", the filter, "fw", and for saving the
    // date and time as the default name (yyyyMMddHHmmss).
    static FileDialogRequest dialogRequest(const QString &programFolder, bool forWriting, const QDateTime &now);
};
