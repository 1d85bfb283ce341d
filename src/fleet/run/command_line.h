// The fleet checker's command line and the run it asks for:
//   vudfleet [--format text|csv|json] [--jobs N] [--from FILE] [--html FILE] PATH...
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace vud::fleet {

// What scripts read of a run: every installation ok; some with findings; some input
// that could not be read or parsed, or a wrong command line, whatever else was found.
inline constexpr int kAllOk = 0;
inline constexpr int kFindings = 1;
inline constexpr int kInputError = 2;

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool progress = false;  // standard error is a terminal: show how far the run is
};

// Runs the fleet checker with `arguments` (UTF-8, without the program name) and
// returns its exit status.
int runFleet(const std::vector<std::string>& arguments, Console console);

// The characters of the progress line standard error shows now, 0 when none. Read
// without a lock, so that a signal handler can clear the line before the program ends.
std::size_t progressLineWidth();

}  // namespace vud::fleet
