// Saved text read back whichever way it was saved: bytes as written, UTF-8 with its
// mark, UTF-16LE as Windows PowerShell 5.1 redirects; refused when its mark lies.
#include <gtest/gtest.h>

#include <string>

#include "text/saved_text.h"

namespace vud {
namespace {

using namespace std::string_literals;

TEST(SavedText, EachByteOrderMarkIsReadAsItSaysAndRefusedWhereTheBytesBelieIt) {
    const struct {
        const char* what;
        std::string bytes;
        SavedEncoding encoding;
        std::string text;
        std::string problem;
    } cases[] = {
        {"nothing", "", SavedEncoding::Unmarked, "", ""},
        {"bytes that are not UTF-8 and no mark: kept", "ws\xE9\r\n", SavedEncoding::Unmarked, "ws\xE9\r\n", ""},
        {"a mark cut short is no mark", "\xEF\xBB", SavedEncoding::Unmarked, "\xEF\xBB", ""},
        {"UTF-8 with its mark", "\xEF\xBB\xBFws\xC3\xA9\n", SavedEncoding::Utf8, "ws\xC3\xA9\n", ""},
        {"a UTF-8 mark before bytes that are not", "\xEF\xBB\xBFws\xE9", SavedEncoding::Utf8, "ws\xE9",
         "text in UTF-8, as its byte-order mark says"},
        {"UTF-16LE beyond ASCII: e acute, U+E000, a pair", "\xFF\xFE" "w\0\xE9\0\x00\xE0\x3D\xD8\x00\xDE\r\0\n\0"s,
         SavedEncoding::Utf16Le, "w\xC3\xA9\xEE\x80\x80\xF0\x9F\x98\x80\r\n", ""},
        {"UTF-16LE, the mark alone", "\xFF\xFE", SavedEncoding::Utf16Le, "", ""},
        {"UTF-16LE of an odd length", "\xFF\xFEw\0s"s, SavedEncoding::Utf16Le, "w",
         "text in UTF-16LE, as its byte-order mark says, of an even length"},
        {"UTF-16BE", "\xFE\xFF\0w"s, SavedEncoding::Utf16Be, "", "text in UTF-8 or UTF-16LE, not UTF-16BE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.encoding, savedEncoding(c.bytes));
        std::string problem = "left from before";
        EXPECT_EQ(c.text, savedText(c.bytes, problem));
        EXPECT_EQ(c.problem, problem);
    }
}

}  // namespace
}  // namespace vud
