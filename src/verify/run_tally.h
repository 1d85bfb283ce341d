// What one verification run counts; the summary prints it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "catalogue/catalogue.h"
#include "verify/verdict_kind.h"

namespace vud {

// Which FWP 7.0 range a correct generation-7 build's size proves it is for. Both ranges'
// builds carry the same tag; only the size tells them apart.
enum class Fwp70Range { Unproven, Later, Earlier };

// Builds by host generation, by GenerationIndex.
using GenerationCounts = std::array<std::int32_t, kGenerationLabelCount>;

struct RunTally {
    // Verdicts: an application with a tag adds to exactly one kind; a file that cannot
    // be opened adds to notFoundCount.
    VerdictCounts verdicts{};  // by VerdictKind
    std::int32_t notFoundCount = 0;

    // Host generations: an application with a tag adds to exactly one, the one its tag
    // names (kGenerationUnrecognized when it names none). A tag saying 7 names the
    // later FWP 7.0 range, unless the build's size proves the earlier one. FWP 3.0 is
    // never read from a tag.
    GenerationCounts generations{};
    // Correct builds of the later FWP 7.0 range's size; they count for that range too.
    std::int32_t fwp70LaterBySizeCount = 0;

    std::int32_t& count(VerdictKind kind) { return verdicts[static_cast<std::size_t>(kind)]; }
    std::int32_t count(VerdictKind kind) const { return verdicts[static_cast<std::size_t>(kind)]; }
    std::int32_t& count(GenerationIndex generation) { return generations[static_cast<std::size_t>(generation)]; }
    std::int32_t count(GenerationIndex generation) const {
        return generations[static_cast<std::size_t>(generation)];
    }

    bool operator==(const RunTally&) const = default;
};

}  // namespace vud
