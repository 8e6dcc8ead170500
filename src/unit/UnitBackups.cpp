#include "unit/UnitBackups.h"
#include "config/ConfigImage.h"
#include "link/SerialLink.h"
#include "shell/MessageSink.h"
#include <QDir>

UnitBackups::UnitBackups(ConfigBackups &store, const ConfigImage &image, const SerialLink &link,
                         MessageSink &messages)
    : m_store(store), m_image(image), m_link(link), m_messages(messages)
{
}

QByteArray UnitBackups::imageBytes() const
{
    return m_image.bytes(1, ConfigImage::kImageSize);
}

void UnitBackups::keepRead(const QByteArray &bytes)
{
    if (bytes.size() != ConfigImage::kImageSize)
        return;
    const QString name = m_link.deviceName();
    m_reads.insert(name, bytes);
    if (!m_keeping)
        return;
    const ConfigBackups::Result kept = m_store.keep(name, bytes, ConfigBackups::Kind::Read);
    // The read itself succeeded; the user still learns that no copy of it was kept.
    if (!kept.ok)
        m_messages.show(kept.error);
}

bool UnitBackups::beforeWrite()
{
    m_earlierCopy.clear();
    m_writing = m_link.deviceName();
    const auto read = m_reads.constFind(m_writing);
    // Nothing of this unit was read in this run, so there is nothing to keep.
    if (read == m_reads.constEnd() || !m_keeping)
        return true;
    const ConfigBackups::Result kept = m_store.keep(m_writing, *read, ConfigBackups::Kind::BeforeWrite);
    if (!kept.ok) {
        m_messages.show(kept.error + QLatin1Char('\n') + kWriteRefused);
        return false;
    }
    m_earlierCopy = kept.path;
    return true;
}

void UnitBackups::writeEnded(bool ok, const QByteArray &memory)
{
    if (!ok) {
        if (!m_earlierCopy.isEmpty())
            m_messages.show(kEarlierCopy.arg(QDir::toNativeSeparators(m_earlierCopy)));
        return;
    }
    // The unit now holds what was sent, beside its own model bytes.
    const auto read = m_reads.find(m_writing);
    if (read != m_reads.end() && memory.size() == ConfigImage::kMemorySize)
        *read = memory + read->right(ConfigImage::kTailSize);
    else if (read != m_reads.end())
        m_reads.erase(read);
}

ModelCheck::Result UnitBackups::modelCheck() const
{
    return ModelCheck::compare(m_image, m_reads.value(m_link.deviceName()).right(ConfigImage::kTailSize));
}
