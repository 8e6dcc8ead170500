#include "report/CommissioningReport.h"
#include "link/ShownText.h"
#include "config/ConfigFiles.h"
#include "config/FileWriter.h"
#include "report/TrendDrawing.h"
#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>

#ifndef TARVIKS_VERSION
#define TARVIKS_VERSION "0"
#endif

namespace {
constexpr int kDpi = 300;
constexpr double kFontPoints = 9;
const QString kTrendMark = QStringLiteral("[[trend]]");
const QString kRed = QStringLiteral("#FF0000");

qreal mm(double millimetres)
{
    return millimetres * kDpi / 25.4;
}

QString h(const QString &text)
{
    return ShownText::escaped(text).toHtmlEscaped();
}

const QString kTable = QStringLiteral(
    "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"%1\" style=\"border-collapse:collapse; "
    "border-color:#A0A0A0; border-style:solid;\" border=\"1\">");

QString table()
{
    return kTable.arg(int(mm(0.5)));
}

QString valueCell(const CommissioningData::Row &row)
{
    if (!row.flagged)
        return h(row.value);
    return QStringLiteral("<span style=\"color:%1\">%2</span><br/><span style=\"color:%1; font-size:7.5pt\">"
                          "страница показывает красным: должно быть %3</span>")
        .arg(kRed, h(row.value), h(row.rule));
}

// Two name-value pairs a line, the first half of the rows down the left, the rest down the right.
QString twoColumns(const QList<CommissioningData::Row> &rows)
{
    QString out = table();
    const qsizetype half = (rows.size() + 1) / 2;
    for (qsizetype i = 0; i < half; ++i) {
        out += QStringLiteral("<tr>");
        for (const qsizetype at : {i, i + half}) {
            if (at < rows.size())
                out += QStringLiteral("<td width=\"23%\" bgcolor=\"#F2F2F2\">%1</td><td width=\"27%\">%2</td>")
                           .arg(h(rows.at(at).caption), valueCell(rows.at(at)));
            else
                out += QStringLiteral("<td width=\"23%\"></td><td width=\"27%\"></td>");
        }
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</table>");
}

QString trimmedOr(const QString &text, const QString &none = QStringLiteral("—"))
{
    const QString t = text.trimmed();
    return t.isEmpty() || t == MonitorReadings::kDesignText ? none : t;
}

QString readingsHtml(const CommissioningData &data)
{
    const MonitorReadings &r = data.readings;
    QString out = QStringLiteral("<h3>Входы</h3>") + table()
        + QStringLiteral("<tr bgcolor=\"#F2F2F2\"><td>Вход</td><td>Напряжение, В</td><td>Уровень, %</td>"
                         "<td>Норма, %</td><td>Состояние</td></tr>");
    for (int row = 1; row <= MonitorReadings::kRows; ++row) {
        const bool input = row <= MonitorReadings::kInputs;
        if (input && !data.layout[row].visible)
            continue;
        const QString caption = input ? data.layout[row].caption.trimmed() : QStringLiteral("УПР");
        out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>")
                   .arg(h(caption), h(trimmedOr(r.volt[row])), h(trimmedOr(r.percent[row])),
                        input ? h(trimmedOr(r.range[row])) : QString(), input ? h(trimmedOr(r.state[row])) : QString());
    }
    out += QStringLiteral("</table>");
    out += QStringLiteral("<h3>Питание и температура</h3>") + table() + QStringLiteral("<tr>");
    const QList<QPair<QString, QString>> supply{{QStringLiteral("Акк, В"), r.battery},
                                                {QStringLiteral("Пит, В"), r.supply},
                                                {QStringLiteral("Проц, В"), r.cpu}};
    for (const auto &[name, value] : supply)
        out += QStringLiteral("<td bgcolor=\"#F2F2F2\">%1</td><td>%2</td>").arg(h(name), h(trimmedOr(value)));
    out += QStringLiteral("</tr><tr>");
    for (int n = 1; n <= MonitorReadings::kSensors; ++n) {
        out += QStringLiteral("<td bgcolor=\"#F2F2F2\">T%1, °C</td><td>%2</td>").arg(n).arg(h(trimmedOr(r.sensors[n])));
        if (n == 3)
            out += QStringLiteral("</tr><tr>");
    }
    out += QStringLiteral("</tr></table>");
    if (!data.trend.isEmpty()) {
        out += QStringLiteral("<h3>Тренд за время опроса, %1 – %2</h3><p>%3</p>")
                   .arg(data.trend.constFirst().time.toString(QStringLiteral("HH:mm:ss")),
                        data.trend.constLast().time.toString(QStringLiteral("HH:mm:ss")), kTrendMark);
    }
    return out;
}

// The unit's name, or the file's a report was made from.
QString title(const CommissioningData &data)
{
    if (!data.unitName.isEmpty())
        return ShownText::escaped(data.unitName);
    return data.source.isEmpty() ? QStringLiteral("без устройства") : QFileInfo(data.source).fileName();
}

QString headerHtml(const CommissioningData &data)
{
    QString model, imei;
    for (const CommissioningData::Section &section : data.unit)
        for (const CommissioningData::Row &row : section.rows) {
            if (row.caption == QStringLiteral("Модель:"))
                model = row.value;
            else if (row.caption == QStringLiteral("IMEI:"))
                imei = row.value;
        }
    const QString source = !data.unitName.isEmpty()
        ? QStringLiteral("устройство") + (data.source.isEmpty() ? QString() : QStringLiteral(" на ") + data.source)
        : !data.source.isEmpty() ? QStringLiteral("файл конфигурации ") + QFileInfo(data.source).fileName()
                                 : QStringLiteral("программа, устройство не обнаружено");
    QString out = QStringLiteral("<h1>Отчёт о настройке устройства</h1>");
    out += QStringLiteral("<p style=\"font-size:12pt\"><b>%1</b> &nbsp;·&nbsp; модель %2 &nbsp;·&nbsp; IMEI %3</p>")
               .arg(title(data).toHtmlEscaped(), h(model), h(imei));
    out += QStringLiteral("<p>Дата и время составления: %1<br/>Программа: Тарвикс, версия %2<br/>Источник данных: %3</p>")
               .arg(data.when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")), h(CommissioningReport::version()),
                    h(source));
    return out;
}
}

QString CommissioningReport::version()
{
    return QStringLiteral(TARVIKS_VERSION);
}

QString CommissioningReport::html(const CommissioningData &data)
{
    QString out = QStringLiteral("<html><body>") + headerHtml(data);

    out += QStringLiteral("<h2>Информация об устройстве</h2>");
    for (const CommissioningData::Section &section : data.unit)
        out += QStringLiteral("<h3>%1</h3>").arg(h(section.title)) + twoColumns(section.rows);

    const QList<CommissioningData::Section> pages = CommissioningData::settingsPages(data.image);
    int red = 0;
    for (const CommissioningData::Section &page : pages)
        for (const CommissioningData::Row &row : page.rows)
            red += row.flagged ? 1 : 0;
    out += QStringLiteral("<h2>Настройки</h2>");
    if (!data.settingsWarning.isEmpty())
        out += QStringLiteral("<p style=\"color:%1\"><b>%2</b></p>").arg(kRed, h(data.settingsWarning));
    out += QStringLiteral("<p>Значения, как их показывают страницы настройки");
    if (!data.settingsOrigin.isEmpty())
        out += QStringLiteral(" (%1)").arg(h(data.settingsOrigin));
    out += QStringLiteral(". ");
    out += red == 0 ? QStringLiteral("Красным не отмечено ни одно значение.</p>")
                    : QStringLiteral("<span style=\"color:%1\">Значений, отмеченных красным: %2.</span></p>").arg(kRed).arg(red);
    for (const CommissioningData::Section &page : pages)
        out += QStringLiteral("<h3>%1</h3>").arg(h(page.title)) + twoColumns(page.rows);

    out += QStringLiteral("<h2>Показания устройства</h2>");
    if (data.live)
        out += QStringLiteral("<p>Страница «Мониторинг» на %1.</p>")
                   .arg(data.when.toString(QStringLiteral("HH:mm:ss"))) + readingsHtml(data);
    else
        out += QStringLiteral("<p>%1</p>").arg(h(data.noReadings.isEmpty() ? QStringLiteral("Показаний нет.") : data.noReadings));

    if (!data.readBack.isEmpty())
        out += QStringLiteral("<h2>Проверка записи</h2><p>%1</p>").arg(ShownText::escapedLines(data.readBack).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br/>")));

    // One row, so the two signatures stay on one page together.
    const QString party = QStringLiteral(
        "<td width=\"50%\"><b>%1</b><br/><br/><br/>______________________ / ______________________<br/>"
        "<span style=\"font-size:7.5pt\">подпись / фамилия, инициалы</span><br/><br/>"
        "Дата: «____» ______________ 20____ г.</td>");
    out += QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"%1\"><tr>").arg(int(mm(1)))
        + party.arg(QStringLiteral("Установщик")) + party.arg(QStringLiteral("Заказчик"))
        + QStringLiteral("</tr></table></body></html>");
    return out;
}

QByteArray CommissioningReport::pdf(const CommissioningData &data, int *pages)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(kDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 12, 12, 12),
                                     QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("Отчёт о настройке ") + title(data));
    writer.setCreator(QStringLiteral("Тарвикс ") + version());

    const QRectF paper = writer.pageLayout().paintRectPixels(kDpi);
    const qreal footer = mm(8);
    const QSizeF page(paper.width(), paper.height() - footer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(kFontPoints);

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    document.setPageSize(page);
    TrendDrawing trend(data.trend, QSizeF(page.width(), mm(70)));
    document.documentLayout()->registerHandler(TrendDrawing::kObjectType, &trend);
    document.setHtml(html(data));
    // The chart takes the place of its mark, as one character the layout moves as a whole.
    if (QTextCursor mark = document.find(kTrendMark); !mark.isNull()) {
        QTextCharFormat object;
        object.setObjectType(TrendDrawing::kObjectType);
        object.setFont(font);
        mark.insertText(QString(QChar::ObjectReplacementCharacter), object);
    }

    const int count = document.pageCount();
    QPainter painter(&writer);
    painter.setFont(font);
    for (int p = 0; p < count; ++p) {
        if (p > 0)
            writer.newPage();
        painter.save();
        painter.translate(0, -p * page.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, p * page.height(), page.width(), page.height());
        // A row the layout carries over to the next page draws nothing into this page's footer.
        painter.setClipRect(context.clip);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        const QRectF line(0, paper.height() - footer / 2, paper.width(), footer / 2);
        painter.setPen(QColor(0x60, 0x60, 0x60));
        painter.drawText(line, Qt::AlignLeft | Qt::AlignBottom,
                         QStringLiteral("Отчёт о настройке %1, %2")
                             .arg(title(data), data.when.toString(QStringLiteral("dd.MM.yyyy HH:mm"))));
        painter.drawText(line, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Страница %1 из %2").arg(p + 1).arg(count));
    }
    painter.end();
    if (pages)
        *pages = count;
    return buffer.data();
}

QString CommissioningReport::write(const QString &path, const CommissioningData &data)
{
    const QByteArray bytes = pdf(data);
    FileWriter file(path);
    if (file.writeWhole(bytes))
        return QString();
    return ConfigFiles::writeErrorText(file);
}
