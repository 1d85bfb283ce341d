// The dashboard of a whole fleet given at once, for the tests that read one page: the
// records added one by one, as a run adds them, then the page written.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "fleet/output/dashboard.h"

namespace vud::fleet::by_hand {

inline void writeDashboard(std::ostream& out, const std::vector<InstallationRecord>& installations,
                           const ScanMetadata& scan) {
    Dashboard dashboard(scan);
    for (const InstallationRecord& installation : installations) dashboard.add(installation);
    EXPECT_TRUE(dashboard.write(out)) << "the rows set aside could not be read back";
}

}  // namespace vud::fleet::by_hand
