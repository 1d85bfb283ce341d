// The fleet checker's whole run: its command line read (options.h lists the options),
// then the installations checked and their records written.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "fleet/run/options.h"

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

// The run a command line asked for: reads the lists of paths, checks each installation
// once and writes its record; returns the exit status.
int run(const FleetOptions& options, Console console);

}  // namespace vud::fleet
