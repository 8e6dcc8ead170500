#include "cli/StderrMessageSink.h"

QString StderrMessageSink::visible(const QString &text, const QStringList &withheld)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.removeIf([&withheld](const QString &line) { return withheld.contains(line); });
    return lines.join(QLatin1Char('\n'));
}

void StderrMessageSink::show(const QString &text)
{
    m_shown.append(text);
    const QString printed = visible(text, m_withheld);
    if (printed.isEmpty())
        return;
    const QByteArray bytes = printed.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
}
