#include "fleet/run/detached_run.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "fleet/run/runner.h"

namespace vud::fleet {

// The run is this process: doc/windows.md tells what a share that never answers does
// to it there.
int runDetached(const std::function<int()>& run) {
    const int status = run();
    if (workAbandoned()) {
        // A thread still blocked on a share that stopped answering uses what static
        // destructors would tear down: end here, with everything written.
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

void endBySignal(int number) {
    std::signal(number, SIG_DFL);
    std::raise(number);
    std::_Exit(3);  // the runtime's own status for a program ended by SIGINT, SIGTERM or SIGABRT
}

}  // namespace vud::fleet
