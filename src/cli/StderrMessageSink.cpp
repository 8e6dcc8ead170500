#include "cli/StderrMessageSink.h"

void StderrMessageSink::show(const QString &text)
{
    m_shown.append(text);
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.removeIf([this](const QString &line) { return m_withheld.contains(line); });
    if (lines.isEmpty())
        return;
    const QByteArray bytes = lines.join(QLatin1Char('\n')).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
}
