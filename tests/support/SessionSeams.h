#pragma once
#include "TestSeams.h"
#include "settings/ProgramOptions.h"
#include "settings/ProgramSettings.h"
#include "unit/UnitSession.h"
#include <QTemporaryDir>

// What a unit session borrows, each a test's own: a program folder, recorded messages, scripted
// dialogs, a fixed clock and a settings model. A rig derives from it so these are made first.
struct SessionSeams {
    QTemporaryDir folder;
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    ProgramOptions options;
    ProgramSettings settings{folder.filePath(QStringLiteral("Service/TX.cfg")), options, messages};

    UnitSession::Borrowed borrowed() { return UnitSession::Borrowed{settings, messages, dialogs, clock}; }
};
