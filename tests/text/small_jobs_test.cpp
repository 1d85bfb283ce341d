// The small jobs every reader and writer shares: case folding, counts, escapes and the
// reasons of system errors.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "text/case.h"
#include "text/decimal.h"
#include "text/escape.h"
#include "text/system_error.h"

namespace vud {
namespace {

TEST(Case, OnlyAsciiLettersFold) {
    // The letters next to A and Z, and bytes of UTF-8 and Latin-1 capitals, stay.
    EXPECT_EQ("@az[`az{ \xC3\x89\xC9", lowerAscii("@AZ[`az{ \xC3\x89\xC9"));
    EXPECT_EQ('w', lowerAscii('W'));
}

TEST(Decimal, OnlyDigitsAndAtMostNineOfThemAreACount) {
    const struct {
        std::string_view text;
        std::optional<int> count;
    } cases[] = {
        {"0", 0},     {"08", 8},   {"12", 12}, {"999999999", 999999999}, {"1000000000", std::nullopt},
        {"", std::nullopt},  {"+2", std::nullopt}, {"-1", std::nullopt}, {" 2", std::nullopt},
        {"2 ", std::nullopt}, {"0x10", std::nullopt}, {"1e3", std::nullopt}, {"/", std::nullopt},
        {":", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.count, decimalCount(c.text));
    }
}

TEST(Escape, BytesAndCharactersInLowerCaseHexOfTheirWholeWidth) {
    std::string text;
    for (const unsigned char byte : {0x00, 0x0a, 0x7f, 0xff}) appendByteEscape(text, byte);
    for (const char16_t character : {u'\u0080', u'\u009f', u'\uabcd'}) appendCharacterEscape(text, character);
    EXPECT_EQ("\\x00\\x0a\\x7f\\xff\\u0080\\u009f\\uabcd", text);
}

TEST(SystemError, AFileNotThereIsSaidInTheProgramsWordsAndEveryOtherAsTheSystemSaysIt) {
    EXPECT_EQ("no such file or folder", reasonOf(std::make_error_code(std::errc::no_such_file_or_directory)));
    EXPECT_EQ("no such file or folder", reasonOfErrno(ENOENT, "cannot be opened"));
    const std::error_code denied = std::make_error_code(std::errc::permission_denied);
    EXPECT_EQ(denied.message(), reasonOf(denied));
    EXPECT_EQ(denied.message(), reasonOfErrno(EACCES, "cannot be opened"));
    EXPECT_EQ("cannot be opened", reasonOfErrno(0, "cannot be opened"));
}

}  // namespace
}  // namespace vud
