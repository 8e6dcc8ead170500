#pragma once
#include "shell/Page.h"

class QLineEdit;
class QPushButton;

// The page "Список рассылки" (RPF_10): the SMS and voice-call number lists laid out with a copy
// button per row. Bound to nothing: the boxes always show the no-data marker, disabled, and the
// buttons do nothing; the numbers are edited on the SIM-card settings page.
class DistributionListPage : public Page {
    Q_OBJECT
public:
    inline static const QString kFormName = QStringLiteral("RPF_10");
    inline static const QString kCaption = QStringLiteral("Список рассылки");

    explicit DistributionListPage(QWidget *parent = nullptr);

    void Form_Activate() override;

    QLineEdit *box(int index) const;          // Text1(0..19)
    QPushButton *copyButton(int index) const;  // Command1(0..9)
};
