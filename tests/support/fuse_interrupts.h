// For the FUSE servers that stand in for shares (the tests' lying file system, the
// benchmark's slow share): a request kept waiting is woken when the program that made
// it is killed, so that no such program outlives its test. Include after <fuse.h>.
#pragma once

#include <csignal>

namespace vud::testing {

// Interrupts reach the server (intr), and the library tells the thread of an
// interrupted request with SIGUSR1, which would end the server unless handled: the
// handler does nothing, and the request's wait sees the signal.
inline void wakeInterruptedRequests(fuse_operations& operations) {
    struct sigaction wake {};
    wake.sa_handler = [](int) {};
    sigemptyset(&wake.sa_mask);
    sigaction(SIGUSR1, &wake, nullptr);
    operations.init = [](fuse_conn_info*, fuse_config* config) -> void* {
        config->intr = 1;
        config->intr_signal = SIGUSR1;
        return nullptr;
    };
}

}  // namespace vud::testing
