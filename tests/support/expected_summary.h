// Pieces of the run summary that several tests expect, written out by hand.
#pragma once

#include <array>
#include <string>

namespace vud::testing {

inline constexpr char kSummaryTitle[] = "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n";

inline constexpr char kNewerNotice[] =
    "\n"
    "WARNING :  Newer Applications Found\n"
    "Verification Application OUT OF DATE - Download New Checker from\n"
    "  Web Site: www.vudmark.example  or \n"
    "  Contact Vudmark Software\n"
    "                      email : support@vudmark.example\n"
    "                      phone : +1 555 0142\n";

// The mixed-generation warning with its ten count lines, given the counts in the
// order the lines print them: FWP 3.1/3.2, all FWP 7.0, FWP 7.0 later range, FWP 7.0
// earlier range, FWP 7.1 to 7.3, 8.0, 9.0, 10.0, 11.0, 12.0.
inline std::string mixedWarning(const std::array<int, 10>& counts) {
    static constexpr const char* kLabels[10] = {
        "FWP 3.1.x.x or FWP 3.2.x.x", "FWP 7.00.00.19 & later", "FWP 7.00.00.19 & later",
        "FWP 7.0.0.0 - 7.00.00.16",   "FWP 7.1.x.x or FWP 7.2.x.x or FWP 7.3.x.x",
        "FWP 8.0.x.x",                "FWP 9.0.x.x",
        "FWP 10.0.x.x",               "FWP 11.0.x.x",
        "FWP 12.0.x.x"};
    std::string text = "WARNING Mixed version Applications found - FIX THIS SITUATION\n";
    for (int i = 0; i < 10; ++i)
        text += std::to_string(counts[i]) + " Applications found for " + kLabels[i] + "\n";
    return text;
}

}  // namespace vud::testing
