#pragma once
#include <QList>

// Ctrl+C (SIGINT), SIGTERM, a closed terminal or a dropped remote shell (SIGHUP) and a reader that
// went away (SIGPIPE, "| head") while a command runs: the first one is only noted, so the command
// can stop its exchange cleanly, finish its records and say what state the unit or file is left
// in; a second one ends the process the usual way. SIGPIPE comes again with every write to the
// closed pipe, so it stays ignored once noted.
class InterruptWatch {
public:
    InterruptWatch();    // installs the handlers
    ~InterruptWatch();   // restores the defaults
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

    // The signals watched.
    static QList<int> signalsWatched();
    static bool interrupted();
    // For tests and for a command that handled the interruption.
    static void reset();
};
