#pragma once
#include "link/RecordFile.h"
#include "monitor/MonitorJournal.h"
#include <QByteArray>
#include <QString>

// A monitoring journal on the disk as its rows come (the window's automatic journal, the command
// line's --journal): the CSV of MonitorJournal, each row appended once it is made, synced within a
// second, so a run ended by a closed terminal, a kill or a power cut keeps its rows. A sensor
// frame's readings, which wait in memory for the next measurement row, are on the disk at once as
// a row of their own, replaced by that row when it comes. The header comes before the first row,
// and again should the columns change (the unit's model read later).
class MonitorJournalFile {
public:
    MonitorJournalFile(const QString &path, const MonitorJournal::Format &format, DiskCalls calls = DiskCalls::system());

    // Creates the file; false with errorText() when it cannot be or its disk is short of room.
    bool begin();
    // The journal's rows not yet in the file; false once the file has failed.
    bool write(const MonitorJournal &journal);
    // The last rows and the sensor readings waiting for a row, then synced and closed.
    bool finish(const MonitorJournal &journal);

    QString path() const { return m_file.path(); }
    bool failed() const { return m_file.failed(); }
    QString reason() const { return m_file.reason(); }
    // Rows in the file.
    qint64 rows() const { return m_rows + (m_waiting.isEmpty() ? 0 : 1); }
    RecordFile &record() { return m_file; }

private:
    RecordFile m_file;
    MonitorJournal::Format m_format;
    QByteArray m_header;   // the header line written last
    qint64 m_next = 0;     // the journal's number of the next row to write
    qint64 m_rows = 0;
    QByteArray m_waiting;  // the row of sensor readings waiting for their measurement row
};
