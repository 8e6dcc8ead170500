#pragma once
#include "shell/Page.h"
#include <array>

class QCheckBox;
class QPushButton;
class ProgramOptions;

// The page "Настройки программы" (RPF_19): the five program options and their save button,
// bound to ProgramOptions.
class SettingsPage : public Page {
    Q_OBJECT
public:
    explicit SettingsPage(ProgramOptions &options, QWidget *parent = nullptr);

    QCheckBox *check(int n) const { return m_checks.at(n - 1); }   // Check1..Check5
    QPushButton *saveButton() const { return m_save; }              // Command2

    void Form_Activate() override;
    // Asks for the settings to be saved (refreshed from the unit's choices and written), disables the button.
    void Command2_Click();

signals:
    void saveRequested();

private:
    void showOptions();

    ProgramOptions &m_options;
    std::array<QCheckBox *, 5> m_checks{};
    QPushButton *m_save = nullptr;
};
