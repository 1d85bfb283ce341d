// The run summary from counts alone.
#include "verify/summary.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/expected_summary.h"

namespace vud {
namespace {

using testing::kNewerNotice;
using testing::kSummaryTitle;
using testing::mixedWarning;

std::string summaryOf(const RunTally& tally) {
    std::ostringstream out;
    printRunSummary(tally, out);
    return out.str();
}

TEST(RunSummary, AllCorrectForOneGeneration) {
    RunTally tally;
    tally.count(VerdictKind::Correct) = 41;
    tally.count(kGenerationFwp80) = 41;
    EXPECT_EQ(std::string(kSummaryTitle) +
                  "All (41) Applications were Located and All are CORRECT PRODUCTION VERSION\n",
              summaryOf(tally));
}

TEST(RunSummary, NothingFound) {
    RunTally tally;
    tally.notFoundCount = 41;
    EXPECT_EQ(std::string(kSummaryTitle) +
                  "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "41 Applications NOT FOUND\n",
              summaryOf(tally));
}

TEST(RunSummary, FindingLinesInTheirOrderThenTheNewerNotice) {
    RunTally tally;
    tally.count(VerdictKind::SizeMismatch) = 7;
    tally.count(VerdictKind::Newer) = 6;
    tally.count(VerdictKind::Older) = 5;
    tally.count(VerdictKind::Beta) = 4;
    tally.count(VerdictKind::Unrecognized) = 3;
    tally.count(VerdictKind::PreRelease) = 2;
    tally.count(VerdictKind::Test) = 1;
    tally.count(VerdictKind::Correct) = 12;
    tally.notFoundCount = 1;
    tally.count(kGenerationUnrecognized) = 40;  // no host generation: never a mix
    EXPECT_EQ(std::string(kSummaryTitle) +
                  "Test Applications Found:     \t1\n"
                  "Version 12 Pre Release Test Applications Found:     \t2\n"
                  "Unrecognized Applications Found:     \t3\n"
                  "Beta Applications Found:     \t4\n"
                  "Outdated Applications Found: \t5\n"
                  "Newer Applications Found:    \t6\n"
                  "Mismatched File Sizes Found:    \t7\n"
                  "12 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "1 Applications NOT FOUND\n" +
                  kNewerNotice,
              summaryOf(tally));
}

TEST(RunSummary, MixedGenerationsPrintEveryGenerationLineThroughFwp12) {
    RunTally tally;
    tally.count(kGenerationFwp31) = 1;
    tally.count(kGenerationFwp70Later) = 5;  // with the earlier range's: 9 builds say 7
    tally.fwp70LaterBySizeCount = 3;
    tally.count(kGenerationFwp70Earlier) = 4;
    tally.count(kGenerationFwp71) = 5;
    tally.count(kGenerationFwp80) = 6;
    tally.count(kGenerationFwp90) = 7;
    tally.count(kGenerationFwp100) = 8;
    tally.count(kGenerationFwp110) = 10;
    tally.count(kGenerationFwp120) = 11;
    tally.count(kGenerationUnrecognized) = 12;
    tally.count(VerdictKind::Correct) = 7;
    EXPECT_EQ("WARNING Mixed version Applications found - FIX THIS SITUATION\n"
              "1 Applications found for FWP 3.1.x.x or FWP 3.2.x.x\n"
              "9 Applications found for FWP 7.00.00.19 & later\n"
              "3 Applications found for FWP 7.00.00.19 & later\n"
              "4 Applications found for FWP 7.0.0.0 - 7.00.00.16\n"
              "5 Applications found for FWP 7.1.x.x or FWP 7.2.x.x or FWP 7.3.x.x\n"
              "6 Applications found for FWP 8.0.x.x\n"
              "7 Applications found for FWP 9.0.x.x\n"
              "8 Applications found for FWP 10.0.x.x\n"
              "10 Applications found for FWP 11.0.x.x\n"
              "11 Applications found for FWP 12.0.x.x\n" +
                  std::string(kSummaryTitle) +
                  "7 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n",
              summaryOf(tally));
}

struct MixCase {
    const char* what;
    RunTally tally;
    int generations;
};

RunTally with(std::initializer_list<std::pair<GenerationIndex, std::int32_t>> counts) {
    RunTally tally;
    for (const auto& [generation, value] : counts) tally.count(generation) = value;
    return tally;
}

TEST(MixedGenerationCount, CountsHostGenerationsPresent) {
    const MixCase cases[] = {
        {"nothing found", RunTally{}, 0},
        {"one generation", with({{kGenerationFwp90, 41}}), 1},
        {"generations 8 and 9", with({{kGenerationFwp80, 1}, {kGenerationFwp90, 1}}), 2},
        {"all builds of the earlier FWP 7.0 range are one generation", with({{kGenerationFwp70Earlier, 41}}), 1},
        {"builds of both FWP 7.0 ranges are two", with({{kGenerationFwp70Later, 1}, {kGenerationFwp70Earlier, 1}}),
         2},
        {"an unrecognised generation takes no part", with({{kGenerationFwp80, 3}, {kGenerationUnrecognized, 2}}), 1},
        {"generations 11 and 12", with({{kGenerationFwp110, 1}, {kGenerationFwp120, 1}}), 2},
    };
    for (const MixCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.generations, mixedGenerationCount(c.tally));
    }
}

TEST(RunSummary, AllCorrectForTheEarlierFwp70RangeRaisesNoFalseAlarm) {
    RunTally tally;
    tally.count(VerdictKind::Correct) = 41;
    tally.count(kGenerationFwp70Earlier) = 41;
    EXPECT_EQ(std::string(kSummaryTitle) +
                  "All (41) Applications were Located and All are CORRECT PRODUCTION VERSION\n",
              summaryOf(tally));
}

}  // namespace
}  // namespace vud
