// An installation folder checked in process, by the very run that makes the checker's
// verdicts, turned into the fleet's records.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "fleet/record/records.h"
#include "probe/installation.h"
#include "verify/run_tally.h"
#include "verify/verification.h"

namespace vud::fleet {

// The host label of a status line: what follows "Application Valid for: ".
std::string hostOf(const std::string& statusLine);

// The record of one application as the run found it.
ApplicationRecord applicationRecordOf(const ApplicationOutcome& outcome);

// Fills the installation's counts, flags and status from what the run counted.
void applyTally(const RunTally& tally, InstallationRecord& record);

// What is done with each application's record as the run makes it, while its file is the
// one loaded last: `record` holds the applications before it.
using EachApplication = std::function<void(InstallationRecord& record, ApplicationRecord& application)>;

// Runs the check over `installation` and records it under the name `path`.
InstallationRecord scanInstallation(Installation& installation, const std::string& path,
                                    const EachApplication& each = nullptr);

}  // namespace vud::fleet
