#pragma once
#include "unit/ConfigBackups.h"
#include "unit/ModelCheck.h"
#include <QByteArray>
#include <QHash>
#include <QString>

class ConfigImage;
class SerialLink;
class MessageSink;

// One session's safety net around configuration writes: remembers each unit's last complete read
// since it was identified, keeps it as a copy when it is read and again before a write, refuses a write whose
// copy cannot be kept, and after a failed write says where the unit's earlier configuration is.
class UnitBackups {
public:
    inline static const QString kWriteRefused =
        QStringLiteral("Запись в устройство не начата: не удалось сохранить копию его конфигурации.");
    inline static const QString kCopyNotKept =
        QStringLiteral("Работа с устройством выполнена, но резервная копия его конфигурации не сохранена.");
    inline static const QString kEarlierCopy =
        QStringLiteral("Конфигурация, которая была в устройстве до записи, сохранена в файле:\n%1");

    UnitBackups(ConfigBackups &store, const ConfigImage &image, const SerialLink &link, MessageSink &messages);

    // Off (the command line's --no-backup): reads are still remembered for the model check, but no
    // copy is written and a write needs none.
    void setKeeping(bool keeping) { m_keeping = keeping; }
    // A line after the note on a failed write: how this face writes the copy back.
    void setRestoreHint(const QString &hint) { m_restoreHint = hint; }

    // A read has just filled the whole image from the unit.
    void readCompleted() { keepRead(imageBytes()); }
    // A complete read of the identified unit: its 2370 bytes. Bytes whose model cells name no model
    // are no unit's configuration: neither kept nor remembered.
    void keepRead(const QByteArray &image);
    // How many reads' copies could not be written so far: a job that succeeded while one failed
    // says so.
    int keepFailures() const { return m_keepFailures; }
    // The identified unit as its copies are filed: its name, the IMEI of its first read since it
    // was found, and its port.
    ConfigBackups::Owner owner() const;
    // Before a write's first block; false (the file error shown): the write must not start.
    bool beforeWrite();
    // A write has ended; memory: the 2368 bytes it sent when it succeeded.
    void writeEnded(bool ok, const QByteArray &memory = QByteArray());
    // The image's model against the model of the identified unit as last read in this run.
    ModelCheck::Result modelCheck() const;
    // The 2370 bytes of the unit's last complete read since it was identified; empty when there is
    // none (a unit found again after the line was lost may be another of the same name).
    QByteArray lastRead(const QString &unitName) const;
    // Where the unit's configuration before the last write is kept; empty when nowhere.
    QString earlierCopy() const { return m_earlierCopy; }

private:
    QByteArray imageBytes() const;

    ConfigBackups &m_store;
    const ConfigImage &m_image;
    const SerialLink &m_link;
    MessageSink &m_messages;
    struct Read {
        QByteArray bytes;
        int connection = 0;   // the link's identification it was made in
    };
    QHash<QString, Read> m_reads;   // by unit name
    QHash<QString, Read> m_firstReads;   // by unit name: the first since it was found, for its IMEI
    int m_keepFailures = 0;
    int m_warnedConnection = -1;          // the identification a failed copy was last told in
    QString m_earlierCopy;
    QString m_writing;                    // the unit being written
    bool m_keeping = true;
    QString m_restoreHint;
};
