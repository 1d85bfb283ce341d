#include "probe/text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vud {
namespace {

TEST(TextLength, CountsCharactersBeforeTheFirstNul) {
    EXPECT_EQ(0, textLength(""));
    EXPECT_EQ(9, textLength("ver 7.1.7"));
    EXPECT_EQ(3, textLength("ver\0 7.1.7"));
}

TEST(CopyText, CopiesTextAndNulWhenItFits) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    copyText("F.1.7", field, sizeof field);
    EXPECT_EQ(0, std::memcmp("F.1.7\0xx", field, sizeof field));
}

TEST(CopyText, EmptyTextWritesOneNul) {
    char field[4] = {'x', 'x', 'x', 'x'};
    copyText("", field, sizeof field);
    EXPECT_EQ(0, std::memcmp("\0xxx", field, sizeof field));
}

TEST(CopyText, NeverWritesPastTheDestination) {
    char guarded[8];
    std::memset(guarded, 'x', sizeof guarded);
    copyText("abcdefgh", guarded, 4);
    EXPECT_EQ(0, std::memcmp("abc\0xxxx", guarded, sizeof guarded));
    copyText("abcdefgh", guarded, 0);
    EXPECT_EQ('a', guarded[0]);
}

}  // namespace
}  // namespace vud
