#include "link/TracingSerialPort.h"
#include "config/ConfigFiles.h"
#include "config/FileWriter.h"
#include "link/Cp1251.h"
#include <QDir>

namespace {
// Written to the file in pieces of this size: few system calls, little held in memory.
constexpr qsizetype kFlushSize = 256 * 1024;

bool printable(unsigned char c)
{
    // ASCII, and the Cyrillic letters of the unit's code page (names and texts).
    return (c >= 0x20 && c < 0x7F) || c >= 0xC0 || c == 0xA8 || c == 0xB8;
}
}

TracingSerialPort::TracingSerialPort(std::unique_ptr<SerialPort> inner, const QString &path, qint64 limit)
    : m_inner(std::move(inner)), m_path(path), m_limit(limit),
      m_cutTail(" -- " + kCutLine.arg(limit).toUtf8() + '\n')
{
    m_timer.start();
    m_elapsed = [this] { return m_timer.elapsed(); };
}

TracingSerialPort::~TracingSerialPort()
{
    finish();
}

bool TracingSerialPort::begin()
{
    m_file = std::make_unique<FileWriter>(m_path);
    if (!m_file->open()) {
        fail(m_file->reason());
        return false;
    }
    return true;
}

bool TracingSerialPort::finish()
{
    if (!m_file)
        return m_error.isEmpty();
    flushPending();
    if (m_file && !m_file->commit())
        fail(m_file->reason());
    m_file.reset();
    return m_error.isEmpty();
}

void TracingSerialPort::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = ConfigFiles::kWriteError + QDir::toNativeSeparators(m_path) + QStringLiteral(": ") + reason
                  + QLatin1Char('.');
    // A trace with a hole in it would mislead: none at all, the failure said.
    m_file.reset();
    m_pending.clear();
}

QByteArray TracingSerialPort::formatLine(qint64 ms, const char *direction, QByteArrayView bytes)
{
    QByteArray text(bytes.size(), '.');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (printable(static_cast<unsigned char>(bytes[i])))
            text[i] = bytes[i];
    }
    return QByteArray::number(ms).rightJustified(8, ' ') + ' ' + direction + ' '
           + bytes.toByteArray().toHex(' ').toUpper() + "  " + Cp1251::decode(text).toUtf8() + '\n';
}

void TracingSerialPort::append(const QByteArray &line)
{
    if (!m_file || m_cut)
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

void TracingSerialPort::flushPending()
{
    if (!m_file || m_pending.isEmpty())
        return;
    if (!m_file->write(m_pending))
        fail(m_file->reason());
    m_pending.clear();
}

void TracingSerialPort::record(const char *direction, QByteArrayView bytes)
{
    if (!m_file || m_cut || bytes.isEmpty())
        return;
    const qint64 ms = m_elapsed();
    for (qsizetype at = 0; at < bytes.size(); at += kBytesPerLine)
        append(formatLine(ms, direction, bytes.sliced(at, qMin<qsizetype>(kBytesPerLine, bytes.size() - at))));
}

void TracingSerialPort::note(const QString &text)
{
    if (m_file && !m_cut)
        append(QByteArray::number(m_elapsed()).rightJustified(8, ' ') + " -- " + text.toUtf8() + '\n');
}

bool TracingSerialPort::open(int portNumber, int speed, int handshaking)
{
    const bool opened = m_inner->open(portNumber, speed, handshaking);
    if (opened)
        note(QStringLiteral("открыт COM%1 %2").arg(portNumber).arg(m_inner->settingsText()));
    else
        note(QStringLiteral("COM%1 не открыт, ошибка %2").arg(portNumber).arg(m_inner->lastError()));
    return opened;
}

void TracingSerialPort::close()
{
    if (m_inner->isOpen())
        note(QStringLiteral("закрыт"));
    m_inner->close();
}

bool TracingSerialPort::write(QByteArrayView bytes)
{
    const bool written = m_inner->write(bytes);
    if (written)
        record("TX", bytes);
    else
        note(QStringLiteral("не отправлено %1 байт, ошибка %2").arg(bytes.size()).arg(m_inner->lastError()));
    return written;
}

QByteArray TracingSerialPort::readAll()
{
    QByteArray bytes = m_inner->readAll();
    record("RX", bytes);
    return bytes;
}
