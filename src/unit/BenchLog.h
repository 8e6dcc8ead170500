#pragma once
#include "monitor/MonitorJournal.h"
#include <QDateTime>
#include <QString>
#include <QStringList>

// BENCH.csv: a row per unit served on the bench, added as the unit ends. The file is rewritten whole
// through the program's file writer for every row, so after a kill or a power cut it holds every row
// up to the last unit that ended, and a failed write keeps the earlier rows byte for byte. Written as
// the monitoring journal is for a spreadsheet: UTF-8 with a byte-order mark, the locale's separators,
// date and time in columns of their own.
class BenchLog {
public:
    inline static const QString kNotWritten = QStringLiteral("Журнал стенда не записан: ");

    struct Entry {
        QDateTime when;
        int port = 0;
        QString name;
        QString imei;
        QString model;
        QString result;
        QString reason;    // why it was refused or failed; empty when written
        QString copy;      // the copy of the unit's configuration kept before the write
        double seconds = 0;
    };

    BenchLog(QString path, const MonitorJournal::Format &format);

    static QStringList header();
    // One row, without its line end.
    QString line(const Entry &entry) const;
    // Adds the row, after the header when the file is new or empty; false: errorText() says why.
    bool append(const Entry &entry);
    QString errorText() const { return m_error; }
    QString path() const { return m_path; }

private:
    QString cell(const QString &text) const;

    QString m_path;
    MonitorJournal::Format m_format;
    QString m_error;
};
