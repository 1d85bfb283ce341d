// vudfleet's start, the same on every system. main_posix.cpp and main_win32.cpp are its
// entry points, each handing over the arguments as its system gives them.
#pragma once

#include <string>
#include <vector>

namespace vud::fleet {

// Runs vudfleet with `arguments` (UTF-8, without the program's name) on the standard
// streams; returns its exit status.
int runProgram(const std::vector<std::string>& arguments);

}  // namespace vud::fleet
