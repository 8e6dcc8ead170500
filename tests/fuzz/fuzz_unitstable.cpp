// UNITS.csv as a spreadsheet may save it: any bytes are read without harm; every row the reader keeps
// has a valid IMEI and values the pages take on the template; a table with no problems holds a row
// for every record that is not blank.
#include "FuzzSupport.h"
#include "SimDefaults.h"
#include "config/ConfigImage.h"
#include "unit/BenchJob.h"
#include "unit/UnitsTable.h"
#include <QStringDecoder>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    static const ConfigImage templateImage = [] {
        ConfigImage image;
        const QByteArray bytes = SimDefaults::image();
        image.setBytes(1, bytes.constData(), bytes.size());
        return image;
    }();
    const QByteArray bytes = Fuzz::bytesOf(data, size);
    QStringList problems;
    const UnitsTable table = UnitsTable::parse(bytes, templateImage, &problems);
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    const QList<QStringList> records = UnitsTable::records(QString::fromUtf8(body));
    FUZZ_CHECK(table.size() <= std::max<qsizetype>(0, records.size() - 1), Fuzz::dump(bytes));
    qsizetype filled = 0;
    for (qsizetype r = 1; r < records.size(); ++r) {
        const QStringList &record = records.at(r);
        const bool blank = std::all_of(record.cbegin(), record.cend(), [](const QString &c) { return c.trimmed().isEmpty(); });
        filled += blank ? 0 : 1;
        const QString imei = record.value(0).trimmed();
        const auto *row = table.row(imei);
        if (!row)
            continue;
        FUZZ_CHECK(UnitsTable::imeiValid(imei), imei);
        FUZZ_CHECK(table.rowNumber(imei) >= 2, imei);
        QList<ConfigFields::Refusal> refused;
        BenchJob::composed(templateImage, *row, templateImage, &refused);
        FUZZ_CHECK(refused.isEmpty(), refused.first().name + QStringLiteral(": ") + refused.first().reason);
    }
    if (problems.isEmpty() && !records.isEmpty())
        FUZZ_CHECK(table.size() == filled, QStringLiteral("%1 rows of %2").arg(table.size()).arg(filled));
    return 0;
}
