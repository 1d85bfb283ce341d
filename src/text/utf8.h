// Text as the programs write it: UTF-8, with one rule for bytes that are not, and the
// conversions to and from the UTF-16 of Windows' wide calls and of reports saved by
// Windows PowerShell. Standard C++ only: the checker itself opens files through it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vud {

// The length of the well-formed UTF-8 sequence that starts at text[at], or 0 when none
// does there (a stray continuation byte, a cut-off sequence, an overlong form, a
// surrogate, a code point past U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

bool isUtf8(std::string_view bytes);

void appendUtf8(std::string& out, char32_t character);

// `bytes` as UTF-8 whatever they hold: valid sequences as they are, and each byte that
// is not part of one as the four characters \xHH (lower-case hex), so a name in another
// encoding shows which bytes it holds.
std::string escapedUtf8(std::string_view bytes);

// A name (a path, a tag) as UTF-8 that tells every name apart: escapedUtf8, and where
// "\" is no path separator (everywhere but Windows) a backslash written "\\", so that no
// name can spell another's escape.
std::string asUtf8(std::string_view bytes);

// `text` as every output shows it (text, CSV, JSON, metrics, the dashboard): what a
// terminal, a viewer or a spreadsheet would act on rather than show is a visible
// escape. Control characters, which could move the cursor, rewrite a line or send the
// terminal commands: \r \n \t, \xHH for the other C0 codes and DEL, \u0080 to
// \u009f for C1. The characters that turn the direction of the text around it, which
// could make one name read as another: \u200e \u200f \u061c \u202a to \u202e
// \u2066 to \u2069. A byte that is not UTF-8: \xHH, as escapedUtf8 writes it.
// Backslashes stay as they are: applied to asUtf8's names, no two names show alike.
std::string shownSafely(std::string_view text);

// UTF-16 code units as UTF-8; a surrogate without its partner becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view units);

// UTF-8 as UTF-16 code units, a byte that is not UTF-8 as escapedUtf8 shows it.
std::u16string utf16FromUtf8(std::string_view text);

// Where text is cut so that no character is cut: the characters of a line that fit a
// number of columns or of bytes, and the whole characters of a buffer that may end
// part-way through one, whose last bytes have yet to come.
std::size_t characterCount(std::string_view text);
std::string_view firstCharacters(std::string_view text, std::size_t count);
std::string_view firstBytesOfWholeCharacters(std::string_view text, std::size_t most);
std::size_t wholeCharactersLength(std::string_view text);

}  // namespace vud
