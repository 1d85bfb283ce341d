// The fleet checker's command line run in process, with what it printed and its status.
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

}  // namespace vud::fleet
