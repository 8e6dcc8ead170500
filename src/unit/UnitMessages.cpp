#include "unit/UnitMessages.h"
#include "config/ConfigExchange.h"

QString UnitMessages::visible(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    // The generic count message, and the window's advice to press its button.
    lines.removeIf([](const QString &line) {
        return line == ConfigExchange::kCountMismatch || line == ConfigExchange::kPartialImage;
    });
    return lines.join(QLatin1Char('\n'));
}

void UnitMessages::show(const QString &shown)
{
    const QString text = m_rewrite ? m_rewrite(shown) : shown;
    m_texts.append(text);
    if (const QString printed = visible(text); m_printer && !printed.isEmpty())
        m_printer(printed);
}

QStringList UnitMessages::printable(qsizetype from) const
{
    QStringList out;
    for (qsizetype i = qMax<qsizetype>(0, from); i < m_texts.size(); ++i)
        if (const QString printed = visible(m_texts.at(i)); !printed.isEmpty())
            out << printed;
    return out;
}

bool UnitMessages::countShownSince(qsizetype from) const
{
    for (qsizetype i = qMax<qsizetype>(0, from); i < m_texts.size(); ++i)
        if (m_texts.at(i).split(QLatin1Char('\n')).contains(ConfigExchange::kCountMismatch))
            return true;
    return false;
}
