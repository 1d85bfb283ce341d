// Saved reports read back: every way a report is saved on the users' machines, and
// everything that is not a report refused with its line and what was expected there.
#include "fleet/input/report_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "support/expected_summary.h"

namespace vud::fleet {
namespace {

using namespace std::string_literals;

// A correct build, then a beta of the next application, of FWP 8.0.
const std::string kReport =
    "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
    "   STATUS: Application Valid for: FWP 8.0.x.x\n"
    "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
    "\n"
    "Application: vud_bsg.ma\tVersion: ver 8.b.6  Size: 1000\n"
    "   STATUS: Application Valid for: FWP 8.0.x.x\n"
    "    vud_bsg.ma is Beta ver ver 8.b.6 - NOT FOR PRODUCTION  - Release is F.0.6\n"
    "\n"
    "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
    "Beta Applications Found:     \t1\n"
    "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
    "39 Applications NOT FOUND\n";

std::string withCrLf(const std::string& text) {
    std::string crlf;
    for (const char c : text) crlf += c == '\n' ? "\r\n"s : std::string(1, c);
    return crlf;
}

// What Windows PowerShell 5.1's ">" writes: a byte-order mark, then UTF-16LE.
std::string asUtf16le(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

void expectTheTwoBlocks(const InstallationRecord& record) {
    ASSERT_EQ(Status::Findings, record.status) << record.error;
    EXPECT_EQ(Source::Report, record.source);
    ASSERT_EQ(41u, record.applications.size());
    const ApplicationRecord& correct = record.applications[0];
    EXPECT_EQ(ApplicationState::Block, correct.state);
    EXPECT_EQ("Member Copy Along Path", correct.name);
    EXPECT_EQ("vud_mcp.ma", correct.file);
    EXPECT_EQ("ver 8.1.3", correct.tag);
    EXPECT_EQ(59553, correct.size);
    EXPECT_EQ(8, correct.generation);
    EXPECT_EQ("FWP 8.0.x.x", correct.host);
    EXPECT_EQ(VerdictKind::Correct, correct.verdict);
    EXPECT_EQ("vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match", correct.text);
    const ApplicationRecord& beta = record.applications[1];
    EXPECT_EQ(VerdictKind::Beta, beta.verdict);
    EXPECT_EQ("vud_bsg.ma is Beta ver ver 8.b.6 - NOT FOR PRODUCTION  - Release is F.0.6", beta.text);
    for (int position = 2; position < 41; ++position)
        EXPECT_EQ(ApplicationState::Absent, record.applications[position].state);
    const std::array<int, kVerdictKindCount> counts{1, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(counts, record.counts);
    EXPECT_EQ(39, record.notFound);
    EXPECT_FALSE(record.mixed);
    EXPECT_FALSE(record.checkerOutOfDate);
}

TEST(ReportParser, ReadsAReportAsEveryShellSavesIt) {
    const struct {
        const char* saved;
        std::string bytes;
    } cases[] = {
        {"a Unix shell (LF)", kReport},
        {"cmd.exe (CR LF)", withCrLf(kReport)},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + withCrLf(kReport)},
        {"Windows PowerShell 5.1 (UTF-16LE)", asUtf16le(withCrLf(kReport))},
        {"an editor that dropped the last line's end", kReport.substr(0, kReport.size() - 1)},
        {"a tool that added empty lines after it", kReport + "\n\n"},
    };
    for (const auto& saved : cases) {
        SCOPED_TRACE(saved.saved);
        expectTheTwoBlocks(parseReport(saved.bytes, "ws042.txt"));
    }
}

TEST(ReportParser, TwoLineVerdictAndTheWarningsOfTheSummary) {
    // An FWP 7.0 build of the earlier range's size (56,203 bytes) beside a newer FWP 11 build.
    const std::string report =
        "Application: vud_mcp.ma\tVersion: ver 7.1.3  Size: 56203\n"
        "   STATUS: Application Valid for: FWP 7.0.x.x (see below)\n"
        "    vud_mcp.ma is  CORRECT PRODUCTION VERSION FWP 7.00.00.16 & before \n"
        "          w/ Correct Size Match\n"
        "\n"
        "Application: vud_bsg.ma\tVersion: ver 11.2.6  Size: 1000\n"
        "   STATUS: Application Valid for: FWP 11.0.x.x\n"
        "    vud_bsg.ma is Newer ver ver 11.2.6 - Known Release in this PGM is F.0.6\n"
        "\n"
        "WARNING Mixed version Applications found - FIX THIS SITUATION\n"
        "0 Applications found for FWP 3.1.x.x or FWP 3.2.x.x\n"
        "1 Applications found for FWP 7.00.00.19 & later\n"
        "0 Applications found for FWP 7.00.00.19 & later\n"
        "1 Applications found for FWP 7.0.0.0 - 7.00.00.16\n"
        "0 Applications found for FWP 7.1.x.x or FWP 7.2.x.x or FWP 7.3.x.x\n"
        "0 Applications found for FWP 8.0.x.x\n"
        "0 Applications found for FWP 9.0.x.x\n"
        "0 Applications found for FWP 10.0.x.x\n"
        "1 Applications found for FWP 11.0.x.x\n"
        "0 Applications found for FWP 12.0.x.x\n"
        "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
        "Newer Applications Found:    \t1\n"
        "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n" +
        std::string(testing::kNewerNotice);
    const InstallationRecord record = parseReport(report, "ws");
    ASSERT_EQ(Status::Findings, record.status) << record.error;
    EXPECT_EQ("vud_mcp.ma is  CORRECT PRODUCTION VERSION FWP 7.00.00.16 & before \n"
              "          w/ Correct Size Match",
              record.applications[0].text);
    EXPECT_EQ("FWP 7.0.x.x (see below)", record.applications[0].host);
    EXPECT_EQ(7, record.applications[0].generation);
    EXPECT_EQ(VerdictKind::Newer, record.applications[1].verdict);
    EXPECT_TRUE(record.mixed);
    EXPECT_TRUE(record.checkerOutOfDate);
    EXPECT_EQ(0, record.notFound);
}

TEST(ReportParser, RefusesWhatIsNoReportWithTheLineAndWhatWasExpected) {
    const std::string summaryTitle = "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:";
    const std::string blockOrSummary =
        "expected an application block (\"Application: ...\") or the run summary (\"" + summaryTitle + "\")";
    const std::string firstBlock = kReport.substr(0, kReport.find("Application: vud_bsg"));
    std::string reordered = kReport;
    reordered.replace(0, firstBlock.size(), "");
    reordered.insert(reordered.find("Verification"), firstBlock);
    std::string wrongCount = kReport;
    wrongCount.replace(wrongCount.find("1 of (41)"), 1, "2");
    std::string tooManyNotFound = kReport;
    tooManyNotFound.replace(tooManyNotFound.find("39 Applications"), 2, "40");
    std::string wrongStatus = kReport;
    wrongStatus.replace(wrongStatus.find("FWP 8.0.x.x"), 11, "FWP 9.0.x.x");
    std::string cutVerdict = kReport;
    cutVerdict.erase(cutVerdict.find("Match\n"), 5);

    const struct {
        const char* what;
        std::string bytes;
        std::string error;
    } cases[] = {
        {"a listing",
         "Vudmark for FrameWorks Plus version:  FWP 3.1.x.x or FWP 3.2.x.x\n"
         "Vudmark:  Application Listing    Version: 2.3.0 dated: Mar 15, 2013\n",
         "line 1: " + blockOrSummary + ", found a listing of the applications (\"vudcheck ?\"), not a report"},
        {"other text", "Hello\r\n", "line 1: " + blockOrSummary + ", found \"Hello\""},
        {"an empty file", "", "line 1: " + blockOrSummary + ", found the end of the report"},
        {"a report cut in its first block", kReport.substr(0, kReport.find("    vud_mcp")),
         "line 3: expected \"    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\", found the end of the "
         "report"},
        {"a report cut before the end of a block", kReport.substr(0, kReport.find("\nApplication: vud_bsg")),
         "line 4: expected the empty line that ends the block of vud_mcp.ma, found the end of the report"},
        {"a report cut in its summary", kReport.substr(0, kReport.find("Beta Applications")),
         "line 10: expected \"Beta Applications Found:     \\t1\", as the blocks above give, found the end of the report"},
        {"blocks out of catalogue order", reordered,
         "line 5: expected \"Application: FILE<tab>Version: TAG  Size: BYTES\" for an application after the last one, "
         "found \"Application: vud_mcp.ma\\tVersion: ver 8.1.3  Size: 59553\""},
        {"a summary that counts another number of correct builds", wrongCount,
         "line 11: expected \"1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\", as the blocks "
         "above give, found \"2 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\""},
        {"more applications not found than there are without a block", tooManyNotFound,
         "line 12: expected at most 39 applications not found beside 2 blocks, found \"40 Applications NOT FOUND\""},
        {"a status line for another generation", wrongStatus,
         "line 2: expected \"   STATUS: Application Valid for: FWP 8.0.x.x\", found \"   STATUS: Application Valid for: "
         "FWP 9.0.x.x\""},
        {"a verdict the checker does not give", cutVerdict,
         "line 3: expected \"    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\", found \"    vud_mcp.ma "
         "is  CORRECT PRODUCTION VERSION w/ Correct Size \""},
        {"text after the summary", kReport + "All done\n", "line 13: expected the end of the report, found \"All done\""},
        {"UTF-16 of the other byte order", "\xFE\xFF\0V"s, "line 1: expected text in UTF-8 or UTF-16LE, not UTF-16BE"},
        {"a size that is no number", "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 5x\n",
         "line 1: expected the size in bytes after \"Size: \", found \"5x\""},
        {"a tag longer than a tag", "Application: vud_mcp.ma\tVersion: ver 8.1.3 and more  Size: 5\n",
         "line 1: expected a version tag of at most 12 printable ASCII characters beginning \"ver \", found \"ver 8.1.3 "
         "and more\""},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.what);
        const InstallationRecord record = parseReport(refused.bytes, "ws042.txt");
        EXPECT_EQ(Status::Error, record.status);
        EXPECT_EQ(refused.error, record.error);
        EXPECT_TRUE(record.applications.empty());
    }
}

// One block of vud_mcp.ma (F.1.3; 59553 bytes for FWP 8.0, 65685 for FWP 11.0) or of
// vud_bsg.ma (F.0.6; 128492 bytes for FWP 8.0), then the summary that counts it.
std::string oneBlockReport(const std::string& block, const std::string& findings, int correct) {
    return block + "\n" + testing::kSummaryTitle + findings + std::to_string(correct) +
           " of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
           "40 Applications NOT FOUND\n";
}

TEST(ReportParser, RefusesABlockWhoseLinesTheCheckerWouldNotPrintForItsTagAndSize) {
    const std::string correctMcp = "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match";
    const std::string megabyteVerdict = "    " + std::string(1 << 20, 'v');
    const struct {
        const char* what;
        std::string block;
        std::string findings;
        int correct;
        std::string error;
    } cases[] = {
        {"a 1-byte file shown as a correct build",
         "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 1\n"
         "   STATUS: Application Valid for: FWP 8.0.x.x\n" + correctMcp + "\n", "", 1,
         "line 3: expected \"    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (1 vs 59553 "
         "correct)\", found \"" + correctMcp + "\""},
        {"a size edited by one byte under a correct size match",
         "Application: vud_mcp.ma\tVersion: ver 11.1.3  Size: 65684\n"
         "   STATUS: Application Valid for: FWP 11.0.x.x\n" + correctMcp + "\n", "", 1,
         "line 3: expected \"    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (65684 vs 65685 "
         "correct)\", found \"" + correctMcp + "\""},
        {"a beta verdict on a tag that is no beta",
         "Application: vud_bsg.ma\tVersion: ver 8.0.6  Size: 128492\n"
         "   STATUS: Application Valid for: FWP 8.0.x.x\n"
         "    vud_bsg.ma is Beta ver ver 8.0.6 - NOT FOR PRODUCTION  - Release is F.0.6\n",
         "Beta Applications Found:     \t1\n", 0,
         "line 3: expected \"    vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\", found \"    "
         "vud_bsg.ma is Beta ver ver 8.0.6 - NOT FOR PRODUCTION  - Release is F.0.6\""},
        {"a size mismatch that quotes another correct size",
         "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59554\n"
         "   STATUS: Application Valid for: FWP 8.0.x.x\n"
         "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (59554 vs 12345 correct)\n",
         "Mismatched File Sizes Found:    \t1\n", 0,
         "line 3: expected \"    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (59554 vs 59553 "
         "correct)\", found \"    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (59554 vs 12345 "
         "correct)\""},
        {"a size written with a leading zero",
         "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 059553\n"
         "   STATUS: Application Valid for: FWP 8.0.x.x\n" + correctMcp + "\n", "", 1,
         "line 1: expected the size in bytes after \"Size: \", found \"059553\""},
        {"a verdict line of a mebibyte",
         "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
         "   STATUS: Application Valid for: FWP 8.0.x.x\n" + megabyteVerdict + "\n", "", 1,
         "line 3: expected \"" + correctMcp + "\", found \"" + megabyteVerdict.substr(0, 160) + "\"..."},
    };
    for (const auto& edited : cases) {
        SCOPED_TRACE(edited.what);
        const InstallationRecord record =
            parseReport(oneBlockReport(edited.block, edited.findings, edited.correct), "ws042.txt");
        EXPECT_EQ(Status::Error, record.status);
        EXPECT_EQ(edited.error, record.error);
        EXPECT_TRUE(record.applications.empty());
    }
}

// The checker shows a tag's control and high bytes as "?", and nothing of what follows
// its NUL: a block stands for every tag it may have been printed from, and for no other.
TEST(ReportParser, ATagShownInPartStandsForEveryTagItMayHaveBeen) {
    const std::string mcp = "Application: vud_mcp.ma\tVersion: ";
    const std::string gen8 = "   STATUS: Application Valid for: FWP 8.0.x.x\n";
    const struct {
        const char* what;
        std::string block;
        std::string findings;
        bool accepted;
    } cases[] = {
        {"a minor release shown as \"?\" below the catalogue's (a control or high byte)",
         mcp + "ver 8.1.?  Size: 59553\n" + gen8 +
             "    vud_mcp.ma is Older ver ver 8.1.? - WRONG VERSION  - Release is F.1.3\n",
         "Outdated Applications Found: \t1\n", true},
        {"a minor release shown as \"?\" above the catalogue's (\"?\" itself or DEL)",
         mcp + "ver 8.1.?  Size: 59553\n" + gen8 +
             "    vud_mcp.ma is Newer ver ver 8.1.? - Known Release in this PGM is F.1.3\n",
         "Newer Applications Found:    \t1\n" , true},
        {"a minor release shown as \"?\" read as the catalogue's", mcp + "ver 8.1.?  Size: 59553\n" + gen8 +
             "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n", "", false},
        {"a tag cut short by a NUL before a beta's \"b\"", mcp + "ver 8  Size: 59553\n" + gen8 +
             "    vud_mcp.ma is Beta ver ver 8 - NOT FOR PRODUCTION  - Release is F.1.3\n",
         "Beta Applications Found:     \t1\n", true},
        {"a tag cut short by a NUL read as a correct build", mcp + "ver 8  Size: 59553\n" + gen8 +
             "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n", "", false},
        {"a tag that is no tag the finder returns", mcp + "vex 8.1.3  Size: 59553\n" + gen8 +
             "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n", "", false},
    };
    for (const auto& shown : cases) {
        SCOPED_TRACE(shown.what);
        const int correct = shown.findings.empty() ? 1 : 0;
        const std::string report = shown.block + "\n" + testing::kSummaryTitle + shown.findings +
                                   std::to_string(correct) +
                                   " of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                   "40 Applications NOT FOUND\n" +
                                   (shown.findings.rfind("Newer", 0) == 0 ? testing::kNewerNotice : "");
        const InstallationRecord record = parseReport(report, "ws042.txt");
        EXPECT_EQ(shown.accepted, record.status != Status::Error) << record.error;
    }
}

TEST(ReportParser, RefusesATagWithBytesTheCheckerShowsAsQuestionMarks) {
    // A report whose tag holds the byte 0xE9 (not UTF-8): the checker shows it as "?",
    // so no checker printed this line. The message shows the byte as it is, \xe9.
    const std::string report =
        "Application: vud_mcp.ma\tVersion: ver 8.1.3\xE9  Size: 59553\n"
        "   STATUS: Application Valid for: FWP 8.0.x.x\n"
        "    vud_mcp.ma is unrecognized Rel ver ver 8.1.3\xE9 - Known Release in this PGM is F.1.3\n"
        "\n"
        "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
        "Unrecognized Applications Found:     \t1\n"
        "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n";
    const InstallationRecord record = parseReport(report, "ws");
    EXPECT_EQ(Status::Error, record.status);
    EXPECT_EQ("line 1: expected a version tag of at most 12 printable ASCII characters beginning \"ver \", found "
              "\"ver 8.1.3\\xe9\"",
              record.error);
}

}  // namespace
}  // namespace vud::fleet
