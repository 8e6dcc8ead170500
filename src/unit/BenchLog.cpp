#include "unit/BenchLog.h"
#include "config/FileWriter.h"
#include "link/CsvCell.h"
#include <QFile>

namespace {
const QByteArray kByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");
}

BenchLog::BenchLog(QString path, const MonitorJournal::Format &format) : m_path(std::move(path)), m_format(format)
{
}

QStringList BenchLog::header()
{
    return {QStringLiteral("Дата"),   QStringLiteral("Время"),   QStringLiteral("Порт"),
            QStringLiteral("Устройство"), QStringLiteral("IMEI"), QStringLiteral("Модель"),
            QStringLiteral("Результат"), QStringLiteral("Причина"), QStringLiteral("Копия до записи"),
            QStringLiteral("Секунды")};
}

QString BenchLog::cell(const QString &text) const
{
    return CsvCell::quoted(CsvCell::text(text), m_format.separator);
}

QString BenchLog::line(const Entry &e) const
{
    QString seconds = QString::number(e.seconds, 'f', 1);
    seconds.replace(QLatin1Char('.'), m_format.decimal);
    const QStringList cells{e.when.toString(QStringLiteral("yyyy-MM-dd")), e.when.toString(QStringLiteral("HH:mm:ss")),
                            QStringLiteral("COM%1").arg(e.port), e.name, e.imei, e.model, e.result, e.reason,
                            e.copy, seconds};
    QStringList out;
    for (const QString &c : cells)
        out << cell(c);
    return out.join(m_format.separator);
}

bool BenchLog::append(const Entry &entry)
{
    m_error.clear();
    QByteArray bytes;
    QFile earlier(m_path);
    if (earlier.exists()) {
        if (!earlier.open(QIODevice::ReadOnly)) {
            m_error = kNotWritten + m_path + QStringLiteral(": ") + earlier.errorString();
            return false;
        }
        bytes = earlier.readAll();
        earlier.close();
    }
    if (bytes.isEmpty() || bytes == kByteOrderMark) {
        QStringList names;
        for (const QString &name : header())
            names << cell(name);
        bytes = (m_format.byteOrderMark ? kByteOrderMark : QByteArray()) + names.join(m_format.separator).toUtf8()
            + "\r\n";
    } else if (!bytes.endsWith('\n')) {
        bytes += "\r\n";
    }
    bytes += line(entry).toUtf8() + "\r\n";
    FileWriter file(m_path);
    if (file.writeWhole(bytes))
        return true;
    m_error = kNotWritten + m_path + QLatin1Char('\n') + file.explanation();
    return false;
}
