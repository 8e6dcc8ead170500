#include "cli/StderrMessageSink.h"

void StderrMessageSink::show(const QString &text)
{
    m_shown.append(text);
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
}
