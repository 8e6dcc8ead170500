#pragma once
#include <QWidget>

class QLabel;
class StatusModel;

// The status strip along the bottom of the main window ("S" kind): mirrors StatusModel.
class StatusPanel : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanel(StatusModel &model, QWidget *parent = nullptr);

    void refresh();

private:
    StatusModel &m_model;
    QLabel *m_connection;   // Label2
    QLabel *m_operation;    // Label4
    QLabel *m_port;         // Label5
    QLabel *m_counter;      // Label7
    QLabel *m_bar;          // Label6
};
