#pragma once
#include "unit/UnitJob.h"
#include <QByteArray>
#include <QList>
#include <memory>

class QTemporaryDir;

// The firmware between an identified unit and a .fw file: the configuration is read first, since
// the window offers firmware work only to a unit that reports a firmware version; then the read
// into `file`, or the write of the checked blocks and with verify a read back into a scratch file
// compared with them. A write with a backup first reads the unit's firmware into its backups folder
// and writes only when that copy is whole.
class FirmwareJob : public UnitJob {
    Q_OBJECT
public:
    enum class Direction { Read, Write };

    FirmwareJob(UnitSession &unit, UnitMessages &messages, Direction direction, QString file,
                QList<QByteArray> blocks = {}, bool verify = false, QObject *parent = nullptr);
    ~FirmwareJob() override;
    void start() override;
    void setBackupFirst(bool backup) { m_backupFirst = backup; }

    inline static const QString kNotWritten = QStringLiteral("Прошивка в устройство не записывалась.");
    inline static const QString kBackupKept = QStringLiteral("Прошивка устройства сохранена: %1");
    // The command line's words for a status text of the unit during a flash that goes on.
    inline static const QString kStatusGoesOn = QStringLiteral("устройство сообщило: %1 — запись продолжается");

private:
    void read();
    void backupFirst();
    void write();
    void verify();
    // Starts the queued transfer; false (the job finished) when it did not start.
    bool started(const QString &tag, const QString &fallback);

    Direction m_direction;
    QString m_file;
    QList<QByteArray> m_blocks;
    bool m_verify;
    bool m_backupFirst = false;
    std::unique_ptr<QTemporaryDir> m_scratch;
};
