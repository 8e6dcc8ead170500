#pragma once
#include <QByteArray>

// Factory content of a simulated unit: what a fresh "ЗОРГЕЛ-GSM8T" holds before anyone configures it.
namespace SimDefaults {
inline constexpr int kConfigSize = 2368;    // configuration memory
inline constexpr int kImageSize = 2370;     // memory + inputs count byte + variant byte
inline constexpr int kFirmwareSize = 62720; // 980 blocks of 64

// Memory offsets (position in the program's image = offset + 1).
inline constexpr int kSensorIds = 0;        // T2..T6, 8 bytes each
inline constexpr int kKeys = 120;           // master key then six additional keys, 8 bytes each
inline constexpr int kBlockCount = 192;     // registered extension blocks
inline constexpr int kInputTexts = 0x100;   // 12 texts, 64 bytes each
inline constexpr int kSimRecords = 0x400;   // 16-byte records of the SIM-card settings
inline constexpr int kUpperThresholds = 0x560;
inline constexpr int kLowerThresholds = 0x570;
inline constexpr int kCoreVersion = 1410;
inline constexpr int kFirmwareVersion = 1419;
inline constexpr int kRelayDay = 0x607;     // three big-endian words, then three night words
inline constexpr int kTempRanges = 0x627;   // six records: upper (LE), lower (LE)
inline constexpr int kImei = 2352;          // 15 ASCII digits

QByteArray image();     // kImageSize bytes
QByteArray firmware();  // kFirmwareSize bytes
// "ЗОРГЕЛ-GSM8T" in Windows-1251, padded with blanks to 16 bytes.
QByteArray deviceName();
}
