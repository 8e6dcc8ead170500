#include "link/CsvCell.h"
#include "link/ShownText.h"
#include <QRegularExpression>

bool CsvCell::isNumber(const QString &cell)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+([.,][0-9]+)?$"));
    return number.match(cell).hasMatch();
}

QString CsvCell::text(const QString &cell)
{
    const QString shown = ShownText::escaped(cell);
    static const QString kFormulaStart = QStringLiteral("=+-@");
    if (shown.isEmpty() || !kFormulaStart.contains(shown.at(0)) || isNumber(shown))
        return shown;
    return QLatin1Char('\'') + shown;
}

QString CsvCell::quoted(const QString &field, QChar separator)
{
    if (!field.contains(separator) && !field.contains(QLatin1Char('"')) && !field.contains(QLatin1Char('\n'))
        && !field.contains(QLatin1Char('\r')))
        return field;
    QString copy = field;
    return QLatin1Char('"') + copy.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}
