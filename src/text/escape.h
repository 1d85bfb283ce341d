// How a byte or a character that cannot be shown as itself is written in every output
// of the programs: a backslash, a letter and lower-case hex digits, as C writes them.
#pragma once

#include <string>

namespace vud {

// "\xHH": a byte that is not UTF-8, or a control character.
inline void appendByteEscape(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

// "\uHHHH": a character by its code point, below U+10000.
inline void appendCharacterEscape(std::string& out, char16_t character) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(character >> shift) & 0xF];
}

}  // namespace vud
