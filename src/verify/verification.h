// The verification run: every application of the catalogue, in catalogue order, taken
// from an installation, judged, reported, and summed up at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>

#include "probe/file_image.h"
#include "probe/installation.h"
#include "verify/verdict.h"

namespace vud {

// What the run found for one application.
struct ApplicationOutcome {
    enum class State {
        NotFound,  // no file, or one that cannot be read: counted as not found
        NoTag,     // a file without a version tag: reported nowhere, counted nowhere
        Judged,    // a block in the report
    };
    int position = 0;
    State state = State::NotFound;
    // Set when judged.
    VersionTag tag{};
    std::int64_t byteCount = 0;
    Verdict verdict{};
};

// Walks the catalogue over `installation`: hands each application's outcome to
// `onApplication`, in catalogue order, and returns what the run counted.
RunTally verifyInstallation(Installation& installation,
                            const std::function<void(const ApplicationOutcome&)>& onApplication);

// One application's block: identification line, status line, verdict (one or two
// lines) and the empty line that the verdict text's own newline makes.
void printApplicationBlock(std::ostream& out, const char* fileName, const VersionTag& tag,
                           std::int64_t byteCount, const Verdict& verdict);

// The report of one installation: one block per application whose file holds a version
// tag, printed as the run goes, then the run summary.
void runVerification(Installation& installation, std::ostream& out);

}  // namespace vud
