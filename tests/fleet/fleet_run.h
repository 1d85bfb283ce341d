// The fleet checker's command line run in process, with what it printed and its status;
// what its tests leave out of the text output.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "fleet/run/command_line.h"

namespace vud::fleet {

struct FleetRun {
    int status;
    std::string out;
    std::string err;
};

// Standard input holds `input`; the output is no terminal, so no progress line.
inline FleetRun runWith(const std::vector<std::string>& arguments, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int status = runFleet(arguments, {in, out, err, false});
    return {status, out.str(), err.str()};
}

// The text output without its totals by application, for the tests of the lines above them.
inline std::string withoutTotals(const std::string& out) {
    const std::size_t start = out.find("\nBy application");
    if (start == std::string::npos) return out;
    return out.substr(0, start) + out.substr(out.rfind("\n\n") + 2);
}

}  // namespace vud::fleet
