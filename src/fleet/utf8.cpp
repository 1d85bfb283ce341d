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

namespace {

#ifdef _WIN32
constexpr bool kBackslashIsSeparator = true;
#else
constexpr bool kBackslashIsSeparator = false;
#endif

void appendHexEscape(std::string& out, char prefix, unsigned value, int digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '\\';
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

}  // namespace

std::string asUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = sequenceAt(bytes, i);
        if (length == 0) {
            appendHexEscape(text, 'x', static_cast<unsigned char>(bytes[i]), 2);
            ++i;
        } else {
            if (!kBackslashIsSeparator && bytes[i] == '\\') text += '\\';
            text.append(bytes.substr(i, length));
            i += length;
        }
    }
    return text;
}

std::string shownSafely(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\r') {
            shown += "\\r";
        } else if (byte == '\n') {
            shown += "\\n";
        } else if (byte == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            appendHexEscape(shown, 'x', byte, 2);
        } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0 &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            appendHexEscape(shown, 'u', static_cast<unsigned char>(text[i + 1]), 4);
            ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

}  // namespace vud::fleet
