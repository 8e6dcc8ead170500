#pragma once
#include "shell/Page.h"
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTextEdit;
class SerialLink;

// The page RPF_02 "Соединение с компьютером": port choices, open/close, search buttons and the port
// state; a thin view over SerialLink and its choices. The search and save buttons ask the page's
// owner, which runs the unit's supervision and keeps the program settings.
class SerialPage : public Page {
    Q_OBJECT
public:
    explicit SerialPage(SerialLink &link, QWidget *parent = nullptr);

    void Form_Activate() override;

    // Button handlers (the buttons call them; so may tests).
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Komanda2_Click();   // "Открыть порт"
    void Komanda3_Click();   // "Закрыть порт"

    // "Сохранить настройки" offered again after a save that wrote nothing.
    void setSaveEnabled(bool enabled);

    // Rereads the link's choices and state into the controls.
    void refresh();

    // Each port number in the port box gets toolTip(number) as its tooltip (the adapter behind it);
    // updatePortToolTips() asks again, when the system's devices changed.
    void setPortToolTips(std::function<QString(int)> toolTip);
    void updatePortToolTips();

signals:
    // "Найти устройство автоматически": the automatic search is to run.
    void autoSearchRequested();
    // "Закрыть порт" (true): the port is to stay closed; "Открыть порт" or "Найти устройство"
    // (false): it may be opened again.
    void closedByUser(bool closed);
    // "Сохранить настройки": the port choices and options are to be remembered.
    void saveRequested();


private:
    void choiceMade();

    SerialLink &m_link;
    bool m_refreshing = false;
    std::function<QString(int)> m_portToolTip;

    QPushButton *m_command1;
    QPushButton *m_command3;
    QGroupBox *m_frame;
    QComboBox *m_combo1;
    QComboBox *m_combo2;
    QComboBox *m_combo3;
    QPushButton *m_open;
    QPushButton *m_close;
    QPushButton *m_save;
    QLabel *m_settingsValue;   // Label4
    QLabel *m_stateValue;      // Label5
};
