// The verification run: every application of the catalogue, in catalogue order, read
// from the working folder, judged, reported, and summed up at the end.
#pragma once

#include <ostream>

namespace vud {

// Opens each application file by its bare name in the working folder; changes
// nothing on disk. Writes one block per application whose file holds a version tag,
// then the run summary.
void runVerification(std::ostream& out);

}  // namespace vud
