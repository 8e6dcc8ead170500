#pragma once
#include "unit/UnitJob.h"
#include "unit/VerifyCompare.h"
#include <QByteArray>
#include <QList>
#include <functional>

// A .cf file into an identified unit through the window's own load routine, then with verify the
// unit's configuration read back and compared with the file's blocks. The file was checked whole
// before (blocks); the routine checks it again as it loads. With a read first, the unit's own
// configuration is read before anything is sent: it is kept as the copy before the write, and its
// model is compared with the file's.
class WriteConfigJob : public UnitJob {
    Q_OBJECT
public:
    // Runs before the first block goes out; false stops the job (it has finished it).
    using BeforeWrite = std::function<bool(WriteConfigJob &job)>;

    inline static const QString kNothingSent =
        QStringLiteral("Запись не начата: в устройство ничего не отправлено.");
    inline static const QString kForceHint = QStringLiteral("Записать всё же: --force.");
    inline static const QString kForced = QStringLiteral("Записывается всё же (--force).");
    // The write covers cells 1–2368: the unit keeps its own model cells whatever the file holds.
    inline static const QString kModelCellsKept =
        QStringLiteral("Ячейки модели 2369–2370 в устройство не записываются: устройство сохранит свои.");
    inline static const QString kOtherImei =
        QStringLiteral("Внимание: IMEI в файле (%1) не совпадает с IMEI устройства (%2): файл снят с другого "
                       "устройства, и после записи устройство будет сообщать IMEI из файла.");
    inline static const QString kReadFirstInterrupted =
        QStringLiteral("Прервано: чтение конфигурации перед записью остановлено, в устройство ничего не записано.");

    // What is done before the first block.
    struct ReadFirst {
        bool enabled = false;
        QByteArray fileModel;   // the file's two model bytes; empty: the file names none
        bool force = false;     // written whatever the model check says
    };

    WriteConfigJob(UnitSession &unit, UnitMessages &messages, QString file, QList<QByteArray> blocks, bool verify,
                   QObject *parent = nullptr);
    void start() override;
    void setBeforeWrite(BeforeWrite step) { m_beforeWrite = std::move(step); }
    void setReadFirst(const ReadFirst &readFirst) { m_readFirst = readFirst; }
    // The window's: the blocks go straight to the unit (no file is opened again) and every read,
    // first and back, goes into a side buffer, never into the image the pages show.
    void setAside(bool aside) { m_aside = aside; }
    // What a refusal of the model check offers instead of --force.
    void setRefusalHint(const QString &hint) { m_refusalHint = hint; }
    // For a step before the write: ends the job with its own outcome.
    void stop(int code, const QString &text) { fail(code, text); }

private:
    // After the read first: whether the file may go to this unit; false when the job has ended.
    bool modelAllowed(bool read);
    // After the read first: the file's IMEI cells against the unit's, told when they differ.
    void compareImei();
    void proceed();
    void write();
    void verify();
    void verified(bool read, const VerifyCompare::Mismatch &mismatch);

    QString m_file;
    QList<QByteArray> m_blocks;
    bool m_verify;
    BeforeWrite m_beforeWrite;
    ReadFirst m_readFirst;
    bool m_aside = false;
    QString m_refusalHint = kForceHint;
};
