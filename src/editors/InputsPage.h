#pragma once
#include "editors/EditorPage.h"

// The page "Входы" (RPF_11): the normal range of each input in percent, upper "ZH1".."ZH12" and
// lower "ZL1".."ZL12". The voltage conversion frame exists hidden and is bound to nothing.
class InputsPage : public EditorPage {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_11");
    inline static const QString kCaption = QStringLiteral("Входы");
    static constexpr int kInputs = 12;

    InputsPage(ConfigImage &image, MessageSink &messages, QWidget *parent = nullptr);

    // The text of input's (1..12) upper or lower threshold box as shown: decimal percent, or the
    // no-data marker; empty for an input outside 1..12.
    QString thresholdText(int input, bool upper) const;
};
