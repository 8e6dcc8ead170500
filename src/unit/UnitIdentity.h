#pragma once
#include <QByteArray>
#include <QString>

// Who a configuration says its unit is: the IMEI of its GSM module, in cells 2353–2367. It tells
// apart units of one factory name, and a copy taken from another unit.
class UnitIdentity {
public:
    static constexpr int kImeiOffset = 2352;   // cell 2353 in the configuration memory
    static constexpr int kImeiSize = 15;

    // The 15 IMEI cells of a configuration memory or a whole image; empty when it is shorter.
    static QByteArray imeiCells(const QByteArray &memory);
    // The IMEI as its 15 digits; empty when the cells hold none (erased, not registered, not digits).
    static QString imei(const QByteArray &memory);
    // The cells as a message shows them: the digits, or hex pairs when they are not digits.
    static QString shown(const QByteArray &cells);
};
