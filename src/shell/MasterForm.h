#pragma once
#include <QWidget>

// The start wizard "Мастер": a picture and three buttons; only "Отмена" does anything.
class MasterForm : public QWidget {
    Q_OBJECT
public:
    explicit MasterForm(QWidget *parent = nullptr);
    // Sits directly below the main window, as wide as it.
    void attachBelow(const QWidget *mainWindow);
};
