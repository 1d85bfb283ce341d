#include "fleet/run/interruptions.h"

#include <pthread.h>

#include <csignal>

namespace vud::fleet {

// A thread inherits the signal mask of the one that starts it.
struct InterruptionsHeldBack::Previous {
    sigset_t mask;
};

InterruptionsHeldBack::InterruptionsHeldBack() : previous_(std::make_unique<Previous>()) {
    sigset_t interruptions;
    sigemptyset(&interruptions);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&interruptions, number);
    pthread_sigmask(SIG_BLOCK, &interruptions, &previous_->mask);
}

InterruptionsHeldBack::~InterruptionsHeldBack() { pthread_sigmask(SIG_SETMASK, &previous_->mask, nullptr); }

}  // namespace vud::fleet
