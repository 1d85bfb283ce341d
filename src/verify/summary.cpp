#include "verify/summary.h"

#include "catalogue/catalogue.h"

namespace vud {
namespace {

constexpr char kIndent[] = "                      ";  // 22 spaces before email and phone

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

// Only the generations a tag can name are ever counted, and only they are printed.
bool namedByTags(int generation) { return hostGenerationNumber(generation).has_value(); }

// The warning block's lines: one for each generation a tag can name, zeros included.
// Every build whose tag says 7 is counted on the later FWP 7.0 range's line, and its
// correct builds of that range's size on the line after it, under the same label.
void printGenerationLines(const RunTally& tally, std::ostream& out) {
    const auto line = [&out](std::int32_t count, int generation) {
        out << count << " Applications found for " << kHostGenerations[generation].label << '\n';
    };
    for (int generation = 0; generation < kGenerationLabelCount; ++generation) {
        if (!namedByTags(generation)) continue;
        if (generation == kGenerationFwp70Later) {
            line(tally.count(kGenerationFwp70Later) + tally.count(kGenerationFwp70Earlier), generation);
            line(tally.fwp70LaterBySizeCount, generation);
        } else {
            line(tally.count(static_cast<GenerationIndex>(generation)), generation);
        }
    }
}

}  // namespace

int mixedGenerationCount(const RunTally& tally) {
    int count = 0;
    for (int generation = 0; generation < kGenerationLabelCount; ++generation)
        count += namedByTags(generation) && tally.count(static_cast<GenerationIndex>(generation)) > 0;
    return count;
}

void printRunSummary(const RunTally& tally, std::ostream& out) {
    if (mixedGenerationCount(tally) > 1) {
        out << "WARNING Mixed version Applications found - FIX THIS SITUATION" << '\n';
        printGenerationLines(tally, out);
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
