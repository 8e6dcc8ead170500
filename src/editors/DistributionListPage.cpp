#include "editors/DistributionListPage.h"
#include "editors/FieldEditor.h"
#include "editors/FieldMaps.h"
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// Placement in pixels.
constexpr int kTop = 30;
constexpr int kRowTop = 22;
constexpr int kPitch = 26;
constexpr int kRowHeight = 21;
constexpr int kFrameWidth = 250;
constexpr int kButtonLeft = 266;
constexpr int kButtonWidth = 66;
}

DistributionListPage::DistributionListPage(QWidget *parent) : Page(kFormName, kCaption, parent)
{
    const QString titles[] = {QStringLiteral("Список номеров для рассылки SMS"),
                              QStringLiteral("Список номеров для голосового дозвона")};
    const int frameHeight = kRowTop + kPitch * 10 + 6;
    for (int list = 0; list < 2; ++list) {
        auto *frame = new QGroupBox(titles[list], this);
        frame->setObjectName(QStringLiteral("Frame%1").arg(list + 1));
        frame->setGeometry(8 + (kFrameWidth + kButtonWidth + 16) * list, kTop, kFrameWidth, frameHeight);
        for (int row = 0; row < 10; ++row) {
            const int index = 10 * list + row;
            const int top = kRowTop + kPitch * row;
            auto *label = new QLabel(FieldMaps::numberName(index), frame);
            label->setGeometry(8, top, 72, kRowHeight);
            auto *b = new QLineEdit(FieldEditor::kNoData, frame);
            b->setObjectName(QStringLiteral("Text1_%1").arg(index));
            b->setAccessibleName(FieldMaps::numberName(index));
            b->setGeometry(82, top, 158, kRowHeight);
            b->setEnabled(false);
        }
    }
    auto *column = new QLabel(QStringLiteral("Копировать"), this);
    column->setObjectName(QStringLiteral("Label1"));
    column->setGeometry(kButtonLeft - 8, kTop, kButtonWidth + 16, 20);
    column->setAlignment(Qt::AlignCenter);
    // What the copy buttons should copy is not defined: they do nothing.
    for (int i = 0; i < 10; ++i) {
        auto *button = new QPushButton(QStringLiteral("--->"), this);
        button->setObjectName(QStringLiteral("Command1_%1").arg(i));
        button->setAccessibleName(QStringLiteral("Копировать ") + FieldMaps::numberName(i));
        button->setGeometry(kButtonLeft, kTop + kRowTop + kPitch * i, kButtonWidth, kRowHeight + 2);
    }
}

void DistributionListPage::Form_Activate()
{
    for (int i = 0; i < 20; ++i) {
        if (QLineEdit *b = box(i)) {
            b->setText(FieldEditor::kNoData);
            b->setEnabled(false);
        }
    }
}

QLineEdit *DistributionListPage::box(int index) const
{
    return findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(index));
}

QPushButton *DistributionListPage::copyButton(int index) const
{
    return findChild<QPushButton *>(QStringLiteral("Command1_%1").arg(index));
}
