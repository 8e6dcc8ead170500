#include "link/StatusSupervisor.h"
#include "link/CommandQueue.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "link/UnitSettings.h"
#include <utility>

namespace {
const QString kIdle = QStringLiteral("...");

// Operation state text shown for each tag; any tag not listed shows kIdle.
const QList<std::pair<QString, QString>> &operationTexts()
{
    static const QList<std::pair<QString, QString>> texts{
        {Tag::FirmwareWrite, QStringLiteral("Запись прошивки...")},
        {Tag::Written, QStringLiteral("Записано успешно!")},
        {Tag::WriteError, QStringLiteral("Ошибка при записи!")},
        {Tag::FirmwareRead, QStringLiteral("Чтение прошивки...")},
        {Tag::Saved, QStringLiteral("Сохранено успешно!")},
        {Tag::SaveError, QStringLiteral("Ошибка при сохранении!")},
        {Tag::ConfigFileCopy, QStringLiteral("Чтение конфигурации...")},
        {Tag::ConfigRead, QStringLiteral("Чтение конфигурации...")},
        {Tag::ReadOk, QStringLiteral("Прочитано успешно!")},
        {Tag::ReadError, QStringLiteral("Ошибка при чтении!")},
        {Tag::ConfigFileLoad, QStringLiteral("Запись конфигурации...")},
        {Tag::ConfigWrite, QStringLiteral("Запись конфигурации...")},
        {Tag::NameReading, QStringLiteral("Поиск устройства...")},
        {Tag::NameRead, QStringLiteral("Устройство обнаружено!")},
        {Tag::NameNotRead, QStringLiteral("Устройство не обнаружено!")},
        {Tag::TransferError, QStringLiteral("Ошибка передачи!")},
        {Tag::Monitoring, QStringLiteral("Мониторинг...")},
    };
    return texts;
}

template <typename F, typename... Args>
void call(const F &hook, Args... args)
{
    if (hook)
        hook(args...);
}
}

StatusSupervisor::StatusSupervisor(SerialLink &link, CommandQueue &queue, StatusModel &status, QObject *parent)
    : QObject(parent), m_link(link), m_queue(queue), m_status(status)
{
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, &StatusSupervisor::tick);
}

void StatusSupervisor::load()
{
    m_status.clearProgress();
    PagesRefreshed = false;
}

void StatusSupervisor::tick()
{
    showPortState();
    if (m_link.UstroistvoNameClear.isEmpty() && Avtopoisk && !closedByUser)
        runAutomaticSearch();
    followUpTag();
    // A command posted above starts in this same tick.
    m_queue.pump();
    call(m_hooks.lockPages, m_queue.LinkFree());
    call(m_hooks.checkMonitoringButtons);
}

void StatusSupervisor::showPortState()
{
    if (m_link.isOpen()) {
        m_status.setConnection(m_link.UstroistvoNameClear.isEmpty() ? StatusModel::kPassive : StatusModel::kActive);
        return;
    }
    // Closed: "Нет"; why the link broke stays in the tooltip until the next open.
    QString why = m_link.connectionError();
    if (!why.isEmpty() && !m_link.connectionErrorToolTip().isEmpty())
        why += QLatin1Char('\n') + m_link.connectionErrorToolTip();
    m_status.setConnection(StatusModel::kNone, why);
    m_link.UstroistvoNameClear.clear();
    call(m_hooks.setConfigurationRead, false);
    PagesRefreshed = false;
    call(m_hooks.deactivateOffline);
    call(m_hooks.clearVersions);
    if (searchOnLoss && !closedByUser)
        Avtopoisk = true;
}

void StatusSupervisor::closeByUser()
{
    closedByUser = true;
    Avtopoisk = false;
    for (const QString &command : {Cmd::PoiskUstroistva, Cmd::MonitoringProcess, Cmd::ConfiguraciaReadProcess})
        m_queue.drop(command);
}

void StatusSupervisor::runAutomaticSearch()
{
    // One search waits at a time: "Найти устройство" beside the one the loss option posts, or the
    // ticks of a busy link, would otherwise queue more, and each one left would close the unit the
    // one before it found.
    if (m_queue.isQueued(Cmd::PoiskUstroistva))
        return;
    if (UseLastSucsessConnection) {
        UseLastSucsessConnection = false;
        m_queue.post(Cmd::PoiskUstroistva);
        return;
    }
    // The offered ports in their order; the search walks them one a tick.
    const QStringList ports = m_link.choices().portItems();
    int port = 0;
    while (port == 0) {
        ++searchIndex;
        if (searchIndex > ports.size()) {
            // List exhausted: the search stops, and the next round starts again at the first port.
            searchIndex = 0;
            Avtopoisk = false;
            break;
        }
        // Only a port number goes into the queue: the list comes from a file edited by hand, and any
        // other text could break out of its queue entry.
        bool ok = false;
        const int n = ports.at(searchIndex - 1).trimmed().toInt(&ok);
        if (ok && n >= 1 && n <= 32767)
            port = n;
    }
    if (port > 0)
        searchPort = QString::number(port);
    m_queue.post(Cmd::PoiskUstroistva, searchPort);
}

void StatusSupervisor::followUpTag()
{
    const QString tag = m_link.RPF_02VektorPriemaIsPorta;
    QString text = kIdle;
    for (const auto &[t, shown] : operationTexts()) {
        if (t == tag) {
            text = shown;
            break;
        }
    }
    m_status.setOperation(text);

    if (tag == Tag::FirmwareWrite || tag == Tag::Written || tag == Tag::WriteError || tag == Tag::FirmwareRead
        || tag == Tag::Saved || tag == Tag::SaveError || tag == Tag::Monitoring) {
        return;
    }
    if (tag == Tag::ConfigFileCopy || tag == Tag::ConfigRead || tag == Tag::ConfigFileLoad || tag == Tag::ConfigWrite) {
        PagesRefreshed = false;
        m_refreshedAfterFailedRead = false;
    } else if (tag == Tag::ReadOk) {
        m_queue.setLinkFree(true);
        if (!PagesRefreshed) {
            call(m_hooks.refreshPages);
            PagesRefreshed = true;
        }
    } else if (tag == Tag::ReadError) {
        m_queue.setLinkFree(true);
        // A read that stopped early leaves the image partly new: show what it holds now, once. Only
        // the pages that show the image: the others would empty the byte counter that tells what came.
        if (!m_refreshedAfterFailedRead) {
            call(m_hooks.refreshSettingsPages);
            m_refreshedAfterFailedRead = true;
        }
        PagesRefreshed = false;
    } else if (tag == Tag::NameReading) {
        call(m_hooks.setConfigurationRead, false);
    } else if (tag == Tag::NameRead) {
        // Cleared on every tick: a search requested while the unit is known must not outlive it.
        Avtopoisk = false;
        followUpIdentification();
        if (m_readKeptEdits)
            m_status.setOperation(kEditsKept);
    } else if (tag == Tag::NameNotRead) {
        m_link.CloseUsbComPort();
        m_queue.setLinkFree(true);
        call(m_hooks.setConfigurationRead, false);
    } else if (tag == Tag::TransferError) {
        m_link.CloseUsbComPort();
        m_queue.setLinkFree(true);
    } else {
        m_queue.setLinkFree(true);
    }
}

void StatusSupervisor::followUpIdentification()
{
    // Once per identification: repeating it every tick would rewrite TX.cfg five times a second.
    if (m_followedUpIdentification == m_link.identificationCount())
        return;
    m_followedUpIdentification = m_link.identificationCount();
    m_readKeptEdits = false;
    call(m_hooks.activateOnline);
    call(m_hooks.identified);
    // The hook may have waited for the user in a question, a nested event loop: a unit gone or found
    // again meanwhile is not read on this identification's account. A read posted for a closed port
    // would sit ahead of the search that follows the loss, so every search would then start a tick
    // late and close the unit the one before it had found.
    if (m_link.identificationCount() != m_followedUpIdentification || m_link.UstroistvoNameClear.isEmpty())
        return;
    const bool alreadyRead = m_hooks.configurationRead && m_hooks.configurationRead();
    if (readOnDetection && !alreadyRead) {
        // Edits not yet written are not replaced behind the user's back.
        if (m_hooks.unsavedEdits && m_hooks.unsavedEdits()) {
            m_readKeptEdits = true;
            return;
        }
        m_queue.post(Cmd::ConfiguraciaReadProcess);
        call(m_hooks.setConfigurationRead, true);
    }
}
