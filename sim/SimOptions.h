#pragma once
#include "SimCore.h"
#include "SimFaults.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The command line of zorgel-sim: where the unit lives, what it is called and how it misbehaves.
class SimOptions {
public:
    QString folder;
    int port = 1;
    QString imagePath;
    QString firmwarePath;
    QByteArray name;        // Windows-1251, 16 bytes
    SimCore::Frames frames = SimCore::Frames::Alternate;
    SimFaults faults;
    // Output paced at the speed the program set on the line, unless --baud fixed one.
    bool paceAtLineSpeed = true;

    // The pseudo-terminal's link: <folder>/Service/ports/COM<port>.
    QString linkPath() const;

    enum class Outcome { Run, Help, Error };
    // arguments include the program name. On Help or Error, *text holds what to print.
    static Outcome parse(const QStringList &arguments, SimOptions &options, QString *text);
};
