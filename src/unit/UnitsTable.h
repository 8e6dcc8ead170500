#pragma once
#include "editors/ConfigFields.h"
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class ConfigImage;

// UNITS.csv of a bench run: a header of "IMEI" and field names as show --names prints them, then a
// row per unit, as a spreadsheet saves it (UTF-8 with or without a byte-order mark, ";" or "," between
// cells, quoted cells). Every row is tried on the template before any unit is served, so a value the
// pages would refuse stops the run before anything is written. An empty cell keeps the template's value.
class UnitsTable {
public:
    // Bigger than any spreadsheet of units needs; a bigger file is not read at all.
    static constexpr qint64 kMaxFileSize = 4 << 20;

    // Reads the file's bytes; every problem found, each naming its row (1 is the header) and column.
    // The template is the configuration the rows are applied to; fileName names the file in problems.
    static UnitsTable parse(const QByteArray &bytes, const ConfigImage &templateImage, QStringList *problems,
                            const QString &fileName = QStringLiteral("UNITS.csv"));

    // The row of a unit, nullptr when it has none.
    const QList<ConfigFields::Assignment> *row(const QString &imei) const;
    // The spreadsheet row an IMEI stands in, 0 when none.
    int rowNumber(const QString &imei) const { return m_rowNumbers.value(imei); }
    qsizetype size() const { return m_rows.size(); }

    // "15 цифр": what an IMEI cell must hold.
    static bool imeiValid(const QString &imei);
    // The records of CSV text, each a list of cells; separator ";" or ",", as the first line has it.
    static QList<QStringList> records(const QString &text);

private:
    QHash<QString, QList<ConfigFields::Assignment>> m_rows;
    QHash<QString, int> m_rowNumbers;
};
