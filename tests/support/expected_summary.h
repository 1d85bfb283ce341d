// Pieces of the verification report that several tests expect, written out by hand:
// application blocks and the run summary.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vud::testing {

// The verdicts of a correct build, after the file name: one line, or two for a build
// for one of the FWP 7.0 ranges.
inline constexpr char kCorrect[] = " is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n";
inline constexpr char kCorrectLater7[] =
    " is  CORRECT PRODUCTION VERSION for FWP 7.00.00.19 & later\n"
    "           w/ Correct Size Match\n";
inline constexpr char kCorrectEarlier7[] =
    " is  CORRECT PRODUCTION VERSION FWP 7.00.00.16 & before \n"
    "          w/ Correct Size Match\n";

// One application's block: the identification line, the status line naming `host`,
// the verdict (`verdict` is its text after the file name, with its line ends) and the
// empty line that closes the block.
inline std::string applicationBlock(std::string_view fileName, std::string_view tag, std::int64_t size,
                                    std::string_view host, std::string_view verdict) {
    std::string block = "Application: ";
    block.append(fileName).append("\tVersion: ").append(tag).append("  Size: ").append(std::to_string(size));
    block.append("\n   STATUS: Application Valid for: ").append(host).append("\n    ");
    block.append(fileName).append(verdict).append("\n");
    return block;
}

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
