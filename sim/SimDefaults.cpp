#include "SimDefaults.h"
#include "SimText.h"
#include <QRandomGenerator>

namespace {
void put(QByteArray &memory, int offset, const QByteArray &bytes)
{
    memory.replace(offset, bytes.size(), bytes);
}

// A text field as the unit keeps it: Windows-1251 characters and a terminating zero.
void putText(QByteArray &memory, int offset, const QString &text)
{
    put(memory, offset, SimText::toCp1251(text) + '\0');
}

void putSimRecord(QByteArray &memory, int record, const QString &text)
{
    putText(memory, SimDefaults::kSimRecords + 16 * record, text);
}

QByteArray word(int value, bool bigEndian)
{
    QByteArray bytes(2, '\0');
    bytes[bigEndian ? 0 : 1] = char((value >> 8) & 0xFF);
    bytes[bigEndian ? 1 : 0] = char(value & 0xFF);
    return bytes;
}
}

QByteArray SimDefaults::deviceName()
{
    return SimText::padded(SimText::toCp1251(QStringLiteral("ЗОРГЕЛ-GSM8T")), 16);
}

QByteArray SimDefaults::image()
{
    // Erased memory reads FF; everything the unit ships with is written over it.
    QByteArray m(kConfigSize, char(0xFF));

    // One remote sensor (T2) and the master key registered; the other slots are empty.
    put(m, kSensorIds, QByteArray::fromHex("28FF4C1A52160301"));
    put(m, kKeys, QByteArray::fromHex("01A2B3C4D5000012"));
    m[kBlockCount] = 0;

    for (int n = 1; n <= 12; ++n)
        putText(m, kInputTexts + 64 * (n - 1), QStringLiteral("Тревога! Сработал вход %1").arg(n));

    putSimRecord(m, 0, QStringLiteral("+79161234567"));
    for (int r = 1; r < 20; ++r)
        putSimRecord(m, r, QStringLiteral("+70000000000"));
    putSimRecord(m, 28, QStringLiteral("Дача"));
    putSimRecord(m, 40, QStringLiteral("1"));      // system on
    putSimRecord(m, 41, QStringLiteral("30"));     // delay
    putSimRecord(m, 42, QStringLiteral("1234"));   // password
    putSimRecord(m, 43, QStringLiteral("0"));      // report
    putSimRecord(m, 44, QStringLiteral("1"));      // SMS on arming
    putSimRecord(m, 45, QStringLiteral("1"));      // SMS on disarming
    putSimRecord(m, 46, QStringLiteral("1"));      // siren
    putSimRecord(m, 47, QStringLiteral("1"));      // relay sensor
    putSimRecord(m, 48, QStringLiteral("1"));      // SMS sensor
    putSimRecord(m, 49, QStringLiteral("0"));      // relay 1
    for (int k = 0; k < 6; ++k)
        putSimRecord(m, 50 + k, QStringLiteral("0"));   // key registration requests
    putSimRecord(m, 56, QStringLiteral("+70000000000"));
    putSimRecord(m, 57, QStringLiteral("+70000000000"));
    putSimRecord(m, 58, QStringLiteral("*100#"));
    putSimRecord(m, 59, QStringLiteral("8"));
    putSimRecord(m, 60, QStringLiteral("11111111"));
    putSimRecord(m, 61, QStringLiteral("0"));

    // Inputs are normal between 20 % and 80 % of the battery voltage.
    put(m, kUpperThresholds, QByteArray(12, char(80)));
    put(m, kLowerThresholds, QByteArray(12, char(20)));

    // Versions 001.25 (core) and 002.07 (firmware): three hex digits, then two.
    put(m, kCoreVersion, QByteArray::fromHex("001250"));
    put(m, kFirmwareVersion, QByteArray::fromHex("002070"));

    // Thermostat: 22 degrees by day, 18 by night, in half degrees.
    for (int relay = 0; relay < 3; ++relay) {
        put(m, kRelayDay + 2 * relay, word(22 * 2, true));
        put(m, kRelayDay + 6 + 2 * relay, word(18 * 2, true));
    }
    // Ranges 5..30 degrees indoors; the outdoor sensor T2 goes down to -20. The upper bound is
    // stored 2 degrees low, as the unit expects.
    for (int t = 0; t < 6; ++t) {
        const int lower = t == 1 ? -20 : 5;
        put(m, kTempRanges + 4 * t, word((30 - 2) * 2, false));
        put(m, kTempRanges + 4 * t + 2, word(lower * 2, false));
    }

    put(m, kImei, QByteArrayLiteral("356938035643809"));

    m.append(char(0x08));   // 8 inputs, read by the program as the decimal digits of the hex byte
    m.append(char(0x02));   // "T" variant
    return m;
}

QByteArray SimDefaults::firmware()
{
    // Code in the lower part of the flash, erased FF above it; fixed seed so every fresh unit matches.
    QByteArray fw(kFirmwareSize, char(0xFF));
    QRandomGenerator gen(0x5EED);
    const int used = 48 * 1024;
    for (int i = 0; i < used; ++i)
        fw[i] = char(gen.bounded(256));
    put(fw, 0x40, QByteArrayLiteral("ZORGEL FW 002.07"));
    return fw;
}
