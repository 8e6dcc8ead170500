#pragma once
#include "editors/EditorPage.h"

// The page "Базовые настройки (с SIM-карты)" (RPF_08): twenty distribution and call numbers, the two
// partner numbers, eight parameters and thirteen on/off flags, each named by its short Latin name.
class SimSettingsPage : public EditorPage {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_08");
    inline static const QString kCaption = QStringLiteral("Базовые настройки (с SIM-карты)");

    SimSettingsPage(ConfigImage &image, MessageSink &messages, QWidget *parent = nullptr);
};
