#include "editors/BasicSettingsPage.h"
#include "editors/FieldMaps.h"
#include <QGroupBox>
#include <QLabel>

namespace {
// Placement in pixels.
constexpr int kTop = 30;
constexpr int kHeight = 362;
constexpr int kRowHeight = 21;
constexpr int kTextPitch = 27;
constexpr int kTemperaturePitch = 24;
constexpr int kRelayFrameWidth = 84;
}

BasicSettingsPage::BasicSettingsPage(ConfigImage &image, MessageSink &messages, QWidget *parent)
    : EditorPage(kFormName, kCaption, image, FieldMaps::basicSettings(), messages, parent)
{
    QGroupBox *texts = addFrame(this, QStringLiteral("Frame1"),
                                QStringLiteral("Тексты сообщений по входам (зонам контроля)"),
                                QRect(8, kTop, 292, kHeight));
    for (int n = 1; n <= 12; ++n) {
        const int top = 24 + kTextPitch * (n - 1);
        addLabel(texts, QStringLiteral("Вход %1").arg(n), QRect(8, top, 52, kRowHeight));
        addBox(texts, FieldMaps::messageKey(n), QRect(62, top, 222, kRowHeight));
    }

    QGroupBox *control = addFrame(this, QStringLiteral("Frame2"), QStringLiteral("Контроль температуры"),
                                  QRect(308, kTop, 284, kHeight));
    QGroupBox *ranges = addFrame(control, QStringLiteral("Frame3"), QStringLiteral("Границы диапазонов температур (С)"),
                                 QRect(8, 20, 268, 194));
    addLabel(ranges, QStringLiteral("Верхняя (H)"), QRect(60, 20, 90, 20), Qt::AlignCenter);
    addLabel(ranges, QStringLiteral("Нижняя (L)"), QRect(160, 20, 90, 20), Qt::AlignCenter);
    for (int k = 1; k <= 6; ++k) {
        const int top = 44 + kTemperaturePitch * (k - 1);
        addLabel(ranges, QStringLiteral("T%1").arg(k), QRect(16, top, 36, kRowHeight));
        addBox(ranges, FieldMaps::rangeKey(k, true), QRect(70, top, 70, kRowHeight));
        addBox(ranges, FieldMaps::rangeKey(k, false), QRect(170, top, 70, kRowHeight));
    }

    QGroupBox *relays = addFrame(control, QStringLiteral("Frame4"),
                                 QStringLiteral("Пороги срабатывания реле (день/ночь) (С)"), QRect(8, 224, 268, 104));
    for (int relay = 1; relay <= 3; ++relay) {
        QGroupBox *frame = addFrame(relays, QStringLiteral("Frame5_%1").arg(relay), QStringLiteral("Реле %1").arg(relay),
                                    QRect(4 + (kRelayFrameWidth + 4) * (relay - 1), 28, kRelayFrameWidth, 64));
        addBox(frame, FieldMaps::relayKey(relay, true), QRect(4, 28, 34, kRowHeight));
        addLabel(frame, QStringLiteral("/"), QRect(38, 28, 8, kRowHeight), Qt::AlignCenter);
        addBox(frame, FieldMaps::relayKey(relay, false), QRect(46, 28, 34, kRowHeight));
    }
}
