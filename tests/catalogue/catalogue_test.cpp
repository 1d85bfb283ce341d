// The catalogue is product data: these tests pin the relations the suite's sizes and
// names obey, so a mistyped value fails here rather than in a user's report.
#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>

namespace vud {
namespace {

static_assert(sizeof(ApplicationEntry::displayName) == 50);
static_assert(sizeof(ApplicationEntry::fileName) == 12);
static_assert(sizeof(ReleaseCode) == 8);
static_assert(sizeof(GenerationLabel) == 42);
static_assert(sizeof kApplicationCatalogue / sizeof kApplicationCatalogue[0] == 41);
static_assert(sizeof kExpectedSizeTable == 9 * 41 * sizeof(std::int32_t));

std::int32_t size(int row, int position) { return kExpectedSizeTable[row][position]; }

// The remainder of a field after its text must be NUL: callers read fixed positions.
bool paddedWithNul(const char* field, std::size_t width) {
    const std::size_t length = std::strlen(field);
    if (length >= width) return false;
    for (std::size_t i = length; i < width; ++i)
        if (field[i] != '\0') return false;
    return true;
}

TEST(Catalogue, CheckerIdentity) {
    EXPECT_STREQ("2.3.0", kCheckerVersion);
    EXPECT_STREQ("Mar 15, 2013", kCheckerDate);
    EXPECT_EQ(41, kApplicationCount);
}

TEST(Catalogue, FirstAndLastApplications) {
    EXPECT_STREQ("Member Copy Along Path", kApplicationCatalogue[0].displayName);
    EXPECT_STREQ("vud_mcp.ma", kApplicationCatalogue[0].fileName);
    EXPECT_STREQ("F.1.3", kApplicationCatalogue[0].releaseCode);
    EXPECT_STREQ("Revision Cloud and Markup Tracking Tool", kApplicationCatalogue[40].displayName);
    EXPECT_STREQ("vud_rc9.ma", kApplicationCatalogue[40].fileName);
    EXPECT_STREQ("F.0.3", kApplicationCatalogue[40].releaseCode);
}

TEST(Catalogue, DisplayNamesAreDistinctPlainWords) {
    std::set<std::string> seen;
    std::size_t longest = 0;
    for (const ApplicationEntry& entry : kApplicationCatalogue) {
        SCOPED_TRACE(entry.displayName);
        EXPECT_TRUE(paddedWithNul(entry.displayName, kDisplayNameWidth));
        for (const char* c = entry.displayName; *c != '\0'; ++c)
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(*c)) || *c == ' ' || *c == '/');
        longest = std::max(longest, std::strlen(entry.displayName));
        EXPECT_TRUE(seen.insert(entry.displayName).second);
    }
    EXPECT_EQ(39u, longest);
}

TEST(Catalogue, FileNamesAreDistinctBareApplicationNames) {
    std::set<std::string> seen;
    for (const ApplicationEntry& entry : kApplicationCatalogue) {
        const std::string name = entry.fileName;
        SCOPED_TRACE(name);
        EXPECT_TRUE(paddedWithNul(entry.fileName, kFileNameWidth));
        ASSERT_TRUE(name.size() == 9 || name.size() == 10);
        EXPECT_EQ("vud_", name.substr(0, 4));
        EXPECT_EQ(".ma", name.substr(name.size() - 3));
        for (std::size_t i = 4; i < name.size() - 3; ++i)
            EXPECT_TRUE(std::islower(static_cast<unsigned char>(name[i])) ||
                        std::isdigit(static_cast<unsigned char>(name[i])));
        EXPECT_TRUE(seen.insert(name).second);
    }
}

TEST(Catalogue, ReleaseCodesAreFPointDigitPointDigitThenNul) {
    for (const ApplicationEntry& entry : kApplicationCatalogue) {
        const char* code = entry.releaseCode;
        SCOPED_TRACE(code);
        EXPECT_EQ('F', code[0]);
        EXPECT_EQ('.', code[1]);
        EXPECT_TRUE(code[2] == '0' || code[2] == '1');
        EXPECT_EQ('.', code[3]);
        EXPECT_TRUE(code[4] >= '0' && code[4] <= '9');
        // The verdict rules compare tag characters with bytes 5 and 6.
        EXPECT_EQ('\0', code[5]);
        EXPECT_EQ('\0', code[6]);
        EXPECT_EQ('\0', code[7]);
    }
}

// Which label, generation number and size row belong together, as the suite's builds
// carry them: the verdict, the summary, the listing and vudsample all read this.
TEST(Catalogue, HostGenerations) {
    const struct {
        const char* label;
        const char* generationNumber;
        int sizeRow;
    } expected[kGenerationLabelCount] = {
        {"NA", "", kNoSizeRow},
        {"FWP 3.0.x.x", "", kNoSizeRow},
        {"FWP 3.1.x.x or FWP 3.2.x.x", "2", 0},
        {"FWP 7.00.00.19 & later", "7", 1},
        {"FWP 7.0.0.0 - 7.00.00.16", "7", 2},
        {"FWP 7.1.x.x or FWP 7.2.x.x or FWP 7.3.x.x", "6", 3},
        {"FWP 8.0.x.x", "8", 4},
        {"FWP 9.0.x.x", "9", 5},
        {"FWP 10.0.x.x", "10", 6},
        {"FWP 11.0.x.x", "11", 7},
        {"FWP 12.0.x.x", "12", 8},
    };
    for (int i = 0; i < kGenerationLabelCount; ++i) {
        SCOPED_TRACE(expected[i].label);
        EXPECT_STREQ(expected[i].label, kHostGenerations[i].label);
        EXPECT_TRUE(paddedWithNul(kHostGenerations[i].label, kGenerationLabelWidth));
        EXPECT_STREQ(expected[i].generationNumber, kHostGenerations[i].generationNumber);
        EXPECT_EQ(expected[i].sizeRow, kHostGenerations[i].sizeRow);
    }
    // The longest label fills its field up to its closing NUL.
    EXPECT_EQ(41u, std::strlen(kHostGenerations[kGenerationFwp71].label));
}

TEST(ExpectedSizes, RowSumsMatchTheSuiteData) {
    const std::int64_t expected[kSizeRowCount] = {4606332, 5026882, 5015686, 5234324, 5275898,
                                                  5279465, 5611089, 5777248, 5777260};
    for (int row = 0; row < kSizeRowCount; ++row) {
        std::int64_t sum = 0;
        for (int i = 0; i < kApplicationCount; ++i) sum += size(row, i);
        EXPECT_EQ(expected[row], sum) << "row " << row;
    }
}

TEST(ExpectedSizes, LieInTheSuiteRangeAndAreDistinctWithinEachRow) {
    std::int32_t smallest = size(0, 0), largest = size(0, 0);
    for (int row = 0; row < kSizeRowCount; ++row) {
        std::set<std::int32_t> seen;
        for (int i = 0; i < kApplicationCount; ++i) {
            smallest = std::min(smallest, size(row, i));
            largest = std::max(largest, size(row, i));
            EXPECT_TRUE(seen.insert(size(row, i)).second) << "row " << row << " position " << i;
        }
    }
    EXPECT_EQ(30636, smallest);
    EXPECT_EQ(294012, largest);
}

TEST(ExpectedSizes, RowsKeepTheirKnownDistances) {
    int lessBy273 = 0, lessBy276 = 0, row8Same = 0, row8PlusTwo = 0;
    for (int i = 0; i < kApplicationCount; ++i) {
        SCOPED_TRACE(kApplicationCatalogue[i].fileName);
        const std::int32_t earlierRangeGap = size(1, i) - size(2, i);
        lessBy273 += earlierRangeGap == 273;
        lessBy276 += earlierRangeGap == 276;
        EXPECT_EQ(size(3, i) + 1014, size(4, i));
        EXPECT_EQ(size(4, i) + 87, size(5, i));
        const std::int32_t row8Gap = size(8, i) - size(7, i);
        row8Same += row8Gap == 0;
        row8PlusTwo += row8Gap == 2;
    }
    EXPECT_EQ(40, lessBy273);
    EXPECT_EQ(1, lessBy276);
    EXPECT_EQ(35, row8Same);
    EXPECT_EQ(6, row8PlusTwo);
}

TEST(ExpectedSizes, NeighbouringRowsShareNoValueExceptRows7And8) {
    for (int row = 0; row + 1 < kSizeRowCount; ++row) {
        if (row == 7) continue;
        for (int i = 0; i < kApplicationCount; ++i)
            EXPECT_NE(size(row, i), size(row + 1, i)) << "rows " << row << "/" << row + 1
                                                       << " position " << i;
    }
}

}  // namespace
}  // namespace vud
