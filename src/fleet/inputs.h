// One input of the fleet checker, whatever it is: a folder is scanned, "-" and any
// other path are read as a saved report, and a path that cannot be read gives an
// error record with the reason.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "fleet/records.h"

namespace vud::fleet {

// The path named by UTF-8 text, so that on Windows every Unicode character reaches the
// file system's wide-character calls.
std::filesystem::path pathFromUtf8(const std::string& text);

// Checks the installation named by `path` (UTF-8); "-" reads a report from `standardInput`.
InstallationRecord checkInput(const std::string& path, std::istream& standardInput);

}  // namespace vud::fleet
