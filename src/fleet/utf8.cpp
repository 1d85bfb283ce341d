#include "fleet/utf8.h"

namespace vud::fleet {
namespace {

// The length of the valid sequence that starts at bytes[i], or 0.
std::size_t sequenceAt(std::string_view bytes, std::size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t following = 0;
    char32_t least = 0;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) following = 1, least = 0x80;
    else if ((lead & 0xF0) == 0xE0) following = 2, least = 0x800;
    else if ((lead & 0xF8) == 0xF0) following = 3, least = 0x10000;
    else return 0;
    if (i + following >= bytes.size()) return 0;
    char32_t c = lead & (0x3Fu >> following);
    for (std::size_t k = 1; k <= following; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3Fu);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return following + 1;
}

}  // namespace

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = sequenceAt(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string asUtf8(std::string_view bytes) {
    if (isUtf8(bytes)) return std::string(bytes);
    std::string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = sequenceAt(bytes, i);
        if (length == 0) {
            appendUtf8(text, 0xFFFD);
            ++i;
        } else {
            text.append(bytes.substr(i, length));
            i += length;
        }
    }
    return text;
}

}  // namespace vud::fleet
