#include "monitor/MonitorJournalFile.h"

MonitorJournalFile::MonitorJournalFile(const QString &path, const MonitorJournal::Format &format, DiskCalls calls)
    : m_file(path, std::move(calls)), m_format(format)
{
}

bool MonitorJournalFile::begin()
{
    return m_file.begin();
}

bool MonitorJournalFile::write(const MonitorJournal &journal)
{
    if (!m_file.isOpen())
        return false;
    // A journal begun anew (another unit) starts its numbers again.
    if (journal.serial() < m_next)
        m_next = 0;
    const QByteArray rows = journal.lines(m_next, false, journal.layout(), m_format);
    const QByteArray waiting = journal.lines(journal.serial(), true, journal.layout(), m_format);
    m_next = journal.serial();
    if (rows.isEmpty() && waiting == m_waiting)
        return true;
    QByteArray bytes;
    const QByteArray header = journal.headerLine(journal.layout(), m_format);
    if (header != m_header) {
        if (m_header.isEmpty() && m_format.byteOrderMark)
            bytes = QByteArrayLiteral("\xEF\xBB\xBF");
        bytes += header;
        m_header = header;
    }
    m_rows += rows.count('\n');
    if (!m_file.takeBack(m_waiting.size()))
        return false;
    m_waiting = waiting;
    return m_file.append(bytes + rows + waiting);
}

bool MonitorJournalFile::finish(const MonitorJournal &journal)
{
    write(journal);
    return m_file.finish();
}
