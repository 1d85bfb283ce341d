// What one verification run counts; the summary prints it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "catalogue/catalogue.h"
#include "verify/verdict_kind.h"

namespace vud {

struct RunTally {
    // Verdicts: an application with a tag adds to exactly one kind; a file that cannot
    // be opened adds to notFoundCount.
    VerdictCounts verdicts{};  // by VerdictKind
    std::int32_t notFoundCount = 0;

    // Host generations: an application with a tag adds to exactly one of the
    // generation counters; the two generation-7 build counters come on top of gen7Count.
    std::int32_t gen2Count = 0;
    std::int32_t gen7Count = 0;
    std::int32_t gen7LaterCount = 0;    // correct release, size of FWP 7.00.00.19 & later
    std::int32_t gen7EarlierCount = 0;  // correct release, size of FWP 7.0.0.0 - 7.00.00.16 only
    std::int32_t gen6Count = 0;
    std::int32_t gen8Count = 0;
    std::int32_t gen9Count = 0;
    std::int32_t gen10Count = 0;
    std::int32_t gen11Count = 0;
    std::int32_t gen12Count = 0;
    std::int32_t otherGenerationCount = 0;

    std::int32_t& count(VerdictKind kind) { return verdicts[static_cast<std::size_t>(kind)]; }
    std::int32_t count(VerdictKind kind) const { return verdicts[static_cast<std::size_t>(kind)]; }

    bool operator==(const RunTally&) const = default;
};

// Names one generation counter of a RunTally, so a verdict can say what it adds.
using TallyCounter = std::int32_t RunTally::*;

// The generation counter of each host generation, by GenerationIndex. FWP 3.0 is never
// read from a tag, and a build for the earlier FWP 7.0 range is read as generation 7
// (gen7Count) before its size sets it apart (gen7EarlierCount): neither has a counter
// of its own.
inline constexpr TallyCounter kGenerationCounter[kGenerationLabelCount] = {
    &RunTally::otherGenerationCount,
    nullptr,
    &RunTally::gen2Count,
    &RunTally::gen7Count,
    nullptr,
    &RunTally::gen6Count,
    &RunTally::gen8Count,
    &RunTally::gen9Count,
    &RunTally::gen10Count,
    &RunTally::gen11Count,
    &RunTally::gen12Count,
};

}  // namespace vud
