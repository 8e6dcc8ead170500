#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// What the command line checks about a file before it touches a unit, as whole messages: the
// system's reason a file cannot be read or created, an empty file, and a file of the other kind
// (a firmware file given for a configuration, or the other way round).
namespace FileChecks {
enum class Kind { Config, Firmware };

// A file to send to the unit; empty when it may go on to the format check.
QString forSending(const QString &path, Kind kind);
// A file to receive the unit's data into; empty when it can be created or replaced.
QString forReceiving(const QString &path, Kind kind);
// A firmware file's blocks, read and checked whole; none, with *problem saying why, when it is
// unreadable or malformed.
std::optional<QList<QByteArray>> firmwareBlocks(const QString &path, QString *problem);
// "файл прошивки (.fw)" when bytes are a sound file of the other kind than `kind`; empty otherwise.
QString otherKind(const QByteArray &bytes, Kind kind);
}
