// Counts as a user writes them on a command line or in a list: decimal digits only.
#pragma once

#include <optional>
#include <string_view>

namespace vud {

constexpr bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// The count `text` writes in decimal digits and nothing else ("0x10", "1e3", "+2", "-1"
// and " 2" are typing slips, not counts); at most nine digits, so that every count
// accepted fits an int. None for any other text.
constexpr std::optional<int> decimalCount(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int count = 0;
    for (const char c : text) {
        if (!isDecimalDigit(c)) return std::nullopt;
        count = count * 10 + (c - '0');
    }
    return count;
}

}  // namespace vud
