// Whole verification runs over installations held in memory: the run the program
// makes, without a disk. What only a disk can show (reading, sizing, refusing what is
// no file) is the end-to-end tests' part.
#include "verify/verification.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "probe/memory_installation.h"
#include "support/expected_summary.h"
#include "support/flush_recorder.h"
#include "support/scratch_folder.h"

namespace vud {
namespace {

using namespace std::string_literals;
using testing::applicationBytes;
using testing::kNewerNotice;
using testing::kSummaryTitle;
using testing::mixedWarning;

int positionOf(const char* fileName) {
    for (int position = 0; position < kApplicationCount; ++position)
        if (std::strcmp(kApplicationCatalogue[position].fileName, fileName) == 0) return position;
    throw std::logic_error(std::string("no application file ") + fileName);
}

class VerificationRun : public ::testing::Test {
protected:
    // The application file `fileName` is `size` bytes of filler with `tag` at `offset`.
    void writeApplication(const char* fileName, std::size_t size, std::string_view tag, std::size_t offset = 64) {
        installation.put(positionOf(fileName), applicationBytes(size, tag, offset));
    }

    std::string run() {
        std::ostringstream out;
        runVerification(installation, out);
        return out.str();
    }

    MemoryInstallation installation;
};

TEST_F(VerificationRun, NoApplicationFilesGivesTheSummaryAlone) {
    EXPECT_EQ(std::string(kSummaryTitle) +
                  "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "41 Applications NOT FOUND\n",
              run());
}

TEST_F(VerificationRun, OneCorrectBuildGetsItsFourLineBlock) {
    // vud_mcp.ma, release F.1.3, expects 59553 bytes for FWP 8.0.
    writeApplication("vud_mcp.ma", 59553, "ver 8.1.3\0"s);
    EXPECT_EQ("Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
              "   STATUS: Application Valid for: FWP 8.0.x.x\n"
              "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
              "\n" +
                  std::string(kSummaryTitle) +
                  "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "40 Applications NOT FOUND\n",
              run());
}

// On a share where each file is slow to read, the user sees every block as soon as its
// application is judged: one flush right behind each block, none inside one, none for
// an application without a block, and the summary left to the program's flush at the end.
TEST_F(VerificationRun, EachBlockIsFlushedAsSoonAsItsApplicationIsJudged) {
    writeApplication("vud_mcp.ma", 59553, "ver 8.1.3\0"s);
    installation.put(positionOf("vud_bsg.ma"), std::string(4000, 'x'));  // no tag: no block
    writeApplication("vud_cbp.ma", 106232, "ver 8.1.3\0"s);  // expects 106231 bytes
    const std::string firstBlock =
        "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
        "   STATUS: Application Valid for: FWP 8.0.x.x\n"
        "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
        "\n";
    const std::string secondBlock =
        "Application: vud_cbp.ma\tVersion: ver 8.1.3  Size: 106232\n"
        "   STATUS: Application Valid for: FWP 8.0.x.x\n"
        "    vud_cbp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (106232 vs 106231 correct)\n"
        "\n";

    testing::FlushRecorder recorder;
    std::ostream out(&recorder);
    runVerification(installation, out);
    EXPECT_EQ(firstBlock + secondBlock + kSummaryTitle +
                  "Mismatched File Sizes Found:    \t1\n"
                  "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "38 Applications NOT FOUND\n",
              recorder.view());
    const std::vector<std::size_t> blockEnds = {firstBlock.size(), firstBlock.size() + secondBlock.size()};
    EXPECT_EQ(blockEnds, recorder.flushedAt);
}

struct GenerationInstall {
    const char* what;
    int sizeRow;
    const char* number;
    const char* host;
    const char* verdict;
};

// The earlier FWP 7.0 range counts as one generation of its own: no mixed-generation
// warning for it either.
TEST_F(VerificationRun, CompleteCorrectInstallationForOneGeneration) {
    const GenerationInstall installs[] = {
        {"FWP 8.0", 4, "8", "FWP 8.0.x.x", testing::kCorrect},
        {"FWP 11.0", 7, "11", "FWP 11.0.x.x", testing::kCorrect},
        {"FWP 7.0.0.0 to 7.00.00.16", 2, "7", "FWP 7.0.x.x (see below)", testing::kCorrectEarlier7},
    };
    for (const GenerationInstall& install : installs) {
        SCOPED_TRACE(install.what);
        std::string expected;
        for (int i = 0; i < kApplicationCount; ++i) {
            const ApplicationEntry& entry = kApplicationCatalogue[i];
            const std::string tag = std::string("ver ") + install.number + (entry.releaseCode + 1);
            const std::int32_t size = kExpectedSizeTable[install.sizeRow][i];
            writeApplication(entry.fileName, static_cast<std::size_t>(size), tag + '\0', 200);
            expected += testing::applicationBlock(entry.fileName, tag, size, install.host, install.verdict);
        }
        expected += std::string(kSummaryTitle) +
                    "All (41) Applications were Located and All are CORRECT PRODUCTION VERSION\n";
        EXPECT_EQ(expected, run());
    }
}

TEST_F(VerificationRun, Generation7SizesTellTheTwoRangesApart) {
    // Positions 0 to 2: vud_mcp.ma F.1.3 (56476 / 56203), vud_bsg.ma F.0.6 (124375 /
    // 124102), vud_cbp.ma F.1.3 (101718 / 101445).
    writeApplication("vud_mcp.ma", 56476, "ver 7.1.3\0"s);
    writeApplication("vud_bsg.ma", 124102, "ver 7.0.6\0"s);
    writeApplication("vud_cbp.ma", 101445 + 1, "ver 7.1.3\0"s);
    EXPECT_EQ("Application: vud_mcp.ma\tVersion: ver 7.1.3  Size: 56476\n"
              "   STATUS: Application Valid for: FWP 7.0.x.x (see below)\n"
              "    vud_mcp.ma is  CORRECT PRODUCTION VERSION for FWP 7.00.00.19 & later\n"
              "           w/ Correct Size Match\n"
              "\n"
              "Application: vud_bsg.ma\tVersion: ver 7.0.6  Size: 124102\n"
              "   STATUS: Application Valid for: FWP 7.0.x.x (see below)\n"
              "    vud_bsg.ma is  CORRECT PRODUCTION VERSION FWP 7.00.00.16 & before \n"
              "          w/ Correct Size Match\n"
              "\n"
              "Application: vud_cbp.ma\tVersion: ver 7.1.3  Size: 101446\n"
              "   STATUS: Application Valid for: FWP 7.0.x.x (see below)\n"
              "    vud_cbp.ma is  CORRECT PRODUCTION VERSION FWP 7.00.00.19  or Previous FWP 7.0.x.x version\n"
              "        w/ InCorrect Size Match (101446 vs 101718 correct)\n"
              "\n" +
                  mixedWarning({0, 3, 1, 1, 0, 0, 0, 0, 0, 0}) + kSummaryTitle +
                  "Mismatched File Sizes Found:    \t1\n"
                  "2 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "38 Applications NOT FOUND\n",
              run());
}

TEST_F(VerificationRun, PreReleasesOfGenerations11And12AndANewerBuild) {
    // vud_hr.ma F.1.0 at position 5, vud_gcp.ma F.1.9 at 6, vud_bcw.ma F.1.8 at 7.
    writeApplication("vud_hr.ma", 1000, "ver 11.1.0t\0"s);
    writeApplication("vud_gcp.ma", 1000, "ver 12.1.9t\0"s);
    writeApplication("vud_bcw.ma", 1000, "ver 12.2.0\0"s);
    EXPECT_EQ("Application: vud_hr.ma\tVersion: ver 11.1.0t  Size: 1000\n"
              "   STATUS: Application Valid for: FWP 11.0.x.x\n"
              "    vud_hr.ma is Test Rel ver 11.1.0t - Initial ver 11 Pre RELEASE  - Final Ver will be F.1.0\n"
              "\n"
              "Application: vud_gcp.ma\tVersion: ver 12.1.9t  Size: 1000\n"
              "   STATUS: Application Valid for: FWP 12.0.x.x\n"
              "    vud_gcp.ma is Test Rel ver 12.1.9t - Initial ver 12 Pre RELEASE  - Final Ver will be F.1.9\n"
              "\n"
              "Application: vud_bcw.ma\tVersion: ver 12.2.0  Size: 1000\n"
              "   STATUS: Application Valid for: FWP 12.0.x.x\n"
              "    vud_bcw.ma is Newer ver ver 12.2.0 - Known Release in this PGM is F.1.8\n"
              "\n" +
                  mixedWarning({0, 0, 0, 0, 0, 0, 0, 0, 1, 2}) + kSummaryTitle +
                  "Version 12 Pre Release Test Applications Found:     \t2\n"
                  "Newer Applications Found:    \t1\n"
                  "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "38 Applications NOT FOUND\n" +
                  kNewerNotice,
              run());
}

TEST_F(VerificationRun, FilesWithoutATagAreCountedNowhere) {
    // vud_mcp.ma correct, vud_bsg.ma holds near misses only (capitals, "version", "ver"
    // followed by a tab or an underscore), vud_cbp.ma begins with its tag.
    writeApplication("vud_mcp.ma", 65685, "ver 11.1.3\0"s);
    writeApplication("vud_bsg.ma", 140097, "Ver 11.0.6\0VER 11.0.6\0version 11.0.6 ver\tver_"s);
    writeApplication("vud_cbp.ma", 118734, "ver 11.1.3\0"s, 0);
    EXPECT_EQ("Application: vud_mcp.ma\tVersion: ver 11.1.3  Size: 65685\n"
              "   STATUS: Application Valid for: FWP 11.0.x.x\n"
              "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
              "\n"
              "Application: vud_cbp.ma\tVersion: ver 11.1.3  Size: 118734\n"
              "   STATUS: Application Valid for: FWP 11.0.x.x\n"
              "    vud_cbp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
              "\n" +
                  std::string(kSummaryTitle) +
                  "2 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "38 Applications NOT FOUND\n",
              run());
}

TEST_F(VerificationRun, UnrecognisedGenerationNeverBorrowsAnEarlierSizeRow) {
    // vud_mcp.ma is a correct FWP 7.0 build; vud_bsg.ma's tag names no known generation
    // although its size is that of its own FWP 7.0 build.
    writeApplication("vud_mcp.ma", 56476, "ver 7.1.3\0"s);
    writeApplication("vud_bsg.ma", 124375, "ver 5.0.6\0"s);
    EXPECT_EQ("Application: vud_mcp.ma\tVersion: ver 7.1.3  Size: 56476\n"
              "   STATUS: Application Valid for: FWP 7.0.x.x (see below)\n"
              "    vud_mcp.ma is  CORRECT PRODUCTION VERSION for FWP 7.00.00.19 & later\n"
              "           w/ Correct Size Match\n"
              "\n"
              "Application: vud_bsg.ma\tVersion: ver 5.0.6  Size: 124375\n"
              "   STATUS: Application Valid for: NA\n"
              "    vud_bsg.ma is unrecognized Rel ver ver 5.0.6 - Known Release in this PGM is F.0.6\n"
              "\n" +
                  std::string(kSummaryTitle) +
                  "Unrecognized Applications Found:     \t1\n"
                  "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "39 Applications NOT FOUND\n",
              run());
}

TEST_F(VerificationRun, ControlAndHighBytesInATagReachTheConsoleAsQuestionMarks) {
    // Terminal sequences where the release goes (vud_mcp.ma is F.1.3; vud_cbp.ma too).
    writeApplication("vud_mcp.ma", 500, "ver 8.\x1b[2J\x07\xc3\0"s);
    // Line ends, tab, DEL and bytes above 0x7F fill the tag's last six bytes (F.0.6).
    writeApplication("vud_bsg.ma", 500, "ver 8.\xff\r\n\t\x7f\x80\0"s);
    // A window-title sequence where the generation goes (F.1.3).
    writeApplication("vud_cbp.ma", 500, "ver \x1b]0;pwned\x07\0"s);
    // A matching release followed by a byte above 0x7F (F.1.1).
    writeApplication("vud_abl.ma", 500, "ver 8.1.1\x9b\0"s);
    EXPECT_EQ("Application: vud_mcp.ma\tVersion: ver 8.?[2J??  Size: 500\n"
              "   STATUS: Application Valid for: FWP 8.0.x.x\n"
              "    vud_mcp.ma is Older ver ver 8.?[2J?? - WRONG VERSION  - Release is F.1.3\n"
              "\n"
              "Application: vud_bsg.ma\tVersion: ver 8.??????  Size: 500\n"
              "   STATUS: Application Valid for: FWP 8.0.x.x\n"
              "    vud_bsg.ma is Older ver ver 8.?????? - WRONG VERSION  - Release is F.0.6\n"
              "\n"
              "Application: vud_cbp.ma\tVersion: ver ?]0;pwne  Size: 500\n"
              "   STATUS: Application Valid for: NA\n"
              "    vud_cbp.ma is Older ver ver ?]0;pwne - WRONG VERSION  - Release is F.1.3\n"
              "\n"
              "Application: vud_abl.ma\tVersion: ver 8.1.1?  Size: 500\n"
              "   STATUS: Application Valid for: FWP 8.0.x.x\n"
              "    vud_abl.ma is unrecognized Rel ver ver 8.1.1? - Known Release in this PGM is F.1.1\n"
              "\n" +
                  std::string(kSummaryTitle) +
                  "Unrecognized Applications Found:     \t1\n"
                  "Outdated Applications Found: \t3\n"
                  "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                  "37 Applications NOT FOUND\n",
              run());
}

}  // namespace
}  // namespace vud
