#include "fleet/run/console_output.h"

#include <iostream>

#include <unistd.h>

namespace vud::fleet {

// The streams write bytes as they are: nothing to replace.
struct ConsoleOutput::Replaced {};

ConsoleOutput::ConsoleOutput() : progress_(isatty(STDERR_FILENO) == 1) { std::ios::sync_with_stdio(false); }

ConsoleOutput::~ConsoleOutput() = default;

}  // namespace vud::fleet
