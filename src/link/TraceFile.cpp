#include "link/TraceFile.h"

TraceFile::TraceFile(const QString &path, qint64 limit, DiskCalls calls)
    : m_path(path), m_limit(limit), m_cutTail(" -- " + kCutLine.arg(limit).toUtf8() + '\n'),
      m_file(path, std::move(calls))
{
    m_timer.start();
    m_elapsed = [this] { return m_timer.elapsed(); };
}

TraceFile::~TraceFile()
{
    finish();
}

bool TraceFile::begin()
{
    return m_file.begin();
}

bool TraceFile::finish()
{
    return m_file.finish();
}

void TraceFile::append(const QByteArray &line)
{
    if (!taking())
        return;
    // Room is kept for the cut line, whatever its time takes.
    if (m_file.size() + line.size() + m_cutTail.size() + 20 > m_limit) {
        m_cut = true;
        m_file.append(QByteArray::number(m_elapsed()).rightJustified(8, ' ') + m_cutTail);
    } else {
        m_file.append(line);
    }
}
