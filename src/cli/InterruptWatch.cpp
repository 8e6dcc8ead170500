#include "cli/InterruptWatch.h"
#include <csignal>

namespace {
// A signal handler can only reach a flag of static storage.
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int signal)
{
    g_interrupted = 1;
    std::signal(signal, SIG_DFL);
}
}

InterruptWatch::InterruptWatch()
{
    g_interrupted = 0;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

InterruptWatch::~InterruptWatch()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool InterruptWatch::interrupted()
{
    return g_interrupted != 0;
}

void InterruptWatch::reset()
{
    g_interrupted = 0;
}
