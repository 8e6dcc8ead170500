#pragma once

// Ctrl+C (SIGINT) and SIGTERM while a command runs: the first one is only noted, so the command
// can stop its exchange cleanly and say what state the unit or file is left in; a second one
// ends the process the usual way.
class InterruptWatch {
public:
    InterruptWatch();    // installs the handlers
    ~InterruptWatch();   // restores the defaults
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

    static bool interrupted();
    // For tests and for a command that handled the interruption.
    static void reset();
};
