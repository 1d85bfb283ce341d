// Where the interruptions of a run (Ctrl-C, a closed pipe, a request to end) are taken.
#pragma once

#include <memory>

namespace vud::fleet {

// For its lifetime, the threads the calling thread starts are born with the
// interruptions blocked, so that they reach the thread that writes, which clears the
// progress line; a thread blocked on a dead share might never take them. Nothing to do
// where the system hands no such signal to a thread (Windows).
class InterruptionsHeldBack {
public:
    InterruptionsHeldBack();
    ~InterruptionsHeldBack();
    InterruptionsHeldBack(const InterruptionsHeldBack&) = delete;
    InterruptionsHeldBack& operator=(const InterruptionsHeldBack&) = delete;

private:
    struct Previous;
    std::unique_ptr<Previous> previous_;
};

}  // namespace vud::fleet
