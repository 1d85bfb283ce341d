// The verification run: every application of the catalogue, in catalogue order, read
// from the working folder, judged, reported, and summed up at the end.
#pragma once

#include <cstdint>
#include <ostream>

#include "probe/file_image.h"
#include "verify/verdict.h"

namespace vud {

// One application's block: identification line, status line, verdict (one or two
// lines) and the empty line that the verdict text's own newline makes.
void printApplicationBlock(std::ostream& out, const char* fileName, const VersionTag& tag,
                           std::int64_t byteCount, const Verdict& verdict);

// Opens each application file by its bare name in the working folder; changes
// nothing on disk. Writes one block per application whose file holds a version tag,
// then the run summary.
void runVerification(std::ostream& out);

}  // namespace vud
