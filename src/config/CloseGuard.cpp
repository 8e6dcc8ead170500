#include "config/CloseGuard.h"
#include "config/ConfigImage.h"
#include "link/OperationTags.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include "shell/MessageSink.h"

namespace {
const QString kStopAndLeave = QStringLiteral(" Остановить и выйти из программы?");
const QString kNoFirmware = QStringLiteral("Устройство может остаться без работающей прошивки!");
}

CloseGuard::CloseGuard(SerialLink &link, ConfigImage &image, StatusModel &status, MessageSink &messages,
                       std::function<void()> shutDown)
    : m_link(link), m_image(image), m_status(status), m_messages(messages), m_shutDown(std::move(shutDown))
{
}

QString CloseGuard::question(const QString &tag)
{
    if (tag == Tag::ConfigRead)
        return QStringLiteral("Идёт чтение конфигурации из устройства.") + kStopAndLeave;
    if (tag == Tag::ConfigWrite || tag == Tag::ConfigFileLoad)
        return QStringLiteral("Идёт запись конфигурации в устройство. Если её остановить, в устройстве останется "
                              "часть новой конфигурации и часть прежней.")
            + kStopAndLeave;
    if (tag == Tag::ConfigFileCopy)
        return QStringLiteral("Идёт копирование конфигурации из устройства в файл. Если его остановить, файл не "
                              "будет сохранён.")
            + kStopAndLeave;
    if (tag == Tag::FirmwareRead)
        return QStringLiteral("Идёт чтение прошивки из устройства в файл. Если его остановить, файл прошивки не "
                              "будет сохранён.")
            + kStopAndLeave;
    if (tag == Tag::FirmwareWrite)
        return QStringLiteral("Идёт запись прошивки в устройство. Если её остановить, ") + kNoFirmware.toLower()
            + kStopAndLeave;
    return QString();
}

QString CloseGuard::stopped(const QString &tag)
{
    if (tag == Tag::ConfigRead)
        return QStringLiteral("Чтение конфигурации остановлено (%1).");
    if (tag == Tag::ConfigWrite || tag == Tag::ConfigFileLoad)
        return QStringLiteral("Запись конфигурации остановлена (%1). Конфигурация устройства записана не "
                              "полностью.");
    if (tag == Tag::ConfigFileCopy)
        return QStringLiteral("Копирование конфигурации в файл остановлено (%1). Файл не сохранён.");
    if (tag == Tag::FirmwareRead)
        return QStringLiteral("Чтение прошивки остановлено (%1). Файл прошивки не сохранён.");
    if (tag == Tag::FirmwareWrite)
        return QStringLiteral("Запись прошивки остановлена (%1). ") + kNoFirmware
            + QStringLiteral(" Повторите загрузку прошивки из файла.");
    return QString();
}

bool CloseGuard::mayClose()
{
    const QString tag = m_link.RPF_02VektorPriemaIsPorta;
    const QString transfer = question(tag);
    if (!transfer.isEmpty() && !m_messages.ask(transfer))
        return false;
    // A stopped configuration write has said that its edits do not reach the unit.
    const bool editsMentioned = tag == Tag::ConfigWrite;
    if (m_image.isChanged() && !editsMentioned && !m_messages.ask(kLeaveUnwritten))
        return false;
    // The transfer may have ended while a question was open.
    if (transfer.isEmpty() || m_link.RPF_02VektorPriemaIsPorta != tag)
        return true;
    const QString counter = m_status.counter().trimmed();
    // Without its tag the closing port is not taken for a lost link.
    m_link.RPF_02VektorPriemaIsPorta.clear();
    m_shutDown();
    m_messages.show(stopped(tag).arg(counter));
    return true;
}
