#include "editors/SimSettingsPage.h"
#include "editors/FieldMaps.h"
#include <QGroupBox>
#include <QLabel>

namespace {
// Placement in pixels.
constexpr int kTop = 28;
constexpr int kRowHeight = 21;
constexpr int kNumberPitch = 22;
constexpr int kNumberFrameWidth = 444;
constexpr int kNumberFrameHeight = 134;
constexpr int kNumberColumn = 218;
constexpr int kFlagLeft = 462;
constexpr int kFlagPitch = 22;
constexpr int kGridTop = 304;
constexpr int kGridPitch = 42;
constexpr int kCellWidth = 116;
constexpr int kCellBox = 108;
}

SimSettingsPage::SimSettingsPage(ConfigImage &image, MessageSink &messages, QWidget *parent)
    : EditorPage(kFormName, kCaption, image, FieldMaps::simSettings(), messages, parent)
{
    // Each list in two columns of five numbers.
    const QString titles[] = {QStringLiteral("Список номеров для рассылки SMS"),
                              QStringLiteral("Список номеров для голосового дозвона")};
    for (int list = 0; list < 2; ++list) {
        QGroupBox *frame =
            addFrame(this, QStringLiteral("Frame%1").arg(list + 1), titles[list],
                     QRect(8, kTop + (kNumberFrameHeight + 4) * list, kNumberFrameWidth, kNumberFrameHeight));
        for (int row = 0; row < 10; ++row) {
            const int index = 10 * list + row;
            const int left = 8 + kNumberColumn * (row / 5);
            const int top = 20 + kNumberPitch * (row % 5);
            addLabel(frame, FieldMaps::numberName(index), QRect(left, top, 70, kRowHeight));
            addBox(frame, FieldMaps::numberName(index), QRect(left + 72, top, 136, kRowHeight));
        }
    }

    // Labelled parameters, label above box, in two rows of five.
    auto cell = [this](int row, int column, const QString &key, bool labelled) {
        const int left = 8 + kCellWidth * column;
        const int top = kGridTop + kGridPitch * row;
        if (labelled)
            addLabel(this, key, QRect(left, top, kCellBox, 16));
        return QRect(left, top + 17, kCellBox, kRowHeight);
    };
    const QString first[] = {QStringLiteral("PARTNER1"), QStringLiteral("PARTNER2"), QStringLiteral("Zaderjka"),
                             QStringLiteral("Parol"), QStringLiteral("Mikrofon")};
    for (int column = 0; column < 5; ++column)
        addBox(this, first[column], cell(0, column, first[column], true));
    // The system's on/off flag and its free text go together; neither has a caption of its own.
    const QRect system = cell(1, 0, QString(), false);
    addCheck(this, QStringLiteral("Systema Zorgel ON"), QString(), QRect(system.left(), system.top(), 18, kRowHeight));
    addBox(this, QStringLiteral("Systema Zorgel Text"),
           QRect(system.left() + 20, system.top(), system.width() - 20, kRowHeight));
    const QString second[] = {QStringLiteral("T-datchik rele"), QStringLiteral("T-datchik SMS"),
                              QStringLiteral("Balans"), QStringLiteral("ACTIVE ZONE")};
    for (int column = 1; column < 5; ++column)
        addBox(this, second[column - 1], cell(1, column, second[column - 1], true));

    int row = 0;
    for (int k = 1; k <= 6; ++k)
        addCheck(this, QStringLiteral("%1kluch").arg(k), QStringLiteral("%1 ключ").arg(k),
                 QRect(kFlagLeft, kTop + 4 + kFlagPitch * row++, 130, kRowHeight));
    for (const char *name : {"Otchet", "SMS postanovka", "SMS snjatie", "Syrena", "Rele N1", "Upravlenie"}) {
        const QString key = QString::fromLatin1(name);
        addCheck(this, key, key, QRect(kFlagLeft, kTop + 4 + kFlagPitch * row++, 130, kRowHeight));
    }
}
