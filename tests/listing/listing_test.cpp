// The listing report. expected_listing.txt holds the complete report, exactly as
// standard output must carry it (no heading line: every byte is output): eight
// sections of 49 lines, derived by hand from the report's column layout and the suite's
// catalogue data, never from this program's output.
#include "listing/listing.h"

#include "catalogue/catalogue.h"
#include "support/flush_recorder.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace vud {
namespace {

constexpr int kSectionLineCount = 49;
constexpr int kReportLineCount = kListedGenerationCount * kSectionLineCount;
constexpr int kFirstRowInSection = 4;  // zero-based: two title lines, empty line, header

std::string expectedReport() {
    std::ifstream in(VUD_EXPECTED_LISTING, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << VUD_EXPECTED_LISTING;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string printedReport() {
    std::ostringstream out;
    printListing(out);
    return out.str();
}

// The report's lines, without their newlines.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(text.size(), start) << "the report ends inside a line";
    return lines;
}

// Names the first line that differs, so a failure points at a row, not at 30 KB.
void expectSameReport(const std::string& expected, const std::string& actual) {
    const std::vector<std::string> expectedLines = linesOf(expected);
    const std::vector<std::string> actualLines = linesOf(actual);
    for (std::size_t i = 0; i < expectedLines.size() && i < actualLines.size(); ++i) {
        if (expectedLines[i] != actualLines[i]) {
            ADD_FAILURE() << "line " << i + 1 << " differs\n expected: \"" << expectedLines[i]
                          << "\"\n   actual: \"" << actualLines[i] << "\"";
            break;
        }
    }
    EXPECT_EQ(expectedLines.size(), actualLines.size());
    EXPECT_TRUE(expected == actual) << "the report differs from expected_listing.txt";
}

std::string sizeText(int sizeRow, int position) {
    return std::to_string(kExpectedSizeTable[sizeRow][position]);
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ListingReport, MatchesTheExpectedReportByteForByte) {
    expectSameReport(expectedReport(), printedReport());
}

TEST(ListingReport, HasEightSectionsOf49LinesAndEndsWithFourEmptyLines) {
    const std::vector<std::string> lines = linesOf(printedReport());
    ASSERT_EQ(kReportLineCount, static_cast<int>(lines.size()));
    EXPECT_EQ("Vudmark for FrameWorks Plus version:  FWP 3.1.x.x or FWP 3.2.x.x", lines[0]);
    EXPECT_EQ("Vudmark for FrameWorks Plus version:  FWP 11.0.x.x", lines[7 * kSectionLineCount]);
    for (int i = kReportLineCount - 4; i < kReportLineCount; ++i) EXPECT_EQ("", lines[i]);
    EXPECT_NE("", lines[kReportLineCount - 5]);
}

// Every section: one empty line under the title, the header straight above the first
// row, and " Size: " at column 69 whether the code has five characters or six.
TEST(ListingReport, EverySectionKeepsItsShapeAndColumns) {
    const std::vector<std::string> lines = linesOf(printedReport());
    ASSERT_EQ(kReportLineCount, static_cast<int>(lines.size()));
    for (int section = 0; section < kListedGenerationCount; ++section) {
        SCOPED_TRACE("section " + std::to_string(section + 1));
        const int first = section * kSectionLineCount;
        EXPECT_EQ(0u, lines[first].find("Vudmark for FrameWorks Plus version:  "));
        EXPECT_EQ("Vudmark:  Application Listing    Version: 2.3.0 dated: Mar 15, 2013",
                  lines[first + 1]);
        EXPECT_EQ("", lines[first + 2]);
        EXPECT_EQ(0u, lines[first + 3].find("Application Name "));
        for (int position = 0; position < kApplicationCount; ++position) {
            const std::string& row = lines[first + kFirstRowInSection + position];
            SCOPED_TRACE(row);
            ASSERT_GE(row.size(), 80u);
            const char* fileName = kApplicationCatalogue[position].fileName;
            EXPECT_EQ(' ', row[40]);
            EXPECT_EQ(fileName, row.substr(41, std::strlen(fileName)));
            EXPECT_EQ("  Version ", row.substr(51, 10));
            EXPECT_EQ(" Size: ", row.substr(68, 7));
        }
        const int closing = first + kFirstRowInSection + kApplicationCount;
        for (int i = closing; i < first + kSectionLineCount; ++i) EXPECT_EQ("", lines[i]);
    }
}

// The two FWP 7.0 ranges carry the same tag, generation number 7, and differ only in
// size: the earlier range shows row 2, the later one row 1.
TEST(ListingReport, BothFwp70SectionsShowCode7WithTheirOwnSizeRows) {
    const std::vector<std::string> lines = linesOf(printedReport());
    ASSERT_EQ(kReportLineCount, static_cast<int>(lines.size()));
    const int later = 1 * kSectionLineCount;
    const int earlier = 2 * kSectionLineCount;
    EXPECT_EQ("Vudmark for FrameWorks Plus version:  FWP 7.00.00.19 & later", lines[later]);
    EXPECT_EQ("Vudmark for FrameWorks Plus version:  FWP 7.0.0.0 - 7.00.00.16", lines[earlier]);
    for (int position = 0; position < kApplicationCount; ++position) {
        SCOPED_TRACE("position " + std::to_string(position));
        const std::string& laterRow = lines[later + kFirstRowInSection + position];
        const std::string& earlierRow = lines[earlier + kFirstRowInSection + position];
        EXPECT_EQ('7', earlierRow[61]);
        EXPECT_EQ(laterRow.substr(0, 68), earlierRow.substr(0, 68));
        EXPECT_TRUE(endsWith(earlierRow, " Size: " + sizeText(2, position))) << earlierRow;
        EXPECT_TRUE(endsWith(laterRow, " Size: " + sizeText(1, position))) << laterRow;
    }
}

TEST(ListingReport, LeavesOutTheUnlistedGenerationsAndSizeRow8) {
    const std::string report = printedReport();
    EXPECT_EQ(std::string::npos, report.find("NA"));
    EXPECT_EQ(std::string::npos, report.find("FWP 3.0.x.x"));
    EXPECT_EQ(std::string::npos, report.find("FWP 12.0.x.x"));
    EXPECT_EQ(std::string::npos, report.find("Version 12."));
    // Row 8 differs from row 7 at a few positions; none of those sizes is printed.
    const std::vector<std::string> lines = linesOf(report);
    ASSERT_EQ(kReportLineCount, static_cast<int>(lines.size()));
    for (int position = 0; position < kApplicationCount; ++position) {
        if (kExpectedSizeTable[8][position] == kExpectedSizeTable[7][position]) continue;
        for (int section = 0; section < kListedGenerationCount; ++section) {
            const std::string& row =
                lines[section * kSectionLineCount + kFirstRowInSection + position];
            EXPECT_FALSE(endsWith(row, " " + sizeText(8, position))) << row;
        }
    }
}

// The report comes from the catalogue alone: correct builds in the working folder,
// or none at all, change nothing.
TEST(ListingReport, IsTheSameWhetherOrNotApplicationFilesExist) {
    const std::string expected = expectedReport();
    testing::ScratchFolder folder;
    expectSameReport(expected, printedReport());
    for (int position = 0; position < kApplicationCount; ++position) {
        const ApplicationEntry& entry = kApplicationCatalogue[position];
        const ListedVersionCode code = listedVersionCode(entry.releaseCode, "7");
        testing::writeApplication(entry.fileName,
                                  static_cast<std::size_t>(kExpectedSizeTable[1][position]),
                                  std::string("ver ") + code.text);
    }
    expectSameReport(expected, printedReport());
}

// Records where the stream was flushed: end of line flushes, a newline inside a
// literal does not.
// The listing has nothing slow to wait for, so nothing in it is sent before the whole
// of it: the program's one flush at the end writes it at once.
TEST(ListingReport, IsNeverFlushedOnItsWay) {
    testing::FlushRecorder recorder;
    std::ostream out(&recorder);
    printListing(out);
    EXPECT_EQ(expectedReport(), recorder.view());
    EXPECT_EQ(std::vector<std::size_t>{}, recorder.flushedAt);
}

TEST(ListingReport, LeavesLeftJustificationInForceAndNoWidthBehind) {
    std::ostringstream out;
    printListing(out);
    EXPECT_EQ(std::ios::left, out.flags() & std::ios::adjustfield);
    EXPECT_EQ(0, out.width());
    EXPECT_EQ(' ', out.fill());
}

// One-digit numbers replace the F; two-digit ones push the release one place right.
// The whole 7-byte field is compared, so the NUL padding is checked too.
TEST(ListedVersionCode, PutsTheGenerationNumberInPlaceOfTheF) {
    const struct {
        const char* releaseCode;
        const char* generationNumber;
        char expected[kListedVersionCodeWidth];
    } kRows[] = {
        {"F.1.7", "2", "2.1.7"},   {"F.2.4", "2", "2.2.4"},   {"F.1.7", "7", "7.1.7"},
        {"F.0.6", "6", "6.0.6"},   {"F.1.0", "9", "9.1.0"},   {"F.1.7", "10", "10.1.7"},
        {"F.2.4", "10", "10.2.4"}, {"F.0.0", "11", "11.0.0"}, {"F.1.9", "12", "12.1.9"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.releaseCode) + " with " + row.generationNumber);
        const ListedVersionCode code = listedVersionCode(row.releaseCode, row.generationNumber);
        EXPECT_STREQ(row.expected, code.text);
        EXPECT_EQ(0, std::memcmp(row.expected, code.text, kListedVersionCodeWidth));
    }
}

TEST(ListedVersionCode, ReadsTheCatalogueFieldAsIs) {
    // A catalogue field carries NULs behind its five characters; they stay NULs.
    const ListedVersionCode code = listedVersionCode(kApplicationCatalogue[0].releaseCode, "10");
    EXPECT_EQ(0, std::memcmp("10.1.3\0", code.text, kListedVersionCodeWidth));
}

}  // namespace
}  // namespace vud
