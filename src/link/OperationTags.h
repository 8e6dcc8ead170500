#pragma once
#include <QString>

// Operation tags: texts naming the exchange in progress ("... в процессе") or its final state.
namespace Tag {
// In progress, in the order the receive pump tests them.
inline const QString FirmwareWrite = QStringLiteral("Запись прошивки в устройство в процессе");
inline const QString FirmwareRead = QStringLiteral("Чтение прошивки из устройства в процессе");
inline const QString ConfigFileLoad = QStringLiteral("Запись конфигурации в устройство в процессе");
inline const QString ConfigFileCopy = QStringLiteral("Чтение конфигурации из устройства в процессе");
inline const QString ConfigWrite = QStringLiteral("Запись конфигурации из памяти в устройство в процессе");
inline const QString ConfigRead = QStringLiteral("Чтение конфигурации из устройства в память в процессе");
inline const QString NameNotRead = QStringLiteral("Имя не прочитано");
inline const QString NameReading = QStringLiteral("Чтение имени устройства из порта в процессе");
inline const QString Monitoring = QStringLiteral("Мониторинг в процессе");

// Final states.
inline const QString Written = QStringLiteral("Записано успешно");
inline const QString WriteError = QStringLiteral("Ошибка при записи");
inline const QString Saved = QStringLiteral("Сохранено успешно");
inline const QString SaveError = QStringLiteral("Ошибка при сохранении");
inline const QString ReadOk = QStringLiteral("Прочитано успешно");
inline const QString ReadError = QStringLiteral("Ошибка при чтении");
inline const QString NameRead = QStringLiteral("Имя прочитано");
inline const QString TransferError = QStringLiteral("Ошибка передачи");
inline const QString MonitoringOk = QStringLiteral("Получено успешно");
inline const QString MonitoringRefused = QStringLiteral("Выполнение невозможно");
}

// Names of the internal commands.
namespace Cmd {
inline const QString PoiskUstroistva = QStringLiteral("PoiskUstroistva");
inline const QString TXconfigLoadParam = QStringLiteral("TXconfigLoadParam");
inline const QString TXconfigSaveParam = QStringLiteral("TXconfigSaveParam");
inline const QString ConfiguraciaReadProcess = QStringLiteral("ConfiguraciaReadProcess");
inline const QString ConfiguraciaWriteProcess = QStringLiteral("ConfiguraciaWriteProcess");
inline const QString MonitoringProcess = QStringLiteral("MonitoringProcess");
inline const QString ProsivkaSaveToFileProcess = QStringLiteral("ProsivkaSaveToFileProcess");
inline const QString ProsivkaLoadFromFileProcess = QStringLiteral("ProsivkaLoadFromFileProcess");
}
