#include "unit/UnitBackups.h"
#include "config/ConfigImage.h"
#include "link/SerialLink.h"
#include "shell/MessageSink.h"
#include "unit/UnitIdentity.h"
#include <QDir>
#include <utility>

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
    if (bytes.size() != ConfigImage::kImageSize || !ModelCheck::namesModel(bytes.right(ConfigImage::kTailSize)))
        return;
    const QString name = m_link.deviceName();
    const Read read{bytes, m_link.identificationCount()};
    m_reads.insert(name, read);
    if (m_firstReads.value(name).connection != read.connection)
        m_firstReads.insert(name, read);
    if (!m_keeping)
        return;
    const ConfigBackups::Result kept = m_store.keep(owner(), bytes, ConfigBackups::Kind::Read);
    // The read itself succeeded and the unit stays connected; the user still learns, once while it
    // stays found, that no copy of it was kept. A note: this runs inside the read's receive handler,
    // where a box waiting for its OK would hold the link up.
    if (!kept.ok) {
        ++m_keepFailures;
        if (std::exchange(m_warnedConnection, read.connection) != read.connection)
            m_messages.note(kept.error);
    }
}

ConfigBackups::Owner UnitBackups::owner() const
{
    const QString name = m_link.deviceName();
    const Read first = m_firstReads.value(name);
    const QString imei =
        first.connection == m_link.identificationCount() ? UnitIdentity::imei(first.bytes) : QString();
    return {name, imei, m_link.isOpen() ? m_link.UsbComPortNumber : 0};
}

bool UnitBackups::beforeWrite()
{
    m_earlierCopy.clear();
    m_writing = m_link.deviceName();
    const QByteArray read = lastRead(m_writing);
    // Nothing of this unit was read since it was found, so there is nothing to keep: a read before
    // the line was lost may be another unit's of the same name.
    if (read.isEmpty() || !m_keeping)
        return true;
    const ConfigBackups::Result kept = m_store.keep(owner(), read, ConfigBackups::Kind::BeforeWrite);
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
            m_messages.show(kEarlierCopy.arg(QDir::toNativeSeparators(m_earlierCopy))
                            + (m_restoreHint.isEmpty() ? QString() : QLatin1Char('\n') + m_restoreHint));
        return;
    }
    // The unit now holds what was sent, beside its own model bytes.
    const QByteArray read = lastRead(m_writing);
    if (!read.isEmpty() && memory.size() == ConfigImage::kMemorySize)
        m_reads[m_writing].bytes = memory + read.right(ConfigImage::kTailSize);
    else
        m_reads.remove(m_writing);
}

QByteArray UnitBackups::lastRead(const QString &unitName) const
{
    const auto read = m_reads.constFind(unitName);
    return read != m_reads.constEnd() && read->connection == m_link.identificationCount() ? read->bytes
                                                                                          : QByteArray();
}

ModelCheck::Result UnitBackups::modelCheck() const
{
    return ModelCheck::compare(m_image, lastRead(m_link.deviceName()).right(ConfigImage::kTailSize));
}
