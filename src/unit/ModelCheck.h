#pragma once
#include <QByteArray>
#include <QString>

class ConfigImage;

// Whether a configuration was made for the unit it is about to be written into: the image's two
// model bytes (cells 2369 and 2370) against the unit's own, as read from it.
class ModelCheck {
public:
    enum class Outcome { Same, Other, Unreadable };

    inline static const QString kOtherModel =
        QStringLiteral("Конфигурация предназначена для модели %1, а устройство — %2.");
    inline static const QString kWriteAnyway = QStringLiteral("Записать её в устройство?");
    inline static const QString kUnreadable = QStringLiteral("Не удалось прочитать модель устройства.");
    // Bytes read from a unit whose model cells name no model: not a unit's configuration.
    inline static const QString kReadNamesNoModel =
        QStringLiteral("Ячейки модели 2369–2370 (%1) не называют ни одной известной модели: ответ не от "
                       "устройства ЗОРГЕЛ или порт настроен на другую скорость (проверьте скорость порта).");
    inline static const QString kFileNamesNoModel =
        QStringLiteral("Ячейки модели 2369–2370 файла (%1) не называют ни одной известной модели: "
                       "это не конфигурация устройства ЗОРГЕЛ.");

    struct Result {
        Outcome outcome = Outcome::Unreadable;
        QString imageModel;   // as the device information page names it
        QString unitModel;    // "нет данных" when unreadable
        // What a refusal says: both models, or that the unit's could not be read; empty when same.
        QString text() const;
        // The window's question before writing another model's configuration.
        QString question() const { return text() + QLatin1Char('\n') + kWriteAnyway; }
    };

    // Whether the two model cells (hex, "08" and "02") name a model of the family.
    static bool known(const QString &inputs, const QString &variant);
    // Cell 0 or 1 of two model bytes as hex ("08"); empty unless there are exactly two.
    static QString tailCell(const QByteArray &tail, int index);
    // Whether two model bytes name a model of the family.
    static bool namesModel(const QByteArray &tail) { return known(tailCell(tail, 0), tailCell(tail, 1)); }
    // Whether the image's model cells name one: a read, or a file opened, that is a unit's.
    static bool namesModel(const ConfigImage &image);
    // The two model cells as a message shows them: "FF FF"; "--" for a cell without data.
    static QString shownCells(const QString &inputs, const QString &variant);

    // unitTail: the two model bytes the unit sent after its configuration; empty when no complete
    // read of it is held. A unit whose bytes name no known model counts as unreadable.
    static Result compare(const ConfigImage &image, const QByteArray &unitTail);
    static Result compare(const QString &imageInputs, const QString &imageVariant, const QByteArray &unitTail);
};
