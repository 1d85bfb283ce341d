// How old a saved report may be. A report tells what its installation held when it was
// written: a nightly run that reads reports collected from the fleet must see one that
// stopped being refreshed, as it would see a workstation that stopped answering.
#pragma once

#include <cstdint>

#include "fleet/record/records.h"

namespace vud::fleet {

inline constexpr int kSecondsADay = 86400;
// A century: the longest age --max-report-age takes.
inline constexpr int kLongestReportAgeDays = 36500;

// Whole days from `reportTime` to `scanTime`, both in seconds since 1970; 0 for a report
// written after the scan started.
std::int64_t reportAgeDays(std::int64_t reportTime, std::int64_t scanTime);

// Marks `record` stale when it was read from a report written more than `maxAgeDays`
// days before `scanTime`, which makes an ok installation one with findings. A folder,
// a report without a time (standard input) and an error record are left as they are.
void applyReportAge(int maxAgeDays, std::int64_t scanTime, InstallationRecord& record);

}  // namespace vud::fleet
