// The fleet's dashboard: one self-contained HTML page of every installation by
// application.
#pragma once

#include <ostream>
#include <vector>

#include "fleet/records.h"

namespace vud::fleet {

void writeDashboard(std::ostream& out, const std::vector<InstallationRecord>& records);

}  // namespace vud::fleet
