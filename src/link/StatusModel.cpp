#include "link/StatusModel.h"
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
    m_shownProgress.reset();
    if (m_counter == text)
        return;
    m_counter = text;
    emit changed();
}

void StatusModel::setBar(const QString &text)
{
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

QString StatusModel::progressBar(qint64 count, qint64 total)
{
    // std::nearbyint in the default rounding mode rounds halves to even.
    const double n = total > 0 ? std::nearbyint(double(count) * (50.0 / double(total))) : 0.0;
    return QLatin1Char(' ') + QString(qMax(0, int(n)), QLatin1Char('I'));
}

void StatusModel::showProgress(qint64 count, qint64 total)
{
    // Exchanges show their progress on every receive poll: the same numbers make the same texts.
    const std::pair<qint64, qint64> numbers{count, total};
    if (m_shownProgress == numbers)
        return;
    setCounter(QString::number(count) + QStringLiteral(" / ") + QString::number(total) + QStringLiteral(" байт"));
    setBar(progressBar(count, total));
    m_shownProgress = numbers;
}
