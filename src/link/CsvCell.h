#pragma once
#include <QChar>
#include <QString>

// A cell of a CSV file the program writes (the monitoring journal, a bench log). Text that came
// from a unit or a file (a name, an input's text) is never taken by a spreadsheet as a formula:
// one starting with "=", "+", "-" or "@" gets a leading "'", and its control characters are shown
// as escapes. A number stays a number, so "-5" is still a temperature.
class CsvCell {
public:
    static QString text(const QString &cell);
    // Whether the cell is a plain number: a sign, digits, one "." or "," and digits.
    static bool isNumber(const QString &cell);
    // The field as the file holds it: quoted when it holds the separator, a quote or a line end.
    static QString quoted(const QString &field, QChar separator);
};
