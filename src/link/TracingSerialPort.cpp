#include "link/TracingSerialPort.h"
#include "link/Cp1251.h"
#include <QDir>

namespace {
bool printable(unsigned char c)
{
    // ASCII, and the Cyrillic letters of the unit's code page (names and texts).
    return (c >= 0x20 && c < 0x7F) || c >= 0xC0 || c == 0xA8 || c == 0xB8;
}
}

TracingSerialPort::TracingSerialPort(std::unique_ptr<SerialPort> inner, const QString &path, qint64 limit)
    : m_inner(std::move(inner)), m_trace(std::make_shared<TraceFile>(path, limit)), m_own(true)
{
}

TracingSerialPort::TracingSerialPort(std::unique_ptr<SerialPort> inner, std::shared_ptr<TraceFile> shared)
    : m_inner(std::move(inner)), m_trace(std::move(shared)), m_own(false)
{
}

TracingSerialPort::~TracingSerialPort()
{
    if (m_own)
        finish();
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

void TracingSerialPort::record(const char *direction, QByteArrayView bytes)
{
    if (!m_trace->taking() || bytes.isEmpty())
        return;
    const qint64 ms = m_trace->elapsed();
    for (qsizetype at = 0; at < bytes.size(); at += kBytesPerLine)
        m_trace->append(formatLine(ms, direction, bytes.sliced(at, qMin<qsizetype>(kBytesPerLine, bytes.size() - at))));
}

void TracingSerialPort::note(const QString &text)
{
    if (m_trace->taking())
        m_trace->append(QByteArray::number(m_trace->elapsed()).rightJustified(8, ' ') + ' ' + m_notes + ' '
                        + text.toUtf8() + '\n');
}

void TracingSerialPort::name(int portNumber)
{
    const QByteArray port = "COM" + QByteArray::number(portNumber);
    m_tx = port + " TX";
    m_rx = port + " RX";
    m_notes = port + " --";
}

bool TracingSerialPort::open(int portNumber, int speed, int handshaking)
{
    const bool opened = m_inner->open(portNumber, speed, handshaking);
    name(portNumber);
    if (opened)
        note(QStringLiteral("открыт %1").arg(m_inner->settingsText()));
    else
        note(QStringLiteral("не открыт, ошибка %1").arg(m_inner->lastError()));
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
        record(m_tx.constData(), bytes);
    else
        note(QStringLiteral("не отправлено %1 байт, ошибка %2").arg(bytes.size()).arg(m_inner->lastError()));
    return written;
}

QByteArray TracingSerialPort::readAll()
{
    QByteArray bytes = m_inner->readAll();
    record(m_rx.constData(), bytes);
    return bytes;
}
