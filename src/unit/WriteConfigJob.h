#pragma once
#include "unit/UnitJob.h"
#include <QByteArray>
#include <QList>
#include <functional>

// A .cf file into an identified unit through the window's own load routine, then with verify the
// unit's configuration read back and compared with the file's blocks. The file was checked whole
// before (blocks); the routine checks it again as it loads.
class WriteConfigJob : public UnitJob {
    Q_OBJECT
public:
    // Runs before the first block goes out; false stops the job (it has finished it).
    using BeforeWrite = std::function<bool(WriteConfigJob &job)>;

    WriteConfigJob(UnitSession &unit, UnitMessages &messages, QString file, QList<QByteArray> blocks, bool verify,
                   QObject *parent = nullptr);
    void start() override;
    void setBeforeWrite(BeforeWrite step) { m_beforeWrite = std::move(step); }
    // For a step before the write: ends the job with its own outcome.
    void stop(int code, const QString &text) { fail(code, text); }

private:
    void write();
    void verify();

    QString m_file;
    QList<QByteArray> m_blocks;
    bool m_verify;
    BeforeWrite m_beforeWrite;
};
