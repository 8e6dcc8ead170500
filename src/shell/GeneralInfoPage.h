#pragma once
#include "shell/Page.h"

// "Общие сведения": a frame with the wizard hint and a picture; no logic.
class GeneralInfoPage : public Page {
    Q_OBJECT
public:
    explicit GeneralInfoPage(QWidget *parent = nullptr);
};
