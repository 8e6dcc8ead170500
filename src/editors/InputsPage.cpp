#include "editors/InputsPage.h"
#include "editors/FieldMaps.h"
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {
// Placement in pixels.
constexpr int kFrameTop = 30;
constexpr int kRowTop = 44;
constexpr int kRowPitch = 25;
constexpr int kRowHeight = 21;
constexpr int kNumberLeft = 16;
constexpr int kNumberWidth = 24;
constexpr int kUpperLeft = 52;
constexpr int kLowerLeft = 152;
constexpr int kBoxWidth = 88;
}

InputsPage::InputsPage(ConfigImage &image, MessageSink &messages, QWidget *parent)
    : EditorPage(kFormName, kCaption, image, FieldMaps::inputThresholds(), messages, parent)
{
    const int frameHeight = kRowTop + kRowPitch * kInputs + 6;
    QGroupBox *thresholds =
        addFrame(this, QStringLiteral("Frame1"),
                 QStringLiteral("Пороги срабатывания входов (зон контроля) (диапазон нормы, %)"),
                 QRect(8, kFrameTop, 404, frameHeight));
    addLabel(thresholds, QStringLiteral("Верхний (H)"), QRect(kUpperLeft, 20, kBoxWidth, 20), Qt::AlignCenter);
    addLabel(thresholds, QStringLiteral("Нижний (L)"), QRect(kLowerLeft, 20, kBoxWidth, 20), Qt::AlignCenter);

    QGroupBox *conversion = addFrame(this, QStringLiteral("Frame2"), QStringLiteral("Преобразование напряжений на входах"),
                                     QRect(420, kFrameTop, 172, frameHeight));
    addLabel(conversion, QStringLiteral("K"), QRect(40, 20, 56, 20), Qt::AlignCenter);
    addLabel(conversion, QStringLiteral("Ед"), QRect(104, 20, 56, 20), Qt::AlignCenter);

    for (int n = 1; n <= kInputs; ++n) {
        const int top = kRowTop + kRowPitch * (n - 1);
        addLabel(thresholds, QString::number(n), QRect(kNumberLeft, top, kNumberWidth, kRowHeight),
                 Qt::AlignRight | Qt::AlignVCenter);
        addBox(thresholds, FieldMaps::thresholdKey(n, true), QRect(kUpperLeft, top, kBoxWidth, kRowHeight));
        addBox(thresholds, FieldMaps::thresholdKey(n, false), QRect(kLowerLeft, top, kBoxWidth, kRowHeight));

        addLabel(conversion, QString::number(n), QRect(8, top, 24, kRowHeight), Qt::AlignRight | Qt::AlignVCenter);
        addUnboundBox(conversion, QStringLiteral("Text_ZK%1").arg(n), QStringLiteral("Вход %1 K").arg(n),
                      QStringLiteral("Коэффициент преобразования для входа"), QRect(40, top, 56, kRowHeight));
        addUnboundBox(conversion, QStringLiteral("Text_ZE%1").arg(n), QStringLiteral("Вход %1 Ед").arg(n),
                      QStringLiteral("Единица измерения для отображения показаний.(Один символ)"),
                      QRect(104, top, 56, kRowHeight));
    }
    // Nothing shows the conversion frame.
    conversion->setVisible(false);
}

QString InputsPage::thresholdText(int input, bool upper) const
{
    const QLineEdit *b = input >= 1 && input <= kInputs ? box(FieldMaps::thresholdKey(input, upper)) : nullptr;
    return b ? b->text() : QString();
}
