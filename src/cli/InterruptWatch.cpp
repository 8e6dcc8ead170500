#include "cli/InterruptWatch.h"
#include <csignal>

namespace {
// A signal handler can only reach a flag of static storage.
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int signal)
{
    g_interrupted = 1;
#ifdef SIGPIPE
    if (signal == SIGPIPE) {
        std::signal(signal, SIG_IGN);
        return;
    }
#endif
    std::signal(signal, SIG_DFL);
}
}

QList<int> InterruptWatch::signalsWatched()
{
    QList<int> watched{SIGINT, SIGTERM};
#ifdef SIGHUP
    watched << SIGHUP;
#endif
#ifdef SIGPIPE
    watched << SIGPIPE;
#endif
    return watched;
}

InterruptWatch::InterruptWatch()
{
    g_interrupted = 0;
    for (const int signal : signalsWatched())
        std::signal(signal, onInterrupt);
}

InterruptWatch::~InterruptWatch()
{
    for (const int signal : signalsWatched())
        std::signal(signal, SIG_DFL);
}

bool InterruptWatch::interrupted()
{
    return g_interrupted != 0;
}

void InterruptWatch::reset()
{
    g_interrupted = 0;
}
