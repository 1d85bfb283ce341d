#include "fleet/run/progress_line.h"

#include "fleet/run/detached_run.h"

#include <csignal>

#include <unistd.h>

namespace vud::fleet {
namespace {

extern "C" void clearProgressAndEnd(int number) {
    // Only what a signal handler may call: a lock-free load, write, and the end.
    const std::size_t width = progressLineWidth();
    char blank[256];
    if (width > 0 && width + 2 <= sizeof blank) {
        blank[0] = '\r';
        for (std::size_t i = 1; i <= width; ++i) blank[i] = ' ';
        blank[width + 1] = '\r';
        if (write(STDERR_FILENO, blank, width + 2) < 0) {
            // Standard error is gone too: nothing to clear.
        }
    }
    endBySignal(number);
}

}  // namespace

void clearProgressLineWhenStopped() {
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction action {};
        sigaction(number, nullptr, &action);
        // One that the caller ignores (SIGHUP under nohup, SIGINT in a background job)
        // stays ignored.
        if (action.sa_handler == SIG_IGN) continue;
        action = {};
        action.sa_handler = clearProgressAndEnd;
        sigemptyset(&action.sa_mask);
        sigaction(number, &action, nullptr);
    }
}

}  // namespace vud::fleet
