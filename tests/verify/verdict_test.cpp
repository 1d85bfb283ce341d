// Every way a build is judged, in both tag layouts, for one application whose release code is F.1.7:
// vud_ste.ma at catalogue position 38. Its expected sizes by row: 0 133716,
// 1 141970, 2 141697, 3 146584, 4 147598, 5 147685, 6 158403, 7 164185, 8 164185.
#include "verify/verdict.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vud {
namespace {

using namespace std::string_literals;

constexpr int kSte = 38;

VersionTag tagOf(const std::string& bytes) {
    VersionTag tag{};
    std::memcpy(tag.text, bytes.data(), std::min(bytes.size(), kVersionTagLength));
    return tag;
}

struct VerdictCase {
    const char* what;
    std::string tag;  // bytes after which the tag reads NUL
    std::int64_t size;
    const char* status;  // what follows "   STATUS: Application Valid for: "
    std::string text;
    VerdictKind kind;
    GenerationIndex counted;  // the generation whose count the build adds to
    Fwp70Range fwp70Range;
};

constexpr auto kCorrect = VerdictKind::Correct;
constexpr auto kMismatch = VerdictKind::SizeMismatch;
constexpr auto kBeta = VerdictKind::Beta;
constexpr auto kTest = VerdictKind::Test;
constexpr auto kPre = VerdictKind::PreRelease;
constexpr auto kOlder = VerdictKind::Older;
constexpr auto kNewer = VerdictKind::Newer;
constexpr auto kUnrecognized = VerdictKind::Unrecognized;
constexpr Fwp70Range kNone = Fwp70Range::Unproven;

constexpr char kFwp7[] = "FWP 7.0.x.x (see below)";
constexpr char kFwp8[] = "FWP 8.0.x.x";
constexpr char kFwp10[] = "FWP 10.0.x.x";
constexpr char kFwp11[] = "FWP 11.0.x.x";
constexpr char kFwp12[] = "FWP 12.0.x.x";

const VerdictCase kOneDigitCases[] = {
    {"generation 7, size of the later FWP 7.0 range", "ver 7.1.7", 141970, kFwp7,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION for FWP 7.00.00.19 & later\n"
     "           w/ Correct Size Match\n",
     kCorrect, kGenerationFwp70Later, Fwp70Range::Later},
    {"generation 7, size of the earlier FWP 7.0 range only", "ver 7.1.7", 141697, kFwp7,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION FWP 7.00.00.16 & before \n"
     "          w/ Correct Size Match\n",
     kCorrect, kGenerationFwp70Earlier, Fwp70Range::Earlier},
    {"generation 7, neither size: quotes the later range's size", "ver 7.1.7", 141971, kFwp7,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION FWP 7.00.00.19  or Previous FWP 7.0.x.x version\n"
     "        w/ InCorrect Size Match (141971 vs 141970 correct)\n",
     kMismatch, kGenerationFwp70Later, kNone},
    {"generation 8 correct", "ver 8.1.7", 147598, kFwp8,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n", kCorrect,
     kGenerationFwp80, kNone},
    {"generation 8 size mismatch", "ver 8.1.7", 147599, kFwp8,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (147599 vs 147598 correct)\n",
     kMismatch, kGenerationFwp80, kNone},
    {"generation 2 correct", "ver 2.1.7", 133716, "FWP 3.1.x.x or FWP 3.2.x.x",
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n", kCorrect,
     kGenerationFwp31, kNone},
    {"generation 9 correct", "ver 9.1.7", 147685, "FWP 9.0.x.x",
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n", kCorrect,
     kGenerationFwp90, kNone},
    {"generation 6, a size beyond 32 bits printed whole", "ver 6.1.7", 5000000000,
     "FWP 7.1.x.x or FWP 7.2.x.x or FWP 7.3.x.x",
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (5000000000 vs 146584 correct)\n",
     kMismatch, kGenerationFwp71, kNone},
    {"a size that wraps to the expected one in 32 bits is still a mismatch", "ver 8.1.7",
     (1ll << 32) + 147598, kFwp8,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (4295114894 vs 147598 correct)\n",
     kMismatch, kGenerationFwp80, kNone},
    {"beta", "ver 8.b.7", 1, kFwp8,
     "vud_ste.ma is Beta ver ver 8.b.7 - NOT FOR PRODUCTION  - Release is F.1.7\n", kBeta,
     kGenerationFwp80, kNone},
    {"older major release", "ver 8.0.7", 1, kFwp8,
     "vud_ste.ma is Older ver ver 8.0.7 - WRONG VERSION  - Release is F.1.7\n", kOlder,
     kGenerationFwp80, kNone},
    {"a byte above 0x7F ranks below the digits", "ver 8.\xE9.7", 1, kFwp8,
     "vud_ste.ma is Older ver ver 8.?.7 - WRONG VERSION  - Release is F.1.7\n", kOlder,
     kGenerationFwp80, kNone},
    {"newer major release", "ver 8.2.0", 1, kFwp8,
     "vud_ste.ma is Newer ver ver 8.2.0 - Known Release in this PGM is F.1.7\n", kNewer,
     kGenerationFwp80, kNone},
    {"obsolete test release", "ver 8.1.5r", 1, kFwp8,
     "vud_ste.ma is old Test Rel ver ver 8.1.5r - OBSOLETE  - Final Ver F.1.7\n", kOlder,
     kGenerationFwp80, kNone},
    {"newer test release", "ver 8.1.8r", 1, kFwp8,
     "vud_ste.ma is UnKnown Test Rel ver ver 8.1.8r - NEWER TEST  - Known Rel Ver F.1.7\n", kNewer,
     kGenerationFwp80, kNone},
    {"other minor release with an unknown marker", "ver 8.1.5x", 1, kFwp8,
     "vud_ste.ma is unrecognized  Rel ver ver 8.1.5x - NOT FINAL RELEASE  - Final Ver F.1.7\n",
     kUnrecognized, kGenerationFwp80, kNone},
    {"older minor release", "ver 8.1.5", 1, kFwp8,
     "vud_ste.ma is Older ver ver 8.1.5 - WRONG VERSION  - Release is F.1.7\n", kOlder,
     kGenerationFwp80, kNone},
    {"newer minor release", "ver 8.1.9", 1, kFwp8,
     "vud_ste.ma is Newer ver ver 8.1.9 - Known Release in this PGM is F.1.7\n", kNewer,
     kGenerationFwp80, kNone},
    {"current test release", "ver 8.1.7r", 147598, kFwp8,
     "vud_ste.ma is Current Test Rel ver ver 8.1.7r - TEST RELEASE  - Current Rel Ver F.1.7\n",
     kTest, kGenerationFwp80, kNone},
    {"'t' is no marker in a one-digit tag", "ver 8.1.7t", 147598, kFwp8,
     "vud_ste.ma is unrecognized Rel ver ver 8.1.7t - Known Release in this PGM is F.1.7\n",
     kUnrecognized, kGenerationFwp80, kNone},
    {"a tag cut short by a NUL fails the length test", "ver 8\0001.7"s, 147598, kFwp8,
     "vud_ste.ma is unrecognized Rel ver ver 8 - Known Release in this PGM is F.1.7\n",
     kUnrecognized, kGenerationFwp80, kNone},
    {"unrecognised generation: no size row, so a matching release is unrecognized",
     "ver 5.1.7", 141970, "NA",
     "vud_ste.ma is unrecognized Rel ver ver 5.1.7 - Known Release in this PGM is F.1.7\n",
     kUnrecognized, kGenerationUnrecognized, kNone},
    {"unrecognised generation 3 with a current test release", "ver 3.1.7r", 1, "NA",
     "vud_ste.ma is Current Test Rel ver ver 3.1.7r - TEST RELEASE  - Current Rel Ver F.1.7\n",
     kTest, kGenerationUnrecognized, kNone},
    {"unrecognised generation 15 is read in the one-digit layout", "ver 15.1.7", 1, "NA",
     "vud_ste.ma is Older ver ver 15.1.7 - WRONG VERSION  - Release is F.1.7\n", kOlder,
     kGenerationUnrecognized, kNone},
};

const VerdictCase kTwoDigitCases[] = {
    {"generation 10 correct", "ver 10.1.7", 158403, kFwp10,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n", kCorrect,
     kGenerationFwp100, kNone},
    {"generation 11 size mismatch", "ver 11.1.7", 164186, kFwp11,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (164186 vs 164185 correct)\n",
     kMismatch, kGenerationFwp110, kNone},
    {"generation 12 correct", "ver 12.1.7", 164185, kFwp12,
     "vud_ste.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n", kCorrect,
     kGenerationFwp120, kNone},
    {"matching release but NULs where the points go: judged as an unknown marker after the current release", "ver 10\0001\0007"s, 158403,
     kFwp10, "vud_ste.ma is unrecognized Rel ver ver 10 - Known Release in this PGM is F.1.7\n",
     kUnrecognized, kGenerationFwp100, kNone},
    {"generation 12 pre-release", "ver 12.1.7t", 1, kFwp12,
     "vud_ste.ma is Test Rel ver 12.1.7t - Initial ver 12 Pre RELEASE  - Final Ver will be F.1.7\n",
     kPre, kGenerationFwp120, kNone},
    {"generation 11 pre-release", "ver 11.1.7t", 1, kFwp11,
     "vud_ste.ma is Test Rel ver 11.1.7t - Initial ver 11 Pre RELEASE  - Final Ver will be F.1.7\n",
     kPre, kGenerationFwp110, kNone},
    {"generation 10 test build", "ver 10.1.7t", 1, kFwp10,
     "vud_ste.ma is Test Rel ver 10.1.7t - NOT FINAL RELEASE  - Final Ver F.1.7\n", kTest,
     kGenerationFwp100, kNone},
    {"'t' decides before the release is compared", "ver 10.0.3t", 1, kFwp10,
     "vud_ste.ma is Test Rel ver 10.0.3t - NOT FINAL RELEASE  - Final Ver F.1.7\n", kTest,
     kGenerationFwp100, kNone},
    {"beta", "ver 10.b.7", 1, kFwp10,
     "vud_ste.ma is Beta ver 10.b.7 - NOT FOR PRODUCTION  - Release is F.1.7\n", kBeta,
     kGenerationFwp100, kNone},
    {"older major release", "ver 11.0.9", 1, kFwp11,
     "vud_ste.ma is Older ver ver 11.0.9 - WRONG VERSION  - Release is F.1.7\n", kOlder,
     kGenerationFwp110, kNone},
    {"newer major release", "ver 10.2.0", 1, kFwp10,
     "vud_ste.ma is Newer ver ver 10.2.0 - Known Release in this PGM is F.1.7\n", kNewer,
     kGenerationFwp100, kNone},
    {"obsolete test release", "ver 11.1.5r", 1, kFwp11,
     "vud_ste.ma is old Test Rel ver ver 11.1.5r - OBSOLETE  - Final Ver F.1.7\n", kOlder,
     kGenerationFwp110, kNone},
    {"newer test release", "ver 11.1.8r", 1, kFwp11,
     "vud_ste.ma is UnKnown Test Rel ver ver 11.1.8r - NEWER TEST  - Known Rel Ver F.1.7\n",
     kNewer, kGenerationFwp110, kNone},
    {"other minor release with an unknown marker", "ver 10.1.5x", 1, kFwp10,
     "vud_ste.ma is unrecognized  Rel ver ver 10.1.5x - NOT FINAL RELEASE  - Final Ver F.1.7\n",
     kUnrecognized, kGenerationFwp100, kNone},
    {"older minor release", "ver 10.1.5", 1, kFwp10,
     "vud_ste.ma is Older ver ver 10.1.5 - WRONG VERSION  - Release is F.1.7\n", kOlder,
     kGenerationFwp100, kNone},
    {"newer minor release", "ver 10.1.9", 1, kFwp10,
     "vud_ste.ma is Newer ver ver 10.1.9 - Known Release in this PGM is F.1.7\n", kNewer,
     kGenerationFwp100, kNone},
    {"current test release", "ver 10.1.7r", 1, kFwp10,
     "vud_ste.ma is Current Test Rel ver ver 10.1.7r - TEST RELEASE  - Current Rel Ver F.1.7\n",
     kTest, kGenerationFwp100, kNone},
    {"unknown marker after the current release", "ver 10.1.7x", 1, kFwp10,
     "vud_ste.ma is unrecognized Rel ver ver 10.1.7x - Known Release in this PGM is F.1.7\n",
     kUnrecognized, kGenerationFwp100, kNone},
};

void expectVerdict(const VerdictCase& c) {
    SCOPED_TRACE(c.what);
    const Verdict verdict = judgeApplication(kSte, tagOf(c.tag), c.size);
    EXPECT_EQ(std::string("   STATUS: Application Valid for: ") + c.status, verdict.statusLine);
    EXPECT_EQ(c.text, verdict.verdictText);

    RunTally expected;
    ++expected.count(c.kind);
    ++expected.count(c.counted);
    if (c.fwp70Range == Fwp70Range::Later) ++expected.fwp70LaterBySizeCount;
    RunTally counted;
    verdict.addTo(counted);
    EXPECT_EQ(expected, counted) << "counters differ";
}

TEST(OneDigitVerdict, EveryWayABuildIsJudged) {
    for (const VerdictCase& c : kOneDigitCases) expectVerdict(c);
}

TEST(TwoDigitVerdict, EveryWayABuildIsJudged) {
    for (const VerdictCase& c : kTwoDigitCases) expectVerdict(c);
}

// A generation number added to the host-generation table must not be shadowed by one
// before it (a one-digit 1 would swallow 10 to 12) nor read in the wrong layout. Both
// FWP 7.0 ranges carry 7: a tag saying 7 reads as the later range, the first of them.
TEST(ReadGeneration, EveryNumberATagCanCarryReadsAsItsOwnGeneration) {
    for (int index = 0; index < kGenerationLabelCount; ++index) {
        const std::string number = kHostGenerations[index].generationNumber;
        if (number.empty()) continue;
        SCOPED_TRACE(kHostGenerations[index].label);
        const GenerationReading reading = readGeneration(tagOf("ver " + number + ".1.7"));
        EXPECT_EQ(index == kGenerationFwp70Earlier ? kGenerationFwp70Later : index, reading.generationIndex);
        EXPECT_EQ(number.size() == 2, reading.twoDigit);
        EXPECT_EQ(kHostGenerations[reading.generationIndex].sizeRow, reading.sizeRow.value_or(kNoSizeRow));
    }
}

TEST(PrintableTag, ShowsControlAndHighBytesAsQuestionMarks) {
    // The bytes behind the NUL reach the tag, and the console sees none of them.
    const VersionTag cutShort = tagOf("ver 8.1.7\0\x1b["s);
    ASSERT_EQ('\x1b', cutShort.text[10]);
    EXPECT_EQ("ver 8.1.7", printableTag(cutShort));
    EXPECT_EQ("ver ?[2J?.7", printableTag(tagOf("ver \x1b[2J\x7f.7")));
    EXPECT_EQ("ver 8.1.7???", printableTag(tagOf("ver 8.1.7\r\n\xff")));
}

}  // namespace
}  // namespace vud
