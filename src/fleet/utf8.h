// UTF-8, the encoding of everything the fleet checker writes.
#pragma once

#include <string>
#include <string_view>

namespace vud::fleet {

void appendUtf8(std::string& out, char32_t character);

bool isUtf8(std::string_view bytes);

// A name (a path, a tag) as UTF-8 that tells every name apart: each byte that is not
// part of a valid sequence becomes the four characters \xHH (lower-case hex), and where
// "\" is no path separator (everywhere but Windows) a backslash is written "\\", so
// that no name can spell another's escape. A Linux file name in another encoding shows.
std::string asUtf8(std::string_view bytes);

// `text` (UTF-8) as it may reach a terminal: control characters, which could move the
// cursor, rewrite a line or send the terminal commands, are made visible escapes:
// \r \n \t, \xHH for the other C0 codes and DEL, \u0080 to \u009f for C1.
std::string shownSafely(std::string_view text);

}  // namespace vud::fleet
