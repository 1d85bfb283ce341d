// What the progress line writes to a terminal: each line written over the last, a
// shorter one blanking what the longer left, never wider than a narrow console; and the
// width a signal handler reads to clear it.
#include "fleet/run/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vud::fleet {
namespace {

TEST(ProgressLineText, EachLineIsWrittenOverTheLastAndClearedAtTheEnd) {
    std::ostringstream err;
    ProgressLine line(err, true);
    line.show({1, 2, "ws042\r"});
    EXPECT_EQ(23u, progressLineWidth());
    // The last is shown however soon it comes.
    line.show({2, 2, "ws007"});
    EXPECT_EQ(14u, progressLineWidth());
    line.clear();
    EXPECT_EQ(0u, progressLineWidth());
    line.clear();
    EXPECT_EQ("\r1 of 2 checked: ws042\\r"
              "\r2 of 2 checked         \r2 of 2 checked"
              "\r              \r",
              err.str());
}

TEST(ProgressLineText, ALongNameIsCutAtACharacterWithinTheColumns) {
    std::ostringstream err;
    ProgressLine line(err, true);
    std::string name;
    for (int i = 0; i < 70; ++i) name += "\xc3\xa9";  // é
    line.show({1, 2, name});
    EXPECT_EQ(79u, progressLineWidth());
    EXPECT_EQ("\r1 of 2 checked: " + name.substr(0, 63 * 2), err.str());
    line.clear();
}

TEST(ProgressLineText, NothingIsWrittenWhereStandardErrorIsNoTerminal) {
    std::ostringstream err;
    ProgressLine line(err, false);
    line.show({1, 2, "ws042"});
    line.show({2, 2, ""});
    line.clear();
    EXPECT_EQ("", err.str());
    EXPECT_EQ(0u, progressLineWidth());
}

}  // namespace
}  // namespace vud::fleet
