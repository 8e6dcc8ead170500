#pragma once
#include <QByteArray>
#include <QIODevice>

namespace FileRead {
// Up to maxSize bytes from the device's current position, read in pieces: QIODevice::read(maxSize)
// allocates all of maxSize first, however short the file. A read error ends it early; the device's
// error tells.
QByteArray atMost(QIODevice &device, qint64 maxSize);
}
