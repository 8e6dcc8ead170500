#pragma once
#include <QObject>
#include <QString>
#include <array>

// The five options of the page "Настройки программы", shared by every unit of the program.
class ProgramOptions : public QObject {
    Q_OBJECT
public:
    static constexpr int kCount = 5;
    // The boxes by what they do (Check1..Check5).
    enum Option : int {
        SearchOnLoss = 1,
        ReadOnDetection = 2,
        LastPortFirst = 4,
        AutomaticSearch = 5,
    };
    // Captions of Check1..Check5.
    static QString caption(int check);
    // Check2 and Check3 are created disabled and never enabled.
    static bool isUserEditable(int check) { return check != 2 && check != 3; }

    explicit ProgramOptions(QObject *parent = nullptr) : QObject(parent) {}

    // State 0 unticked, 1 ticked, 2 greyed; check is 1..5.
    int checkState(int check) const { return m_states.at(check - 1); }
    bool isChecked(int check) const { return checkState(check) != 0; }
    // Applied by the settings load: no dirty flag, no side effects; states outside 0..2 are refused.
    bool setCheckState(int check, int state);
    // A click of the user: the new state and "Сохранить настройки" enabled; clicked() tells who
    // follows a box at once (Check5 starts a search).
    void checkClicked(int check, int newState);

    bool saveEnabled() const { return m_saveEnabled; }   // Command2
    void setSaveEnabled(bool enabled);
    void Form_Activate() { setSaveEnabled(false); }

signals:
    void changed();
    void clicked(int check);

private:
    std::array<int, kCount> m_states{0, 0, 0, 0, 0};
    bool m_saveEnabled = false;
};
