#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>

// MassivKonfiguracii: the program's copy of the unit's configuration memory. Cells 0..2370, each
// "" (no data) or two upper-case hex digits. Position n + 1 holds memory offset n; 2369 and 2370 the
// model bytes. Created once with every cell empty, owned by the application object.
class ConfigImage {
public:
    static constexpr int kMemorySize = 2368;   // bytes sent by a write
    static constexpr int kImageSize = 2370;    // bytes read and stored in a file
    static constexpr int kBlockSize = 64;
    static constexpr int kBlockCount = 37;
    static constexpr int kTailSize = 2;
    static constexpr int kLastPosition = 2370;

    inline static const QString kPartialRead =
        QStringLiteral("Запись невозможна! Чтение конфигурации из устройства не было завершено: в памяти программы "
                       "часть конфигурации одного устройства и часть прежней. Прочитайте конфигурацию из устройства "
                       "ещё раз кнопкой \"Прочитать\".");

    ConfigImage();

    // Every cell empty again, as when created; the flags below stay.
    void clearCells();

    // "" outside 1..2370.
    QString cell(int position) const;
    // Positions outside 1..2370 are ignored; text is stored upper-case.
    void setCell(int position, const QString &text);
    void setByte(int position, unsigned char value)
    {
        if (position < 1 || position > kLastPosition)
            return;
        if (m_values[position] == kOther)
            m_other.remove(position);
        m_values[position] = value;
    }
    // count bytes from position on, as setByte() each; positions outside 1..2370 are ignored.
    void setBytes(int position, const char *bytes, qsizetype count);
    // Byte value of a cell, -1 when empty.
    int byteAt(int position) const
    {
        if (position < 1 || position > kLastPosition)
            return -1;
        const int value = m_values[position];
        return value == kOther ? otherByte(position) : value;
    }
    // The bytes of count cells from position first on; empty when any of them holds no data.
    QByteArray bytes(int first, int count) const;
    // True when every position of first..last holds data.
    bool isFilled(int first, int last) const;
    // First empty position in first..last, 0 when none.
    int firstEmpty(int first, int last) const;

    // Edits made on the settings pages that the unit has not received yet: set by the editors,
    // cleared by a complete read and by a successful write.
    bool isChanged() const { return m_changed; }
    void setChanged(bool changed) { m_changed = changed; }

    // A read from the unit started and has not completed: the image may hold part of one unit's
    // configuration and part of another's, so it must not be written. Set when a read starts,
    // cleared by a complete read or a complete file loaded into the image.
    bool isPartial() const { return m_partial; }
    void setPartial(bool partial) { m_partial = partial; }

    // Where the image came from: the unit whose read completed, when; or a file. Nothing: the image
    // holds no one's configuration yet. A write does not change it: the image stays the one read.
    enum class Origin { None, Unit, File };
    Origin origin() const { return m_origin; }
    QString sourceUnit() const { return m_sourceUnit; }   // the unit's name, "" unless Origin::Unit
    QDateTime sourceTime() const { return m_sourceTime; }
    // connection: the link's identification the read was made in; a unit answering after the line
    // was lost and found again may be another of the same name.
    void setReadFrom(const QString &unit, const QDateTime &when, int connection = 0)
    {
        m_origin = Origin::Unit;
        m_sourceUnit = unit;
        m_sourceTime = when;
        m_sourceConnection = connection;
    }
    void setLoadedFromFile(const QDateTime &when)
    {
        m_origin = Origin::File;
        m_sourceUnit.clear();
        m_sourceTime = when;
    }
    // True when the image came from another unit than the one named (a unit answering now).
    bool isFromOtherUnit(const QString &unit) const { return m_origin == Origin::Unit && m_sourceUnit != unit; }
    // True when the image was read from a unit of that name in an earlier connection than the one given.
    bool isFromEarlierConnection(const QString &unit, int connection) const
    {
        return m_origin == Origin::Unit && m_sourceUnit == unit && m_sourceConnection != connection;
    }
    // Either: nothing of the image may be shown as that unit's in that connection.
    bool isNotFrom(const QString &unit, int connection) const
    {
        return isFromOtherUnit(unit) || isFromEarlierConnection(unit, connection);
    }

    // Boxes of the settings pages holding a typed value that was refused, named "page: field", in
    // the order they were refused.
    QStringList refusedEdits() const { return m_refused; }
    void setRefusedEdit(const QString &where, bool refused);

private:
    // A cell is kept as its byte value; the rare text that is not two hex digits is kept as written.
    static constexpr short kEmpty = -1;
    static constexpr short kOther = 256;
    int otherByte(int position) const;

    std::array<short, kLastPosition + 1> m_values;
    QHash<int, QString> m_other;
    bool m_changed = false;
    bool m_partial = false;
    QStringList m_refused;
    Origin m_origin = Origin::None;
    QString m_sourceUnit;
    QDateTime m_sourceTime;
    int m_sourceConnection = 0;
};
