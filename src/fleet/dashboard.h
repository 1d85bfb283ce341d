// The fleet dashboard: one self-contained HTML page (no script, no network, no file
// beside it) that shows every installation as a row of the 41 applications, each cell
// coloured by its verdict, with the fleet's totals and a legend above.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/records.h"

namespace vud::fleet {

// Writes the page to `out`, rows in the order given. Every text taken from the records
// is escaped, so a path or a tag is shown as text and never read as markup.
void writeDashboard(std::ostream& out, const std::vector<InstallationRecord>& installations);

// `text` as HTML text or attribute value: & < > " ' as character references, valid
// UTF-8 kept, and every other byte taken as the character U+0080 to U+00FF, as a
// tag's bytes above 0x7F are read, so the page is always valid UTF-8.
std::string escapeHtml(std::string_view text);

}  // namespace vud::fleet
