#include "fleet/run/interruptions.h"

namespace vud::fleet {

// Ctrl-C reaches a console program on a thread of its own, never on a worker.
struct InterruptionsHeldBack::Previous {};

InterruptionsHeldBack::InterruptionsHeldBack() = default;
InterruptionsHeldBack::~InterruptionsHeldBack() = default;

}  // namespace vud::fleet
