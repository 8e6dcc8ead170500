#pragma once
#include <QString>

// Text that came from a unit or a file (a unit's name, an input's text) as it may be shown on a
// terminal, in a table or in the window: its control characters become visible escapes ("\x1B"),
// so a name can never move the cursor, ring the bell or break a table. Everything else, Cyrillic
// included, stays as it is.
class ShownText {
public:
    // Every C0 control (line ends included), DEL and the C1 controls as "\xHH".
    static QString escaped(const QString &text);
    // The same for a message of several lines: its line ends ("\n") stay.
    static QString escapedLines(const QString &text);
    static bool isControl(QChar c);
};
