#include "fleet/compare/report_age.h"

#include <algorithm>

namespace vud::fleet {

std::int64_t reportAgeDays(std::int64_t reportTime, std::int64_t scanTime) {
    return std::max<std::int64_t>(scanTime - reportTime, 0) / kSecondsADay;
}

void applyReportAge(int maxAgeDays, std::int64_t scanTime, InstallationRecord& record) {
    if (record.status == Status::Error || !record.reportTime) return;
    record.staleReport = scanTime - *record.reportTime > static_cast<std::int64_t>(maxAgeDays) * kSecondsADay;
    record.status = statusOf(record);
}

}  // namespace vud::fleet
