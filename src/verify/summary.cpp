#include "verify/summary.h"

#include "catalogue/catalogue.h"

namespace vud {
namespace {

constexpr char kIndent[] = "                      ";  // 22 spaces before email and phone

struct GenerationLine {
    TallyCounter counter;
    const char* label;
};

// The warning block's lines: every one is printed, zeros included.
const GenerationLine kGenerationLines[] = {
    {&RunTally::gen2Count, "FWP 3.1.x.x or FWP 3.2.x.x"},
    {&RunTally::gen7Count, "FWP 7.00.00.19 & later"},
    {&RunTally::gen7LaterCount, "FWP 7.00.00.19 & later"},
    {&RunTally::gen7EarlierCount, "FWP 7.0.0.0 - 7.00.00.16"},
    {&RunTally::gen6Count, "FWP 7.1.x.x or FWP 7.2.x.x or FWP 7.3.x.x"},
    {&RunTally::gen8Count, "FWP 8.0.x.x"},
    {&RunTally::gen9Count, "FWP 9.0.x.x"},
    {&RunTally::gen10Count, "FWP 10.0.x.x"},
    {&RunTally::gen11Count, "FWP 11.0.x.x"},
    {&RunTally::gen12Count, "FWP 12.0.x.x"},
};

// Finding lines, printed in this order and only when their count is above 0.
const GenerationLine kFindingLines[] = {
    {&RunTally::testCount, "Test Applications Found:     \t"},
    {&RunTally::preReleaseCount, "Version 12 Pre Release Test Applications Found:     \t"},
    {&RunTally::unrecognizedCount, "Unrecognized Applications Found:     \t"},
    {&RunTally::betaCount, "Beta Applications Found:     \t"},
    {&RunTally::olderCount, "Outdated Applications Found: \t"},
    {&RunTally::newerCount, "Newer Applications Found:    \t"},
    {&RunTally::sizeMismatchCount, "Mismatched File Sizes Found:    \t"},
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
        out << "WARNING Mixed version Applications found - FIX THIS SITUATION" << std::endl;
        for (const GenerationLine& line : kGenerationLines)
            out << tally.*line.counter << " Applications found for " << line.label << std::endl;
    }

    out << "Verification ver " << kCheckerVersion << "  dated " << kCheckerDate << "  SUMMARY:"
        << std::endl;

    for (const GenerationLine& line : kFindingLines)
        if (tally.*line.counter > 0) out << line.label << tally.*line.counter << std::endl;

    if (tally.correctCount == kApplicationCount)
        out << "All (" << kApplicationCount
            << ") Applications were Located and All are CORRECT PRODUCTION VERSION" << std::endl;
    else
        out << tally.correctCount << " of (" << kApplicationCount
            << ") Applications were Located as CORRECT PRODUCTION VERSIONS" << std::endl;

    if (tally.notFoundCount > 0) out << tally.notFoundCount << " Applications NOT FOUND" << std::endl;

    if (tally.newerCount > 0) {
        out << "\nWARNING :  Newer Applications Found" << std::endl;
        out << "Verification Application OUT OF DATE - Download New Checker from" << std::endl;
        out << "  Web Site: " << kMakerWebSite << "  or " << std::endl;
        out << "  Contact " << kMakerCompany << std::endl;
        out << kIndent << "email : " << kMakerEmail << std::endl;
        out << kIndent << "phone : " << kMakerPhone << std::endl;
    }
}

}  // namespace vud
