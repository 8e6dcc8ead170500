#pragma once
#include "editors/FieldSpec.h"
#include <QPair>
#include <QString>
#include <optional>

class ConfigImage;

// Encoding, decoding and validation of the settings fields in the configuration image: texts
// (Windows-1251), temperatures, telephone numbers, flags and percent thresholds. Knows nothing of
// widgets; a store routine writes only a valid value and reports whether it did.
class FieldCodec {
public:
    // What a field shows: hasData false when its cells hold nothing to show.
    struct Shown {
        bool hasData = false;
        QString text;
        bool checked = false;     // flags
        bool wellFormed = true;   // false when the stored content breaks the field's own rules
    };

    // Signed decimal number a text begins with, leading blanks ignored; 0 when there is none.
    // Saturates instead of overflowing.
    static qint64 numericValue(const QString &text);

    static Shown PokazatTekst(const ConfigImage &image, int start, int maxCells);
    static bool textValid(const QString &text, int minLength, int maxLength, std::optional<int> minValue,
                          std::optional<int> maxValue, int characterClass);
    static bool ZapisatTekst(ConfigImage &image, const QString &text, int start, std::optional<int> minValue,
                             std::optional<int> maxValue, int minLength, int maxLength, int characterClass);

    // Cell a holds the high byte, cell b the low byte.
    static Shown PokazatTemperaturu(const ConfigImage &image, int a, int b, QChar kind);
    static bool temperatureValid(const QString &text, int min, int max);
    static bool ZapisatTemperaturu(ConfigImage &image, const QString &text, int a, int b, int min, int max,
                                   QChar kind);

    static bool phoneValid(const QString &text);
    static bool ZapisatNomer(ConfigImage &image, const QString &text, int start);

    static Shown PokazatFlag(const ConfigImage &image, int position);
    static void ZapisatFlag(ConfigImage &image, int position, bool on);

    static constexpr int kThresholdMax = 100;
    static Shown PokazatPorog(const ConfigImage &image, int position);
    static bool thresholdValid(const QString &text);
    static bool ZapisatPorog(ConfigImage &image, const QString &text, int position);

    // The same routines chosen by the field's kind.
    static Shown show(const ConfigImage &image, const FieldSpec &field);
    static bool valid(const FieldSpec &field, const QString &text);
    static bool store(ConfigImage &image, const FieldSpec &field, const QString &text);
    // First and last cell a store of the field may write.
    static QPair<int, int> cellSpan(const FieldSpec &field);

private:
    static QString collectHex(const ConfigImage &image, int start, int maxCells);
    // A text field ends with "00" within the cells a store may write.
    static bool terminated(const ConfigImage &image, const FieldSpec &field);
    static void storeText(ConfigImage &image, const QString &text, int start);
};
