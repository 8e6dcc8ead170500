#include "cli/ProgressReporter.h"
#include <QRegularExpression>

void ProgressReporter::begin(const QString &caption)
{
    end();
    m_caption = caption;
    m_lastDrawn.clear();
    m_lastTenth = -1;
}

QString ProgressReporter::bar(qint64 count, qint64 total, int width)
{
    const qint64 shown = total > 0 ? qBound(qint64(0), count, total) : 0;
    const int filled = total > 0 ? int(shown * width / total) : 0;
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('.'))
        + QLatin1Char(']');
}

void ProgressReporter::update(qint64 count, qint64 total)
{
    if (m_quiet || total <= 0)
        return;
    const QString numbers = QStringLiteral("%1 / %2 байт").arg(count).arg(total);
    if (m_terminal) {
        int width = kBarWidth;
        // One column stays free: a line that fills the last one wraps on some terminals.
        if (m_columns > 0)
            width = qMin(width, m_columns - 1 - int(m_caption.size() + numbers.size()) - 4);
        const QString text = width >= 5
            ? m_caption + QLatin1Char(' ') + bar(count, total, width) + QLatin1Char(' ') + numbers
            : (m_caption + QLatin1Char(' ') + numbers).left(m_columns > 1 ? m_columns - 1 : 0);
        if (text == m_lastDrawn)
            return;
        m_lastDrawn = text;
        m_open = true;
        m_writer(QStringLiteral("\r\x1b[K") + text);
        return;
    }
    const int tenth = int(qBound(qint64(0), count, total) * 10 / total);
    if (tenth <= m_lastTenth)
        return;
    m_lastTenth = tenth;
    m_writer(m_caption + QStringLiteral(": ") + numbers + QLatin1Char('\n'));
}

void ProgressReporter::end()
{
    if (m_open)
        m_writer(QStringLiteral("\n"));
    m_open = false;
}

std::optional<std::pair<qint64, qint64>> ProgressReporter::parseCounter(const QString &counter)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d+) / (\\d+)"));
    const QRegularExpressionMatch match = pattern.match(counter);
    if (!match.hasMatch())
        return std::nullopt;
    return std::make_pair(match.captured(1).toLongLong(), match.captured(2).toLongLong());
}
