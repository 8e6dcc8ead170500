#pragma once
#include "editors/EditorPage.h"

// The page "Базовые настройки (из памяти контроллера)" (RPF_07): the twelve input message texts,
// the six temperature ranges and the day and night thresholds of the three thermostat relays.
class BasicSettingsPage : public EditorPage {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_07");
    inline static const QString kCaption = QStringLiteral("Базовые настройки (из памяти контроллера)");

    BasicSettingsPage(ConfigImage &image, MessageSink &messages, QWidget *parent = nullptr);
};
