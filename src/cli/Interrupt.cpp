#include "cli/Interrupt.h"

#include <csignal>
#include <unistd.h>

namespace owb::cli {

namespace {

volatile std::sig_atomic_t g_requested = 0;
volatile std::sig_atomic_t g_terminal = 0;
struct sigaction g_previous {};

extern "C" void onInterrupt(int)
{
    if (g_requested) {
        signal(SIGINT, SIG_DFL);
        raise(SIGINT);
        return;
    }
    g_requested = 1;
    // On a terminal the note takes the place of the progress line (and of the echoed ^C).
    static const char note[] = "\nowb: stopping after the current file (Ctrl+C again stops at once)\n";
    static const char onTerminal[] = "\r\033[Kowb: stopping after the current file (Ctrl+C again stops at once)\n";
    [[maybe_unused]] const ssize_t n = g_terminal ? write(STDERR_FILENO, onTerminal, sizeof onTerminal - 1)
                                                  : write(STDERR_FILENO, note, sizeof note - 1);
}

} // namespace

Interrupt::Interrupt()
{
    g_requested = 0;
    g_terminal = isatty(STDERR_FILENO) ? 1 : 0;
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    // Requests under way are resumed, not broken off: the current file always ends.
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &g_previous);
}

Interrupt::~Interrupt()
{
    sigaction(SIGINT, &g_previous, nullptr);
}

bool Interrupt::requested()
{
    return g_requested != 0;
}

} // namespace owb::cli
