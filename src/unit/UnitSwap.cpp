#include "unit/UnitSwap.h"
#include "config/ConfigImage.h"
#include "link/SerialLink.h"
#include "monitor/MonitorExchange.h"
#include "shell/MessageSink.h"

UnitSwap::UnitSwap(ConfigImage &image, const SerialLink &link, MonitorExchange &monitor, MessageSink &messages,
                   FileDialogs &dialogs, const QString &folder)
    : m_image(image), m_link(link), m_monitor(monitor), m_messages(messages), m_dialogs(dialogs), m_folder(folder)
{
}

bool UnitSwap::imageOfOtherUnit() const
{
    const QString unit = m_link.deviceName();
    return !unit.isEmpty() && m_image.isFromOtherUnit(unit);
}

bool UnitSwap::imageNotOfThisUnit() const
{
    const QString unit = m_link.deviceName();
    return !unit.isEmpty() && m_image.isNotFrom(unit, m_link.identificationCount());
}

UnitSwap::Outcome UnitSwap::unitIdentified()
{
    const QString unit = m_link.deviceName();
    keepJournalToOneUnit(unit);
    if (!imageOfOtherUnit()) {
        m_editsKeptFor.clear();
        return Outcome::SameUnit;
    }
    if (!m_image.isChanged())
        return Outcome::ReadNewUnit;
    // The answer stands while the same unit is found again (a lost reply closes the port and the
    // search finds it anew); another unit, or the image's own coming back in between, asks again.
    if (m_editsKeptFor == unit)
        return Outcome::EditsKept;
    const int identification = m_link.identificationCount();
    if (!m_messages.ask(kOtherUnitWithEdits.arg(m_image.sourceUnit().trimmed(), unit.trimmed()))) {
        m_editsKeptFor = unit;
        return Outcome::EditsKept;
    }
    // While the question was open the unit may have gone (or been found again): the yes was for a
    // read of it that can no longer be made, so nothing is lost for it.
    if (m_link.identificationCount() != identification || m_link.deviceName() != unit)
        return Outcome::EditsKept;
    m_editsKeptFor.clear();
    m_image.setChanged(false);
    return Outcome::EditsDropped;
}

void UnitSwap::keepJournalToOneUnit(const QString &unit)
{
    const MonitorJournal &journal = m_monitor.journal();
    if (journal.unit() == unit)
        return;
    if (journal.size() > 0
        && m_messages.ask(kJournalOfOtherUnit.arg(journal.unit().trimmed(), QString::number(journal.size()),
                                                  unit.trimmed())))
        m_monitor.saveJournal(m_dialogs, m_folder);
    m_monitor.startJournal(unit);
}
