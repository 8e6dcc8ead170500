#include "unit/VerifyCompare.h"
#include "config/ConfigImage.h"
#include "devinfo/DeviceInfo.h"

namespace VerifyCompare {

namespace {
QString hexOrNoData(int byte)
{
    return byte < 0 ? DeviceInfo::kNoData : QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}
}

Mismatch compare(const ByteAt &unit, const QList<QByteArray> &blocks)
{
    Mismatch mismatch;
    int position = 0;
    for (const QByteArray &block : blocks) {
        for (const char byte : block) {
            ++position;
            const int got = unit(position);
            if (got == static_cast<unsigned char>(byte))
                continue;
            if (mismatch.count++ == 0) {
                mismatch.first = position;
                mismatch.unitByte = got;
                mismatch.fileByte = static_cast<unsigned char>(byte);
            }
        }
    }
    return mismatch;
}

Mismatch compare(const ConfigImage &image, const QList<QByteArray> &blocks)
{
    return compare([&image](int position) { return image.byteAt(position); }, blocks);
}

Mismatch compare(const QByteArray &unit, const QList<QByteArray> &blocks)
{
    return compare(
        [&unit](int position) {
            return position <= unit.size() ? int(static_cast<unsigned char>(unit.at(position - 1))) : -1;
        },
        blocks);
}

QString text(const Mismatch &mismatch, int total)
{
    return QStringLiteral("Проверка не пройдена: отличаются %1 из %2 байт, первый — байт %3 "
                          "(в устройстве %4, в файле %5).")
        .arg(mismatch.count)
        .arg(total)
        .arg(mismatch.first)
        .arg(hexOrNoData(mismatch.unitByte), hexOrNoData(mismatch.fileByte));
}

}
