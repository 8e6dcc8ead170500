#include "unit/UnitsTable.h"
#include "link/ShownText.h"
#include "config/ConfigImage.h"
#include <QStringDecoder>
#include <algorithm>

namespace {
const QString kImeiColumn = QStringLiteral("IMEI");

QString where(const QString &file, int row, const QString &column)
{
    return QStringLiteral("%1, строка %2, столбец «%3»: ").arg(file).arg(row).arg(column);
}

// The separator the header line uses outside quotes: ";" when it has any, else ",".
QChar separatorOf(const QString &text)
{
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted && c == QLatin1Char(';'))
            return c;
    }
    return QLatin1Char(',');
}

bool blank(const QStringList &record)
{
    return std::all_of(record.cbegin(), record.cend(), [](const QString &cell) { return cell.trimmed().isEmpty(); });
}
}

bool UnitsTable::imeiValid(const QString &imei)
{
    return imei.size() == 15 && std::all_of(imei.cbegin(), imei.cend(), [](QChar c) {
               return c >= QLatin1Char('0') && c <= QLatin1Char('9');
           });
}

QList<QStringList> UnitsTable::records(const QString &text)
{
    const QChar separator = separatorOf(text);
    QList<QStringList> out;
    QStringList record;
    QString cell;
    bool quoted = false;
    bool any = false;   // the record has begun
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                cell += c;
            else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                cell += text.at(++i);
            else
                quoted = false;
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c == separator) {
            record << cell;
            cell.clear();
            any = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            // CR LF is one line end; a lone CR or LF too.
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out << (record << cell);
            record.clear();
            cell.clear();
            any = false;
        } else {
            cell += c;
            any = true;
        }
    }
    if (any)
        out << (record << cell);
    return out;
}

UnitsTable UnitsTable::parse(const QByteArray &bytes, const ConfigImage &templateImage, QStringList *problems,
                             const QString &fileName)
{
    UnitsTable table;
    const auto problem = [problems](const QString &text) {
        if (problems)
            *problems << text;
    };
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    // Stateless: a sequence cut off at the end of the file is an error too, never dropped unsaid.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(data);
    if (decoder.hasError()) {
        problem(fileName + QStringLiteral(": не текст UTF-8. Сохраните таблицу как «CSV UTF-8»."));
        return table;
    }
    const QList<QStringList> rows = records(text);
    if (rows.isEmpty() || rows.first().value(0).trimmed() != kImeiColumn) {
        problem(where(fileName, 1, rows.isEmpty() ? QString() : rows.first().value(0).trimmed())
                + QStringLiteral("первый столбец заголовка — «IMEI»."));
        return table;
    }
    // The header: every column a field, each once.
    QStringList columns;
    const QStringList &header = rows.first();
    bool headerOk = true;
    for (qsizetype c = 1; c < header.size(); ++c) {
        const QString name = header.at(c).trimmed();
        columns << name;
        if (name.isEmpty() && c == header.size() - 1)
            continue;   // a spreadsheet's trailing separator
        if (!ConfigFields::byName(name)) {
            problem(where(fileName, 1, name) + QStringLiteral("нет такого поля; имена полей — как их печатает show --names."));
            headerOk = false;
        } else if (columns.indexOf(name) != c - 1) {
            problem(where(fileName, 1, name) + QStringLiteral("столбец повторяется."));
            headerOk = false;
        }
    }
    if (!headerOk)
        return table;
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList &record = rows.at(r);
        const int number = int(r) + 1;
        if (blank(record))
            continue;
        const QString imei = record.value(0).trimmed();
        if (!imeiValid(imei)) {
            problem(where(fileName, number, kImeiColumn) + QStringLiteral("«%1» — нужно 15 цифр.").arg(imei));
            continue;
        }
        if (table.m_rowNumbers.contains(imei)) {
            problem(where(fileName, number, kImeiColumn)
                    + QStringLiteral("IMEI %1 уже есть в строке %2.").arg(imei).arg(table.m_rowNumbers.value(imei)));
            continue;
        }
        table.m_rowNumbers.insert(imei, number);
        bool cellsOk = true;
        for (qsizetype c = columns.size() + 1; c < record.size(); ++c) {
            if (!record.at(c).trimmed().isEmpty()) {
                problem(where(fileName, number, QString::number(c + 1)) + QStringLiteral("значение вне столбцов заголовка."));
                cellsOk = false;
            }
        }
        QList<ConfigFields::Assignment> assignments;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const QString value = record.value(c + 1);
            if (!columns.at(c).isEmpty() && !value.isEmpty())
                assignments << ConfigFields::Assignment{columns.at(c), value};
        }
        // Tried on the template as the pages would store them, all at once.
        ConfigImage tried = templateImage;
        for (const ConfigFields::Refusal &refusal : ConfigFields(tried).set(assignments)) {
            problem(where(fileName, number, refusal.name)
                    + QStringLiteral("значение «%1» не принято — %2.").arg(ShownText::escaped(refusal.value), refusal.reason));
            cellsOk = false;
        }
        if (cellsOk)
            table.m_rows.insert(imei, assignments);
    }
    return table;
}

const QList<ConfigFields::Assignment> *UnitsTable::row(const QString &imei) const
{
    const auto found = m_rows.constFind(imei);
    return found == m_rows.constEnd() ? nullptr : &*found;
}
