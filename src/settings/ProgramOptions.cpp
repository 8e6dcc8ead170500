// Placeholder so everything links; replaced by the real implementation.
#include "settings/ProgramOptions.h"

QString ProgramOptions::caption(int) { return QString(); }
bool ProgramOptions::setCheckState(int check, int state)
{
    if (check < 1 || check > kCount || state < 0 || state > 2)
        return false;
    m_states[check - 1] = state;
    emit changed();
    return true;
}
void ProgramOptions::checkClicked(int check, int newState) { setCheckState(check, newState); }
void ProgramOptions::setSaveEnabled(bool enabled) { m_saveEnabled = enabled; emit changed(); }
