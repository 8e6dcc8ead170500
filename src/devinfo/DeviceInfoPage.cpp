#include "devinfo/DeviceInfoPage.h"
#include "devinfo/DeviceInfo.h"
#include <QGroupBox>
#include <QLabel>

namespace {
// Placement in twips.
constexpr int kLeftColumn = 240;
constexpr int kRightColumn = 4620;
constexpr int kLeftWidth = 4200;
constexpr int kRightWidth = 4140;
constexpr int kUpperTop = 480;
constexpr int kLowerTop = 3135;
constexpr int kRowTop = 300;
constexpr int kRowPitch = 315;
constexpr int kRowHeight = 255;
constexpr int kCaptionLeft = 120;
constexpr int kCaptionWidth = 1680;
constexpr int kValueLeft = 1800;
constexpr int kFrameBottomMargin = 150;
}

DeviceInfoPage::DeviceInfoPage(DeviceInfo &info, QWidget *parent) : Page(kFormName, kCaption, parent), m_info(info)
{
    addFrame(QStringLiteral("Frame1"), QStringLiteral("Общие"), DeviceInfo::generalIndexes(), kLeftColumn, kUpperTop,
             kLeftWidth);
    addFrame(QStringLiteral("Frame2"), QStringLiteral("Электронные ключи Touch Memory"), DeviceInfo::keyIndexes(),
             kRightColumn, kUpperTop, kRightWidth);
    addFrame(QStringLiteral("Frame3"), QStringLiteral("Выносные датчики температуры"), DeviceInfo::sensorIndexes(),
             kLeftColumn, kLowerTop, kLeftWidth);
    addFrame(QStringLiteral("Frame4"), QStringLiteral("Блоки аппаратного расширения"), DeviceInfo::blockIndexes(),
             kRightColumn, kLowerTop, kRightWidth);
}

void DeviceInfoPage::addFrame(const QString &name, const QString &title, const QList<int> &indexes, int leftTwips,
                              int topTwips, int widthTwips)
{
    auto *frame = new QGroupBox(title, this);
    frame->setObjectName(name);
    frame->setGeometry(px(leftTwips), px(topTwips), px(widthTwips),
                       px(kRowTop + kRowPitch * int(indexes.size()) + kFrameBottomMargin));
    for (int row = 0; row < indexes.size(); ++row) {
        const int index = indexes.at(row);
        const int top = kRowTop + kRowPitch * row;
        auto *caption = new QLabel(DeviceInfo::caption(index), frame);
        caption->setObjectName(QStringLiteral("Label1_%1").arg(index));
        caption->setGeometry(px(kCaptionLeft), px(top), px(kCaptionWidth), px(kRowHeight));
        auto *value = new QLabel(DeviceInfo::kNoData, frame);
        value->setObjectName(QStringLiteral("Label2_%1").arg(index));
        // Names and IMEI come from the unit: never let them be taken as markup.
        value->setTextFormat(Qt::PlainText);
        value->setGeometry(px(kValueLeft), px(top), px(widthTwips - kValueLeft - kCaptionLeft), px(kRowHeight));
        // Flat value display in the window colours, greyed: nothing here can be edited.
        value->setAutoFillBackground(true);
        value->setBackgroundRole(QPalette::Base);
        value->setEnabled(false);
    }
}

QLabel *DeviceInfoPage::captionLabel(int index) const
{
    return findChild<QLabel *>(QStringLiteral("Label1_%1").arg(index));
}

QLabel *DeviceInfoPage::valueLabel(int index) const
{
    return findChild<QLabel *>(QStringLiteral("Label2_%1").arg(index));
}

void DeviceInfoPage::Form_Activate()
{
    m_info.fill();
    for (const int index : DeviceInfo::allIndexes()) {
        if (QLabel *label = valueLabel(index)) {
            label->setText(m_info.value(index));
            label->setEnabled(false);
        }
    }
}
