// The kinds of verdict a judged application gets. The run's tally, its summary and every
// fleet format count and name them by this one list, so a kind added here reaches all of
// them or fails to compile.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string_view>

namespace vud {

enum class VerdictKind { Correct, SizeMismatch, Beta, Test, PreRelease, Older, Newer, Unrecognized };
inline constexpr int kVerdictKindCount = static_cast<int>(VerdictKind::Unrecognized) + 1;

// Every kind, in order.
constexpr std::array<VerdictKind, kVerdictKindCount> allVerdictKinds() {
    std::array<VerdictKind, kVerdictKindCount> kinds{};
    int next = 0;
    std::generate(kinds.begin(), kinds.end(), [&next] { return static_cast<VerdictKind>(next++); });
    return kinds;
}
inline constexpr std::array<VerdictKind, kVerdictKindCount> kVerdictKinds = allVerdictKinds();

// How many applications got each kind, by VerdictKind.
using VerdictCounts = std::array<std::int32_t, kVerdictKindCount>;

// The applications with a verdict: the blocks of a report.
constexpr int judgedCount(const VerdictCounts& counts) { return std::accumulate(counts.begin(), counts.end(), 0); }

// The name every fleet format gives a kind: JSON values and keys, CSV cells and
// columns, metrics labels, the totals; in lower case with underscores, as every field
// of those formats is named.
inline constexpr std::array<std::string_view, kVerdictKindCount> kVerdictNames = {
    "correct", "size_mismatch", "beta", "test", "pre_release", "older", "newer", "unrecognized",
};

constexpr std::string_view verdictName(VerdictKind kind) { return kVerdictNames[static_cast<std::size_t>(kind)]; }

}  // namespace vud
