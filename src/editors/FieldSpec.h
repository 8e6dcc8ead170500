#pragma once
#include <QChar>
#include <QString>
#include <optional>

// How a settings field is held in the configuration image.
enum class FieldKind {
    Text,          // Windows-1251 characters, one per cell, ended by "00"
    Phone,         // a text field holding "+" and 10 or 11 digits or "*"
    Temperature,   // 16-bit half degrees in two cells
    Flag,          // "1" or "0" as a one-character text field
    Threshold,     // one cell, whole percent
};

// One box of a settings page: its key (the box's Tag), what the user sees about it, and where and
// how its value lives in the image.
struct FieldSpec {
    QString key;
    QString name;       // accessible name
    QString toolTip;
    FieldKind kind = FieldKind::Text;
    // Text and phone: first cell; temperature: cell of the high byte; flag and threshold: the cell.
    int position = 0;
    int positionLow = 0;    // temperature: cell of the low byte
    QChar temperatureKind;  // 'H' upper range bound (+2 degrees), 'L' lower range bound, 'R' relay
    int shownCells = 0;     // text: most cells shown
    int minLength = 0;      // text: in stored bytes
    int maxLength = 0;
    std::optional<int> minValue;   // numeric bounds, only where the field has them
    std::optional<int> maxValue;
    int characterClass = 0;        // 0 any, 1 digits, 2 digits "#" "*"
    QString partner;               // threshold: the other bound of the same input
    bool upper = false;            // threshold: this is the upper bound
};
