// vudfleet --write-reference: the reference build made once from known-good
// installations (the vendor's media, a freshly installed reference workstation), which
// nightly scans then hold every block to.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vud::fleet {

// Reads each installation folder of `paths` whole and writes the reference of their
// builds to the file `reference` (UTF-8), saying on `out` how many builds it holds.
// False, with the reason on `err` and the file not written, when a path is no folder,
// a file changed while it was read, two folders disagree on a build's bytes, no build
// was found or the file cannot be written.
bool writeReference(const std::vector<std::string>& paths, const std::string& reference, std::ostream& out,
                    std::ostream& err);

}  // namespace vud::fleet
