// The one way the programs read and write text: which bytes are UTF-8, how the others
// show, UTF-16 both ways, and where text is cut without cutting a character.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "text/utf8.h"

namespace vud {
namespace {

using namespace std::string_literals;

TEST(Utf8, WellFormedSequencesAreKeptAndEveryOtherByteShowsAsItsHex) {
    const struct {
        const char* what;
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"ASCII, NUL included", "ws\0042"s, "ws\0042"s},
        {"two, three and four bytes, up to U+10FFFF", "\xC3\xA9 \xE2\x82\xAC \xF4\x8F\xBF\xBF",
         "\xC3\xA9 \xE2\x82\xAC \xF4\x8F\xBF\xBF"},
        {"Latin-1", "ws\xE9", "ws\\xe9"},
        {"a continuation byte alone", "\x80", "\\x80"},
        {"an overlong slash, of two and of three bytes", "\xC0\xAF\xE0\x80\xAF", "\\xc0\\xaf\\xe0\\x80\\xaf"},
        {"a surrogate", "\xED\xA0\x80", "\\xed\\xa0\\x80"},
        {"past U+10FFFF, and a lead byte of none", "\xF4\x90\x80\x80\xF8", "\\xf4\\x90\\x80\\x80\\xf8"},
        {"a sequence cut off by the end, and one by a quote", "\xE2\x82\"\xE2\x82", "\\xe2\\x82\"\\xe2\\x82"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.shown, escapedUtf8(c.bytes));
        EXPECT_EQ(c.shown == c.bytes, isUtf8(c.bytes));
        EXPECT_TRUE(isUtf8(escapedUtf8(c.bytes)));
    }
}

TEST(Utf8, NamesSpellNoOtherNamesEscape) {
    // Off Windows "\" is part of a name, so "ws\xff" spelled out must show apart from
    // the byte 0xFF; on Windows it is the separator and shows as it is.
#ifdef _WIN32
    EXPECT_EQ("C:\\fleet\\ws\\xff", asUtf8("C:\\fleet\\ws\xff"));
#else
    EXPECT_EQ("ws\\\\xff ws\\xff", asUtf8("ws\\xff ws\xff"));
#endif
}

TEST(Utf8, WhatATerminalOrAViewerWouldActOnShowsAsAnEscape) {
    const struct {
        const char* what;
        std::string text;
        std::string shown;
    } cases[] = {
        {"letters, a backslash, and characters of two to four bytes", "a\\b \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
         "a\\b \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"tab, CR and LF", "a\tb\rc\nd", "a\\tb\\rc\\nd"},
        {"NUL, ESC and the last C0 code", "\0\x1b\x1f"s, "\\x00\\x1b\\x1f"},
        {"DEL", "a\x7f", "a\\x7f"},
        {"the first, a middle and the last C1 code", "\xC2\x80\xC2\x85\xC2\x9F", "\\u0080\\u0085\\u009f"},
        {"the first character after C1", "\xC2\xA0", "\xC2\xA0"},
        {"left-to-right and right-to-left marks, the Arabic letter mark", "\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C",
         "\\u200e\\u200f\\u061c"},
        {"embeddings and overrides", "\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\xAE",
         "\\u202a\\u202b\\u202c\\u202d\\u202e"},
        {"isolates", "\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9", "\\u2066\\u2067\\u2068\\u2069"},
        {"the characters beside them stay", "\xE2\x80\x8D\xE2\x80\x90\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA",
         "\xE2\x80\x8D\xE2\x80\x90\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA"},
        {"a byte that is not UTF-8, and a C1 code's lead byte alone", "ws\xff\xC2", "ws\\xff\\xc2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.shown, shownSafely(c.text));
        // What is shown once shows as it is again: a writer may show a name it was given shown.
        EXPECT_EQ(c.shown, shownSafely(c.shown));
    }
}

TEST(Utf8, NoTwoNamesShowAlike) {
    // Each a name a hostile list or share could hold, and the names that spell its escape.
    const std::string names[] = {
        "ws\xff", "ws\xfe", "ws\\xff", "ws\\\\xff", "ws\xc3\xbf",  "ws\x1b", "ws\\x1b", "ws\t",
        "ws\\t",   "ws\\\\t", "ws\r",    "ws\n",      "ws\\n",       "ws\\r", "ws\xC2\x85", "ws\\u0085",
        "ws\xE2\x80\xAE", "ws\\u202e", "ws\\",    "ws\\\\",    "ws",          "ws\x7f", "ws\\x7f",  "ws\0"s,
    };
    std::set<std::string> shown;
    for (const std::string& name : names) {
#ifdef _WIN32
        // "\" separates a path's parts there and shows as it is.
        if (name.find('\\') != std::string::npos) continue;
#endif
        EXPECT_TRUE(shown.insert(shownSafely(asUtf8(name))).second) << testing::PrintToString(name);
    }
}

// Code units as UTF-8, and back: the first and last character of each length of UTF-8
// and those beside the surrogates, which a saved report or a Windows name may hold (every
// bit of each continuation byte is set by one of them); pairs; and surrogates without
// their partners, each a replacement character, which has no way back.
TEST(Utf16, CodeUnitsBecomeUtf8AndASurrogateWithoutItsPartnerAReplacementCharacter) {
    const struct {
        const char* what;
        std::u16string units;
        std::string text;
        bool back = true;  // the text gives back the same code units
    } cases[] = {
        {"ASCII and a character of three bytes", u"ws \u20AC", "ws \xE2\x82\xAC"},
        {"U+00E9, two bytes", u"\u00E9", "\xC3\xA9"},
        {"U+07FF, the last of two bytes", u"\u07FF", "\xDF\xBF"},
        {"U+0800, the first of three bytes", u"\u0800", "\xE0\xA0\x80"},
        {"U+D7FF, the last before the surrogates", u"\uD7FF", "\xED\x9F\xBF"},
        {"U+E000, the first after them", u"\uE000", "\xEE\x80\x80"},
        {"U+FFFD", u"\uFFFD", "\xEF\xBF\xBD"},
        {"U+FFFF, the last of three bytes", u"\uFFFF", "\xEF\xBF\xBF"},
        {"a pair", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {"U+10000, the first pair", u"\xD800\xDC00", "\xF0\x90\x80\x80"},
        {"U+F0000, the first of plane 15", u"\xDB80\xDC00", "\xF3\xB0\x80\x80"},
        {"U+10FFFF, the last pair", u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
        {"a high surrogate at the end", u"a\xD83D", "a\xEF\xBF\xBD", false},
        {"a high surrogate before a letter", u"\xD83D" u"a", "\xEF\xBF\xBD" "a", false},
        {"a low surrogate alone", u"\xDE00\xDE00", "\xEF\xBF\xBD\xEF\xBF\xBD", false},
        {"the last surrogate alone", u"\xDFFF", "\xEF\xBF\xBD", false},
        {"a low surrogate before a high one", u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.text, utf8FromUtf16(c.units));
        if (c.back) {
            EXPECT_EQ(c.units, utf16FromUtf8(c.text));
        }
    }
    EXPECT_EQ(u"\xD83D\xDE00 \u00E9 ws", utf16FromUtf8("\xF0\x9F\x98\x80 \xC3\xA9 ws"));
    EXPECT_EQ(u"ws\\xe9", utf16FromUtf8("ws\xE9"));
}

TEST(Utf8, TextIsCutAtACharactersStart) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
    EXPECT_EQ(5u, characterCount(text));
    EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC", firstCharacters(text, 3));
    EXPECT_EQ(text, firstCharacters(text, 5));
    EXPECT_EQ("a\xC3\xA9", firstBytesOfWholeCharacters(text, 5));  // not the first two bytes of €
    EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC", firstBytesOfWholeCharacters(text, 6));
    EXPECT_EQ(text, firstBytesOfWholeCharacters(text, 100));
    // A buffer that ends part-way through a character holds it back until the rest comes.
    const struct {
        std::string buffer;
        std::size_t whole;
    } buffers[] = {{"", 0}, {"ab", 2}, {"a\xF0\x9F\x98", 1}, {"a\xF0\x9F\x98\x80", 5}, {"a\xC3", 1}, {"\x80\x80", 2}};
    for (const auto& b : buffers) EXPECT_EQ(b.whole, wholeCharactersLength(b.buffer)) << testing::PrintToString(b.buffer);
}

}  // namespace
}  // namespace vud
