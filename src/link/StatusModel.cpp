#include "link/StatusModel.h"
#include <charconv>
#include <cmath>

void StatusModel::setConnection(const QString &text, const QString &toolTip)
{
    if (m_connection == text && m_connectionToolTip == toolTip)
        return;
    m_connection = text;
    m_connectionToolTip = toolTip;
    emit changed();
}

void StatusModel::setOperation(const QString &text)
{
    if (m_operation == text)
        return;
    m_operation = text;
    emit changed();
}

void StatusModel::setPort(const QString &text, const QString &toolTip)
{
    if (m_port == text && m_portToolTip == toolTip)
        return;
    m_port = text;
    m_portToolTip = toolTip;
    emit changed();
}

void StatusModel::setCounter(const QString &text)
{
    makeProgressTexts();
    m_shownProgress.reset();
    if (m_counter == text)
        return;
    m_counter = text;
    emit changed();
}

void StatusModel::setBar(const QString &text)
{
    makeProgressTexts();
    m_shownProgress.reset();
    if (m_bar == text)
        return;
    m_bar = text;
    emit changed();
}

void StatusModel::clearProgress()
{
    setCounter(QString());
    setBar(QString());
}

namespace {
void appendNumber(QString &text, qint64 value)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    text += QLatin1String(digits, int(end.ptr - digits));
}

int barLetters(qint64 count, qint64 total)
{
    // std::nearbyint in the default rounding mode rounds halves to even.
    const double n = total > 0 ? std::nearbyint(double(count) * (50.0 / double(total))) : 0.0;
    return qMax(0, int(n));
}
}

QString StatusModel::progressBar(qint64 count, qint64 total)
{
    return QLatin1Char(' ') + QString(barLetters(count, total), QLatin1Char('I'));
}

void StatusModel::showProgress(qint64 count, qint64 total)
{
    // The same numbers make the same texts.
    const std::pair<qint64, qint64> numbers{count, total};
    if (m_shownProgress == numbers)
        return;
    if (m_shownProgress) {
        // Other numbers than those the texts stand for: the counter, which names both, changes.
        m_shownProgress = numbers;
        m_progressTextsMade = false;
        emit changed();
        return;
    }
    // The texts were set otherwise: made now, and announced only if they differ.
    const QString counter = m_counter;
    const QString bar = m_bar;
    m_shownProgress = numbers;
    m_progressTextsMade = false;
    makeProgressTexts();
    if (m_counter != counter || m_bar != bar)
        emit changed();
}

// The counter is made in one piece, in the text the counter had before last, which no one holds on
// to but its reader; the bar only when it is not already the one shown.
void StatusModel::makeProgressTexts() const
{
    if (m_progressTextsMade)
        return;
    m_progressTextsMade = true;
    if (!m_shownProgress)
        return;
    const auto [count, total] = *m_shownProgress;
    m_spareCounter.resize(0);
    appendNumber(m_spareCounter, count);
    m_spareCounter += QLatin1String(" / ");
    appendNumber(m_spareCounter, total);
    m_spareCounter += QStringLiteral(" байт");
    m_counter.swap(m_spareCounter);
    const int letters = barLetters(count, total);
    const bool barShown = m_bar.size() == letters + 1 && m_bar.startsWith(QLatin1Char(' '))
        && m_bar.count(QLatin1Char('I')) == letters;
    if (!barShown)
        m_bar = progressBar(count, total);
}
