// The end of every verification run: what was found, counted over all applications.
#pragma once

#include <ostream>

#include "verify/run_tally.h"

namespace vud {

// The maker's contact details, printed when an installed build is newer than the
// checker knows: the checker is then older than the suite it checks.
inline constexpr char kMakerWebSite[] = "www.vudmark.example";
inline constexpr char kMakerCompany[] = "Vudmark Software";
inline constexpr char kMakerEmail[] = "support@vudmark.example";
inline constexpr char kMakerPhone[] = "+1 555 0142";

// How many host generations the installation mixes. An all-earlier FWP 7.0 range
// installation is one generation, not two.
int mixedGenerationCount(const RunTally& tally);

void printRunSummary(const RunTally& tally, std::ostream& out);

}  // namespace vud
