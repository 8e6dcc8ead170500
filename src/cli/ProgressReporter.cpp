#include "cli/ProgressReporter.h"
#include "link/ShownText.h"
#include <chrono>

namespace {
qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}

void ProgressReporter::begin(const QString &caption)
{
    end();
    m_began = m_ticks ? m_ticks() : steadyMs();
    m_caption = ShownText::escaped(caption);
    m_lastDrawn.clear();
    m_lastTenth = -1;
    m_noted = false;
}

QString ProgressReporter::bar(qint64 count, qint64 total, int width)
{
    const qint64 shown = total > 0 ? qBound(qint64(0), count, total) : 0;
    const int filled = total > 0 ? int(shown * width / total) : 0;
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('.'))
        + QLatin1Char(']');
}

QString ProgressReporter::duration(qint64 ms)
{
    const qint64 seconds = qMax(qint64(0), ms) / 1000;
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString ProgressReporter::timeText(qint64 elapsedMs, qint64 count, qint64 total)
{
    if (elapsedMs < kTimeShownAfterMs)
        return QString();
    const QString elapsed = duration(elapsedMs);
    if (total <= 0 || count <= 0 || count >= total || count * 100 < total * kEstimateAfterPercent)
        return elapsed;
    // At the pace so far; rounded up, so the last second left never reads 0:00.
    const qint64 leftMs = (elapsedMs * (total - count) + count - 1) / count;
    return elapsed + QStringLiteral(" / осталось ") + duration(leftMs + 999);
}

void ProgressReporter::update(qint64 count, qint64 total)
{
    if (m_quiet || total <= 0)
        return;
    const QString numbers = QStringLiteral("%1 / %2 байт").arg(count).arg(total);
    if (m_terminal) {
        const QString time = timeText((m_ticks ? m_ticks() : steadyMs()) - m_began, count, total);
        // The bar narrows with the time beside it; then the time goes, then the bar.
        const auto withBar = [&](const QString &tail) {
            int width = kBarWidth;
            // One column stays free: a line that fills the last one wraps on some terminals.
            if (m_columns > 0)
                width = qMin(width, m_columns - 1 - int(m_caption.size() + tail.size()) - 4);
            return width >= 5 ? m_caption + QLatin1Char(' ') + bar(count, total, width) + QLatin1Char(' ') + tail
                              : QString();
        };
        QString text = time.isEmpty() ? QString() : withBar(numbers + QStringLiteral("  ") + time);
        if (text.isEmpty())
            text = withBar(numbers);
        if (text.isEmpty())
            text = (m_caption + QLatin1Char(' ') + numbers).left(m_columns > 1 ? m_columns - 1 : 0);
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

void ProgressReporter::note(const QString &text)
{
    if (m_quiet)
        return;
    const QString shown = ShownText::escaped(text);
    if (m_terminal) {
        m_open = true;
        m_writer(QStringLiteral("\r\x1b[K") + shown);
    } else if (!m_noted) {
        m_writer(shown + QLatin1Char('\n'));
    }
    m_noted = true;
}

void ProgressReporter::end()
{
    if (m_open)
        m_writer(QStringLiteral("\n"));
    m_open = false;
}
