#include "config/FileRead.h"
#include <algorithm>

QByteArray FileRead::atMost(QIODevice &device, qint64 maxSize)
{
    QByteArray out;
    if (!device.isSequential() && device.size() > 0)
        out.reserve(std::min(device.size() - device.pos(), maxSize));
    char piece[16384];
    while (out.size() < maxSize) {
        const qint64 got = device.read(piece, std::min<qint64>(sizeof piece, maxSize - out.size()));
        if (got <= 0)
            break;
        out.append(piece, got);
    }
    return out;
}
