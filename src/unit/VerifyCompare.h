#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class ConfigImage;

// What --verify finds between the blocks written and what the unit returned.
namespace VerifyCompare {

struct Mismatch {
    int count = 0;        // positions that differ
    int first = 0;        // first of them, 1-based; 0 when none
    int unitByte = -1;    // the unit's byte there (-1: no data)
    int fileByte = -1;
};
// The unit's byte at a 1-based position, -1 when there is none.
using ByteAt = std::function<int(int position)>;

// Compares the unit's bytes 1..n with the file's blocks, n being all the blocks hold.
Mismatch compare(const ByteAt &unit, const QList<QByteArray> &blocks);
Mismatch compare(const ConfigImage &image, const QList<QByteArray> &blocks);
Mismatch compare(const QByteArray &unit, const QList<QByteArray> &blocks);
QString text(const Mismatch &mismatch, int total);

}
