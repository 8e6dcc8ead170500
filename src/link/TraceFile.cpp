#include "link/TraceFile.h"
#include "config/ConfigFiles.h"
#include "config/FileWriter.h"
#include <QDir>

namespace {
// Written to the file in pieces of this size: few system calls, little held in memory.
constexpr qsizetype kFlushSize = 256 * 1024;
}

TraceFile::TraceFile(const QString &path, qint64 limit)
    : m_path(path), m_limit(limit), m_cutTail(" -- " + kCutLine.arg(limit).toUtf8() + '\n')
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
    m_file = std::make_unique<FileWriter>(m_path);
    if (!m_file->open()) {
        fail(m_file->reason());
        return false;
    }
    return true;
}

bool TraceFile::finish()
{
    if (!m_file)
        return m_error.isEmpty();
    flushPending();
    if (m_file && !m_file->commit())
        fail(m_file->reason());
    m_file.reset();
    return m_error.isEmpty();
}

void TraceFile::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = ConfigFiles::kWriteError + QDir::toNativeSeparators(m_path) + QStringLiteral(": ") + reason
                  + QLatin1Char('.');
    // A trace with a hole in it would mislead: none at all, the failure said.
    m_file.reset();
    m_pending.clear();
}

void TraceFile::append(const QByteArray &line)
{
    if (!taking())
        return;
    // Room is kept for the cut line, whatever its time takes.
    if (m_size + line.size() + m_cutTail.size() + 20 > m_limit) {
        m_cut = true;
        const QByteArray cut = QByteArray::number(m_elapsed()).rightJustified(8, ' ') + m_cutTail;
        m_pending += cut;
        m_size += cut.size();
    } else {
        m_pending += line;
        m_size += line.size();
    }
    if (m_pending.size() >= kFlushSize)
        flushPending();
}

void TraceFile::flushPending()
{
    if (!m_file || m_pending.isEmpty())
        return;
    if (!m_file->write(m_pending))
        fail(m_file->reason());
    m_pending.clear();
}
