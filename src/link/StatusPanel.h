#pragma once
#include <QWidget>

class QLabel;
class StatusModel;

// The status strip along the bottom of the main window ("S" kind): mirrors StatusModel. Every value
// label has room for the longest text it shows (all 50 marks of the progress bar included); the
// state labels share whatever width the strip has beyond that.
class StatusPanel : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanel(StatusModel &model, QWidget *parent = nullptr);

    void refresh();
    // The designed width, or more where the platform's font needs it; narrower windows get less.
    QSize sizeHint() const override { return {m_designWidth, height()}; }

    // The texts each value label is sized for.
    static QStringList widestConnectionTexts();
    static QStringList widestOperationTexts();
    static QString widestCounterText();
    static QString fullBarText();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    StatusModel &m_model;
    int m_designWidth = 0;
    QLabel *m_connection;   // Label2
    QLabel *m_operation;    // Label4
    QLabel *m_port;         // Label5
    QLabel *m_counter;      // Label7
    QLabel *m_bar;          // Label6
};
