// Stands in for the dashboard writer until it is merged: a page that says so.
#include "fleet/dashboard.h"

namespace vud::fleet {

void writeDashboard(std::ostream& out, const std::vector<InstallationRecord>& records) {
    out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Vudmark fleet</title></head>"
           "<body><p>"
        << records.size() << " installations checked.</p></body></html>\n";
}

}  // namespace vud::fleet
