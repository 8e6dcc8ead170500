#pragma once
#include "unit/UnitJob.h"
#include <QByteArray>
#include <QList>
#include <memory>
#include <optional>

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
    // The window's unit: identified and read already, so its firmware version is known. The job
    // runs only while that identification stands (SerialLink::identificationCount), never reads
    // the configuration (the window's image holds the user's work), tells its own refusals through
    // the unit's messages and leaves the port open and the last state shown.
    void setWindowUnit(int identification) { m_windowUnit = identification; }

    inline static const QString kNotWritten = QStringLiteral("Прошивка в устройство не записывалась.");
    inline static const QString kBackupKept = QStringLiteral("Прошивка устройства сохранена: %1");
    inline static const QString kNotThatUnit =
        QStringLiteral("Устройство, для которого выбран файл, больше не на связи или найдено заново. "
                       "Обмен прошивкой не начат: повторите, когда устройство будет обнаружено.");
    // The command line's words for a status text of the unit during a flash that goes on.
    inline static const QString kStatusGoesOn = QStringLiteral("устройство сообщило: %1 — запись продолжается");

private:
    void go();
    void read();
    void backupFirst();
    void write();
    void verify();
    // Starts the queued transfer; false (the job finished) when it did not start.
    bool started(const QString &tag, const QString &fallback);
    // fail(), except that the window's unit keeps its port when no transfer is left to stop.
    void failed(int code, const QString &text);
    // A refusal of the job's own, which no routine has told.
    void refuse(int code, const QString &text);
    // The transfer done: the command line's unit closes its port.
    void release();

    Direction m_direction;
    QString m_file;
    QList<QByteArray> m_blocks;
    bool m_verify;
    bool m_backupFirst = false;
    std::optional<int> m_windowUnit;
    std::unique_ptr<QTemporaryDir> m_scratch;
};
