#include "verify/summary.h"

#include "catalogue/catalogue.h"

namespace vud {
namespace {

constexpr char kIndent[] = "                      ";  // 22 spaces before email and phone

struct GenerationLine {
    TallyCounter counter;
    GenerationIndex generation;  // whose label ends the line
};

// The warning block's lines: every one is printed, zeros included. The count of all
// generation-7 builds and that of the later range's correct builds both bear the
// later range's label.
const GenerationLine kGenerationLines[] = {
    {&RunTally::gen2Count, kGenerationFwp31},
    {&RunTally::gen7Count, kGenerationFwp70Later},
    {&RunTally::gen7LaterCount, kGenerationFwp70Later},
    {&RunTally::gen7EarlierCount, kGenerationFwp70Earlier},
    {&RunTally::gen6Count, kGenerationFwp71},
    {&RunTally::gen8Count, kGenerationFwp80},
    {&RunTally::gen9Count, kGenerationFwp90},
    {&RunTally::gen10Count, kGenerationFwp100},
    {&RunTally::gen11Count, kGenerationFwp110},
    {&RunTally::gen12Count, kGenerationFwp120},
};

struct FindingLine {
    VerdictKind kind;
    const char* text;
};

// Finding lines, printed in this order and only when their count is above 0.
const FindingLine kFindingLines[] = {
    {VerdictKind::Test, "Test Applications Found:     \t"},
    {VerdictKind::PreRelease, "Version 12 Pre Release Test Applications Found:     \t"},
    {VerdictKind::Unrecognized, "Unrecognized Applications Found:     \t"},
    {VerdictKind::Beta, "Beta Applications Found:     \t"},
    {VerdictKind::Older, "Outdated Applications Found: \t"},
    {VerdictKind::Newer, "Newer Applications Found:    \t"},
    {VerdictKind::SizeMismatch, "Mismatched File Sizes Found:    \t"},
};

}  // namespace

int mixedGenerationCount(const RunTally& tally) {
    // Generation-7 builds that matched the earlier range's size are a generation of
    // their own; the rest of gen7Count stands for the later range.
    const std::int32_t present[] = {
        tally.gen2Count,  tally.gen7Count - tally.gen7EarlierCount, tally.gen7EarlierCount,
        tally.gen6Count,  tally.gen8Count,  tally.gen9Count,
        tally.gen10Count, tally.gen11Count, tally.gen12Count,
    };
    int count = 0;
    for (std::int32_t found : present) count += found > 0;
    return count;
}

void printRunSummary(const RunTally& tally, std::ostream& out) {
    if (mixedGenerationCount(tally) > 1) {
        out << "WARNING Mixed version Applications found - FIX THIS SITUATION" << '\n';
        for (const GenerationLine& line : kGenerationLines)
            out << tally.*line.counter << " Applications found for " << kHostGenerations[line.generation].label
                << '\n';
    }

    out << "Verification ver " << kCheckerVersion << "  dated " << kCheckerDate << "  SUMMARY:"
        << '\n';

    for (const FindingLine& line : kFindingLines)
        if (tally.count(line.kind) > 0) out << line.text << tally.count(line.kind) << '\n';

    if (tally.count(VerdictKind::Correct) == kApplicationCount)
        out << "All (" << kApplicationCount
            << ") Applications were Located and All are CORRECT PRODUCTION VERSION" << '\n';
    else
        out << tally.count(VerdictKind::Correct) << " of (" << kApplicationCount
            << ") Applications were Located as CORRECT PRODUCTION VERSIONS" << '\n';

    if (tally.notFoundCount > 0) out << tally.notFoundCount << " Applications NOT FOUND" << '\n';

    if (tally.count(VerdictKind::Newer) > 0) {
        out << "\nWARNING :  Newer Applications Found" << '\n';
        out << "Verification Application OUT OF DATE - Download New Checker from" << '\n';
        out << "  Web Site: " << kMakerWebSite << "  or " << '\n';
        out << "  Contact " << kMakerCompany << '\n';
        out << kIndent << "email : " << kMakerEmail << '\n';
        out << kIndent << "phone : " << kMakerPhone << '\n';
    }
}

}  // namespace vud
