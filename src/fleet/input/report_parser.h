// A saved checker report read back into the fleet's records: the report of a folder
// gives the records a scan of that folder gives, with every application that has no
// block read as absent. Its summary tells how many of those were not found, so the
// rest are counted damaged, as the scan counts them, without telling which.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fleet/record/records.h"
#include "verify/run_tally.h"
#include "verify/verification.h"

namespace vud::fleet {

// What an accepted report was read as: each block as the checker judged it, with one
// of the tags the block may have been printed from, and the run's tally. Printed
// again by the checker's own code, they give the report's lines.
struct ReadBack {
    std::vector<ApplicationOutcome> blocks;
    RunTally tally;
};

// Reads a whole report: every block must be what the checker prints for the tag and
// size it shows, and the summary what it prints for the blocks. A report that is not
// one (a listing, a truncated or edited report, anything else) gives an error record
// whose reason names the line, what was expected there and what was found;
// `installation` names the record. `readBack`, when given, receives what an accepted
// report was read as.
InstallationRecord parseReport(std::string_view bytes, const std::string& installation,
                               ReadBack* readBack = nullptr);

}  // namespace vud::fleet
