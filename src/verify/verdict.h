// The verdict on one application: which host generation its build is for, and how
// its release and size compare with the catalogue. Pure: no files, no output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "probe/file_image.h"
#include "verify/run_tally.h"
#include "verify/verdict_kind.h"

namespace vud {

// What the characters after "ver " say about the host generation.
struct GenerationReading {
    GenerationIndex generationIndex;  // kGenerationUnrecognized ("NA") when not recognised
    std::optional<int> sizeRow;       // none for an unrecognised generation
    bool twoDigit;                    // generation 10, 11 or 12: the release sits one further
};

GenerationReading readGeneration(const VersionTag& tag);

// Every status line begins so; the host it names follows.
inline constexpr std::string_view kStatusPrefix = "   STATUS: Application Valid for: ";

struct Verdict {
    GenerationReading generation;
    std::string statusLine;     // without its end of line
    std::string verdictText;    // ends with its own newline
    VerdictKind kind = VerdictKind::Unrecognized;
    Fwp70Range fwp70Range = Fwp70Range::Unproven;

    void addTo(RunTally& tally) const;
};

// Judges the application at catalogue `position` whose file holds `tag` and is
// `byteCount` bytes long.
Verdict judgeApplication(int position, const VersionTag& tag, std::int64_t byteCount);

// The tag as it may be shown on a console: up to its first NUL, with every byte
// outside printable ASCII shown as "?", so a damaged file cannot send control
// sequences to the user's terminal.
std::string printableTag(const VersionTag& tag);

}  // namespace vud
