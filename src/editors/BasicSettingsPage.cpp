#include "editors/BasicSettingsPage.h"
#include "editors/FieldMaps.h"
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {
// Placement in pixels.
constexpr int kTop = 30;
constexpr int kHeight = 362;
constexpr int kPageWidth = 600;
constexpr int kMargin = 8;
constexpr int kRowHeight = 21;
constexpr int kTextPitch = 27;
constexpr int kTemperaturePitch = 24;
constexpr int kControlWidth = 284;
constexpr int kRelaysTop = 224;
}

BasicSettingsPage::BasicSettingsPage(ConfigImage &image, MessageSink &messages, QWidget *parent)
    : EditorPage(kFormName, kCaption, image, FieldMaps::basicSettings(), messages, parent)
{
    QGroupBox *texts = addFrame(this, QStringLiteral("Frame1"),
                                QStringLiteral("Тексты сообщений по входам (зонам контроля)"), QRect());
    QList<QLineEdit *> messageBoxes;
    for (int n = 1; n <= 12; ++n) {
        const int top = 24 + kTextPitch * (n - 1);
        addLabel(texts, QStringLiteral("Вход %1").arg(n), QRect(8, top, 52, kRowHeight));
        messageBoxes << addBox(texts, FieldMaps::messageKey(n), QRect(62, top, 0, kRowHeight));
    }

    QGroupBox *control = addFrame(this, QStringLiteral("Frame2"), QStringLiteral("Контроль температуры"), QRect());
    QGroupBox *ranges = addFrame(control, QStringLiteral("Frame3"), QStringLiteral("Границы диапазонов температур (С)"),
                                 QRect(8, 20, kControlWidth - 16, 194));
    addLabel(ranges, QStringLiteral("Верхняя (H)"), QRect(60, 20, 90, 20), Qt::AlignCenter);
    addLabel(ranges, QStringLiteral("Нижняя (L)"), QRect(160, 20, 90, 20), Qt::AlignCenter);
    for (int k = 1; k <= 6; ++k) {
        const int top = 44 + kTemperaturePitch * (k - 1);
        addLabel(ranges, QStringLiteral("T%1").arg(k), QRect(16, top, 36, kRowHeight));
        addBox(ranges, FieldMaps::rangeKey(k, true), QRect(70, top, 70, kRowHeight));
        addBox(ranges, FieldMaps::rangeKey(k, false), QRect(170, top, 70, kRowHeight));
    }

    // Each relay's day threshold above its night threshold, as wide as the longest text a box
    // shows: the no-data marker or a half degree such as "-99.5".
    QGroupBox *relays = addFrame(control, QStringLiteral("Frame4"),
                                 QStringLiteral("Пороги срабатывания реле (день/ночь) (С)"), QRect());
    int boxWidth = 0;
    QList<QLineEdit *> relayBoxes;
    QList<QGroupBox *> relayFrames;
    for (int relay = 1; relay <= 3; ++relay) {
        QGroupBox *frame = addFrame(relays, QStringLiteral("Frame5_%1").arg(relay), QStringLiteral("Реле %1").arg(relay),
                                    QRect());
        relayFrames << frame;
        QLineEdit *day = addBox(frame, FieldMaps::relayKey(relay, true), QRect(4, 22, 0, kRowHeight));
        addLabel(frame, QStringLiteral("/"), QRect(4, 43, 0, 14), Qt::AlignCenter);
        QLineEdit *night = addBox(frame, FieldMaps::relayKey(relay, false), QRect(4, 57, 0, kRowHeight));
        relayBoxes << day << night;
        boxWidth = qMax(boxWidth, fittingWidth(day, {kNoData, QStringLiteral("-99.5")}));
    }
    const int frameWidth = boxWidth + 8;
    for (int i = 0; i < relayFrames.size(); ++i) {
        relayFrames.at(i)->setGeometry(4 + (frameWidth + 4) * i, 24, frameWidth, 84);
        for (QWidget *child : relayFrames.at(i)->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            child->resize(boxWidth, child->height());
    }
    const int relaysWidth = qMax(kControlWidth - 16, 4 + (frameWidth + 4) * 3);
    relays->setGeometry(8, kRelaysTop, relaysWidth, 24 + 84 + 6);
    ranges->resize(relaysWidth, ranges->height());

    // The message texts take what the temperatures leave of the page width.
    const int controlWidth = relaysWidth + 16;
    const int controlLeft = kPageWidth - kMargin - controlWidth;
    control->setGeometry(controlLeft, kTop, controlWidth, kHeight);
    texts->setGeometry(kMargin, kTop, controlLeft - 2 * kMargin, kHeight);
    for (QLineEdit *box : std::as_const(messageBoxes))
        box->resize(texts->width() - 62 - 8, box->height());
}
