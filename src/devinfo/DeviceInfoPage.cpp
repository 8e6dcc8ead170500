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
constexpr int kValueLeft = 1800;      // the least a caption column takes
constexpr int kFrameBottomMargin = 150;
constexpr int kCaptionGapPx = 6;
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
    layoutFrames();
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
        caption->move(px(kCaptionLeft), px(top));
        auto *value = new QLabel(DeviceInfo::kNoData, frame);
        value->setObjectName(QStringLiteral("Label2_%1").arg(index));
        // Names and IMEI come from the unit: never let them be taken as markup.
        value->setTextFormat(Qt::PlainText);
        value->move(px(kValueLeft), px(top));
        // Flat value display in the window colours, greyed: nothing here can be edited.
        value->setAutoFillBackground(true);
        value->setBackgroundRole(QPalette::Base);
        greyValueDisplay(value);
    }
    m_frames.append({frame, indexes});
}

void DeviceInfoPage::layoutFrames()
{
    for (const auto &[frame, indexes] : std::as_const(m_frames))
        layoutFrame(frame, indexes);
}

void DeviceInfoPage::layoutFrame(QGroupBox *frame, const QList<int> &indexes)
{
    int captionWidth = 0;
    for (const int index : indexes) {
        const QLabel *caption = captionLabel(index);
        captionWidth = qMax(captionWidth, caption->fontMetrics().horizontalAdvance(caption->text()));
    }
    const int left = px(kCaptionLeft);
    const int valueLeft = qMax(px(kValueLeft), left + captionWidth + kCaptionGapPx);
    for (const int index : indexes) {
        QLabel *caption = captionLabel(index);
        QLabel *value = valueLabel(index);
        const int top = caption->y();
        const int height = qMax(px(kRowHeight), caption->fontMetrics().height());
        caption->setGeometry(left, top, valueLeft - kCaptionGapPx - left, height);
        value->setGeometry(valueLeft, top, frame->width() - valueLeft - left, height);
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
    // The main window sets the label fonts after the page is built.
    layoutFrames();
    m_info.fill();
    for (const int index : DeviceInfo::allIndexes()) {
        if (QLabel *label = valueLabel(index)) {
            label->setText(m_info.value(index));
            label->setEnabled(false);
        }
    }
}
