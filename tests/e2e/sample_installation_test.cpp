// Sample installations written by vudsample, checked by the real vudcheck as a user
// would check them: the sample's folder is the working folder of the run.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "support/platform_text.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"
#include "support/expected_summary.h"

namespace vud {
namespace {

using namespace std::string_literals;
using testing::applicationBlock;
using testing::kCorrect;
using testing::kCorrectEarlier7;
using testing::kCorrectLater7;
using testing::kNewerNotice;
using testing::kSummaryTitle;
using testing::mixedWarning;
using testing::readFile;
using testing::runChecker;
using testing::runProgram;
using testing::ScratchFolder;
using testing::withPlatformLineEnds;

constexpr char kUsage[] =
    "usage: vudsample FOLDER [HOST] [--correct-only] [--deep-tags]\n"
    "  HOST is one of 3.1 7.0 7.0-early 7.1 8.0 9.0 10.0 11.0 (default 11.0)\n";

constexpr char kAllCorrect[] =
    "All (41) Applications were Located and All are CORRECT PRODUCTION VERSION\n";

// Writes a sample with the given arguments; the maker says nothing when it succeeds.
void makeSample(const std::vector<std::string>& arguments) {
    const auto result = runProgram(VUDSAMPLE_EXECUTABLE, arguments, 60);
    ASSERT_EQ(0, result.status) << result.err;
    ASSERT_EQ("", result.err);
    ASSERT_EQ("", result.out);
}

// Runs the checker in the working folder; every run that writes its report ends with 0.
std::string checkerReport() {
    const auto result = runChecker({}, 60);
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.err);
    return result.out;
}

// The report from the summary on: the blocks end with an empty line each, and the
// summary opens with either the mixed-generation warning or its title.
std::string summaryOf(const std::string& report) {
    const std::string lineEnd = withPlatformLineEnds("\n");
    std::size_t start = report.find(lineEnd + "WARNING Mixed version");
    if (start == std::string::npos) start = report.find(lineEnd + withPlatformLineEnds(kSummaryTitle));
    return start == std::string::npos ? "(no summary)" : report.substr(start + lineEnd.size());
}

// A host generation as vudsample names it, and what the checker says of a correct
// build for it: the generation number in the tag, the size row, the status line's
// host generation and the verdict.
struct Host {
    const char* name;
    const char* generationNumber;
    int sizeRow;
    const char* status;
    const char* correctVerdict;
};

const Host kHosts[] = {
    {"3.1", "2", 0, "FWP 3.1.x.x or FWP 3.2.x.x", kCorrect},
    {"7.0", "7", 1, "FWP 7.0.x.x (see below)", kCorrectLater7},
    {"7.0-early", "7", 2, "FWP 7.0.x.x (see below)", kCorrectEarlier7},
    {"7.1", "6", 3, "FWP 7.1.x.x or FWP 7.2.x.x or FWP 7.3.x.x", kCorrect},
    {"8.0", "8", 4, "FWP 8.0.x.x", kCorrect},
    {"9.0", "9", 5, "FWP 9.0.x.x", kCorrect},
    {"10.0", "10", 6, "FWP 10.0.x.x", kCorrect},
    {"11.0", "11", 7, "FWP 11.0.x.x", kCorrect},
};

// The four-line block of a correct build at catalogue `position`.
std::string correctBlock(const Host& host, int position) {
    const ApplicationEntry& entry = kApplicationCatalogue[position];
    // The tag carries the release code with the generation number in place of its F.
    return applicationBlock(entry.fileName, "ver "s + host.generationNumber + (entry.releaseCode + 1),
                            kExpectedSizeTable[host.sizeRow][position], host.status, host.correctVerdict);
}

TEST(SampleInstallation, CorrectOnlySampleIsAllCorrectForEveryHost) {
    for (const Host& host : kHosts) {
        SCOPED_TRACE(host.name);
        ScratchFolder folder;
        // A folder that does not exist yet, two levels deep.
        ASSERT_NO_FATAL_FAILURE(makeSample({"site/fwp", host.name, "--correct-only"}));
        std::filesystem::current_path(folder.path() / "site" / "fwp");

        std::string expected;
        for (int position = 0; position < kApplicationCount; ++position)
            expected += correctBlock(host, position);
        expected += std::string(kSummaryTitle) + kAllCorrect;
        EXPECT_EQ(withPlatformLineEnds(expected), checkerReport());
    }
}

TEST(SampleInstallation, OptionMayComeFirst) {
    ScratchFolder folder;
    ASSERT_NO_FATAL_FAILURE(makeSample({"--correct-only", ".", "8.0"}));
    EXPECT_EQ(withPlatformLineEnds(std::string(kSummaryTitle) + kAllCorrect),
              summaryOf(checkerReport()));
}

// The findings the default sample plants, for FWP 11.0, each worked out from the
// catalogue: vud_cbp.ma (F.1.3, 118734 bytes) one byte too long, vud_spb.ma (F.1.0)
// a beta, vud_bge.ma (F.1.6) release 1.5, vud_prg.ma (F.1.4) release 1.5, and
// vud_pac.ma missing.
const std::map<int, std::string> kFindingBlocks = {
    {2,
     "Application: vud_cbp.ma\tVersion: ver 11.1.3  Size: 118735\n"
     "   STATUS: Application Valid for: FWP 11.0.x.x\n"
     "    vud_cbp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (118735 vs 118734 correct)\n"
     "\n"},
    {9,
     "Application: vud_spb.ma\tVersion: ver 11.b.0  Size: 191900\n"
     "   STATUS: Application Valid for: FWP 11.0.x.x\n"
     "    vud_spb.ma is Beta ver 11.b.0 - NOT FOR PRODUCTION  - Release is F.1.0\n"
     "\n"},
    {15,
     "Application: vud_bge.ma\tVersion: ver 11.1.5  Size: 140025\n"
     "   STATUS: Application Valid for: FWP 11.0.x.x\n"
     "    vud_bge.ma is Older ver ver 11.1.5 - WRONG VERSION  - Release is F.1.6\n"
     "\n"},
    {24,
     "Application: vud_prg.ma\tVersion: ver 11.1.5  Size: 153480\n"
     "   STATUS: Application Valid for: FWP 11.0.x.x\n"
     "    vud_prg.ma is Newer ver ver 11.1.5 - Known Release in this PGM is F.1.4\n"
     "\n"},
    {33, ""},
};

// One of each finding, 36 correct, one missing, and the notice that a newer build
// calls for a newer checker.
const std::string kFindingsSummary = std::string(kSummaryTitle) +
                                     "Beta Applications Found:     \t1\n"
                                     "Outdated Applications Found: \t1\n"
                                     "Newer Applications Found:    \t1\n"
                                     "Mismatched File Sizes Found:    \t1\n"
                                     "36 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                     "1 Applications NOT FOUND\n" +
                                     kNewerNotice;

TEST(SampleInstallation, DefaultSampleForFwp110ShowsEachMainFinding) {
    ScratchFolder folder;
    // Written over a correct sample: the findings must replace its files, and the
    // missing application's file must go.
    ASSERT_NO_FATAL_FAILURE(makeSample({".", "11.0", "--correct-only"}));
    ASSERT_NO_FATAL_FAILURE(makeSample({"."}));

    const Host& fwp110 = kHosts[7];
    ASSERT_STREQ("11.0", fwp110.name);
    std::string expected;
    for (int position = 0; position < kApplicationCount; ++position) {
        const auto finding = kFindingBlocks.find(position);
        expected += finding != kFindingBlocks.end() ? finding->second : correctBlock(fwp110, position);
    }
    EXPECT_EQ(withPlatformLineEnds(expected + kFindingsSummary), checkerReport());
    EXPECT_FALSE(std::filesystem::exists("vud_pac.ma"));
}

TEST(SampleInstallation, DeepTagsChangeNothingInTheReport) {
    // The checker reads each file only as far as its tag: a tag tens of KB in must be
    // found all the same.
    ScratchFolder folder;
    ASSERT_NO_FATAL_FAILURE(makeSample({".", "11.0", "--deep-tags"}));
    const Host& fwp110 = kHosts[7];
    std::string expected;
    for (int position = 0; position < kApplicationCount; ++position) {
        const auto finding = kFindingBlocks.find(position);
        expected += finding != kFindingBlocks.end() ? finding->second : correctBlock(fwp110, position);
    }
    EXPECT_EQ(withPlatformLineEnds(expected + kFindingsSummary), checkerReport());
    for (const ApplicationEntry& entry : kApplicationCatalogue) {
        if (!std::filesystem::exists(entry.fileName)) continue;
        SCOPED_TRACE(entry.fileName);
        const std::string bytes = readFile(entry.fileName);
        const std::size_t at = bytes.find("ver ");
        // A quarter of the smallest build, vud_bcw.ma, at the least.
        EXPECT_GE(at, 39976u / 4);
        EXPECT_LT(at, bytes.size() - 12);
        EXPECT_EQ(std::string::npos, bytes.find("ver ", at + 1));
    }
}

TEST(SampleInstallation, DefaultSampleGivesTheSameFindingsForOtherHosts) {
    struct Case {
        const char* host;
        std::string summary;
    };
    const Case cases[] = {
        {"3.1", kFindingsSummary},
        {"7.0", kFindingsSummary},
        {"8.0", kFindingsSummary},
        {"10.0", kFindingsSummary},
        // The beta, older and newer builds carry generation 7 but match no size of the
        // earlier range, so they count for the later one, next to 36 earlier builds:
        // two FWP 7.0 ranges, a mix.
        {"7.0-early", mixedWarning({0, 40, 0, 36, 0, 0, 0, 0, 0, 0}) + kFindingsSummary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        ScratchFolder folder;
        ASSERT_NO_FATAL_FAILURE(makeSample({".", c.host}));
        EXPECT_EQ(withPlatformLineEnds(c.summary), summaryOf(checkerReport()));
    }
}

TEST(SampleInstallation, SampleFilesAreBinaryWithTheirTagNearTheStart) {
    ScratchFolder folder;
    ASSERT_NO_FATAL_FAILURE(makeSample({".", "9.0", "--correct-only"}));
    for (const ApplicationEntry& entry : kApplicationCatalogue) {
        SCOPED_TRACE(entry.fileName);
        const std::string bytes = readFile(entry.fileName);
        // Bytes a reader in text mode would change or stop at.
        EXPECT_NE(std::string::npos, bytes.find("\r\n"));
        EXPECT_NE(std::string::npos, bytes.find('\x1a'));
        EXPECT_NE(std::string::npos, bytes.find('\0'));
        const std::string tag = "ver 9"s + (entry.releaseCode + 1) + '\0';
        const std::size_t at = bytes.find("ver ");
        EXPECT_LT(at, 1024u);
        EXPECT_EQ(tag, bytes.substr(at, tag.size()));
        EXPECT_EQ(std::string::npos, bytes.find("ver ", at + 1));
    }
}

TEST(SampleInstallation, ListingIsTheSameWithOrWithoutApplicationFiles) {
    ScratchFolder folder;
    const auto bare = runChecker({"?"});
    ASSERT_NO_FATAL_FAILURE(makeSample({"."}));
    const auto installed = runChecker({"?"});
    EXPECT_EQ(withPlatformLineEnds(readFile(VUD_EXPECTED_LISTING)), bare.out);
    EXPECT_EQ(bare.out, installed.out);
    EXPECT_EQ(0, installed.status);
}

TEST(SampleMaker, RefusesWhatItCannotDo) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        int status;
        std::string err;  // whole, or its beginning when it ends in a reason from the system
    };
    const Case cases[] = {
        {"no argument", {}, 2, "vudsample: no folder given\n"s + kUsage},
        {"the option alone", {"--correct-only"}, 2, "vudsample: no folder given\n"s + kUsage},
        {"empty folder name", {""}, 2, "vudsample: the folder name is empty\n"s + kUsage},
        {"a host the checker has no sizes for", {"out", "12.0"}, 2,
         "vudsample: unknown host 12.0\n"s + kUsage},
        {"a host without its minor number", {"out", "11"}, 2, "vudsample: unknown host 11\n"s + kUsage},
        {"a third word", {"out", "8.0", "more"}, 2, "vudsample: too many arguments\n"s + kUsage},
        {"an unknown option", {"out", "--all"}, 2, "vudsample: unknown option --all\n"s + kUsage},
        {"a file where the folder should be", {"taken"}, 1, "vudsample: cannot make the folder taken: "},
        {"a folder where an application file should be", {"blocked"}, 1, "vudsample: cannot write "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        testing::writeFile("taken", "not a folder");
        std::filesystem::create_directories(std::filesystem::path("blocked") / "vud_mcp.ma");

        const auto result = runProgram(VUDSAMPLE_EXECUTABLE, c.arguments);
        EXPECT_EQ(c.status, result.status);
        EXPECT_EQ("", result.out);
        if (c.status == 2)
            EXPECT_EQ(withPlatformLineEnds(c.err), result.err);
        else
            EXPECT_EQ(0u, result.err.rfind(withPlatformLineEnds(c.err), 0)) << result.err;
        // A refused call writes nothing.
        EXPECT_FALSE(std::filesystem::exists("out"));
    }
}

}  // namespace
}  // namespace vud
