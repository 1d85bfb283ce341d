// Texts as a program of the project writes them on the platform under test.
#pragma once

#include <string>
#include <string_view>

namespace vud::testing {

// Standard output and standard error are text streams: on Windows the runtime writes
// each "\n" as "\r\n", so an expected report or message gets the same line ends
// before it is compared byte for byte. Elsewhere the text is returned as it is.
inline std::string withPlatformLineEnds(std::string_view text) {
#ifdef _WIN32
    std::string lines;
    lines.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    return lines;
#else
    return std::string(text);
#endif
}

}  // namespace vud::testing
