// A saved checker report read back into the fleet's records: the report of a folder
// gives the records a scan of that folder gives, with every application that has no
// block read as absent.
#pragma once

#include <string>
#include <string_view>

#include "fleet/records.h"

namespace vud::fleet {

// The report's text as UTF-8: bytes as written (LF or CR LF), UTF-8 with or without a
// byte-order mark, or UTF-16LE with one. Bytes as written that are not UTF-8 are taken
// one a character, U+0000 to U+00FF. Sets `problem` and returns nothing when the bytes
// are in no encoding a report is saved in.
std::string reportText(std::string_view bytes, std::string& problem);

// Reads a whole report. A report that is not one (a listing, a truncated or edited
// report, anything else) gives an error record whose reason names the line and what
// was expected there; `installation` names the record.
InstallationRecord parseReport(std::string_view bytes, const std::string& installation);

}  // namespace vud::fleet
