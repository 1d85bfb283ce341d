// Case folding for the names the programs compare in either case: format names, machine
// names, the prefixes of Windows paths. ASCII letters only: no locale decides what a
// name means, and a byte beyond ASCII is part of a name as it is.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace vud {

constexpr char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string lowerAscii(std::string_view text) {
    std::string lower(text.size(), '\0');
    std::transform(text.begin(), text.end(), lower.begin(), [](char c) { return lowerAscii(c); });
    return lower;
}

}  // namespace vud
