// A rollout's rules held against each installation: the host generations it rolled
// out, and whether every application must be there. The checker's verdicts say whether
// each build is right for the generation it was made for; only the rollout knows which
// generation a workstation should have, so a complete, correct FWP 8.0 installation is
// ok to the checker and a finding once FWP 11.0 has been rolled out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "fleet/record/records.h"

namespace vud::fleet {

// The generation number `text` names (decimal digits only, one of the catalogue's
// kGenerationNumbers), or none with `problem` set in words for the user.
std::optional<int> hostGenerationOf(std::string_view text, std::string& problem);

// Marks each application of `record` that breaks a rule of `policy`, counts them by
// rule, and makes an ok installation one with findings when any does. A block breaks
// the generation rule when its generation is not expected (an unrecognised one never
// is); an application not found, or without a block in a report, breaks the rule that
// all are required. A damaged application is a finding already and breaks neither. A
// report that counts damaged files does not tell which of its applications without a
// block they are: none of those is marked, and the installation counts as required
// the applications its summary says were not found.
// An error record is left as it is.
void applyPolicy(const RolloutPolicy& policy, InstallationRecord& record);

}  // namespace vud::fleet
