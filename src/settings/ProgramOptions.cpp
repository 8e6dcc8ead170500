#include "settings/ProgramOptions.h"

QString ProgramOptions::caption(int check)
{
    switch (check) {
    case 1: return QStringLiteral("Автоматический поиск устройства при потере соединения");
    case 2: return QStringLiteral("Чтение конфигурации при обнаружении устройства");
    case 3: return QStringLiteral("Запуск мастера при старте программы");
    case 4: return QStringLiteral("Сохранять и использовать параметры последнего успешного подключения");
    case 5: return QStringLiteral("Однократный автоматический поиск устройства при старте программы");
    default: return QString();
    }
}

bool ProgramOptions::setCheckState(int check, int state)
{
    if (check < 1 || check > kCount || state < 0 || state > 2)
        return false;
    if (m_states[check - 1] != state) {
        m_states[check - 1] = state;
        emit changed();
    }
    return true;
}

void ProgramOptions::checkClicked(int check, int newState)
{
    if (!setCheckState(check, newState))
        return;
    // Any click counts as a change, even one that restores the state the file holds.
    setSaveEnabled(true);
    emit clicked(check);
}

void ProgramOptions::setSaveEnabled(bool enabled)
{
    if (m_saveEnabled == enabled)
        return;
    m_saveEnabled = enabled;
    emit changed();
}
