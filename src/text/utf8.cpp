#include "text/utf8.h"

#include <algorithm>

#include "text/escape.h"
#include "text/path.h"

namespace vud {

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // shorter forms of U+0000 to U+07FF
        if (lead == 0xED) high = 0x9F;  // the surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // shorter forms of U+0000 to U+FFFF
        if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

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

namespace {

// Calls `whole` with each valid sequence and `stray` with each byte outside one.
template <typename Whole, typename Stray>
void forEachSequence(std::string_view bytes, Whole whole, Stray stray) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0) {
            stray(static_cast<unsigned char>(bytes[i]));
            ++i;
        } else {
            whole(bytes.substr(i, length));
            i += length;
        }
    }
}

std::string escaped(std::string_view bytes, bool backslashDoubled) {
    std::string text;
    text.reserve(bytes.size());
    forEachSequence(
        bytes,
        [&](std::string_view sequence) {
            if (backslashDoubled && sequence == "\\") text += '\\';
            text.append(sequence);
        },
        [&](unsigned char byte) { appendByteEscape(text, byte); });
    return text;
}

}  // namespace

std::string escapedUtf8(std::string_view bytes) { return escaped(bytes, false); }

std::string asUtf8(std::string_view bytes) { return escaped(bytes, !kBackslashSeparates); }

namespace {

// The code point of a well-formed sequence of UTF-8.
char32_t codePointOf(std::string_view sequence) {
    const auto byte = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(sequence[k])); };
    char32_t c = sequence.size() == 1 ? byte(0) : byte(0) & (0x7Fu >> sequence.size());
    for (std::size_t k = 1; k < sequence.size(); ++k) c = (c << 6) | (byte(k) & 0x3Fu);
    return c;
}

// The marks and embeddings, overrides and isolates that reorder the text after them.
bool turnsDirection(char32_t c) {
    return c == 0x200E || c == 0x200F || c == 0x061C || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string shownSafely(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    forEachSequence(
        text,
        [&](std::string_view sequence) {
            const char32_t c = codePointOf(sequence);
            if (c == '\r') {
                shown += "\\r";
            } else if (c == '\n') {
                shown += "\\n";
            } else if (c == '\t') {
                shown += "\\t";
            } else if (c < 0x20 || c == 0x7F) {
                appendByteEscape(shown, static_cast<unsigned char>(c));
            } else if ((c >= 0x80 && c < 0xA0) || turnsDirection(c)) {
                appendCharacterEscape(shown, static_cast<char16_t>(c));
            } else {
                shown.append(sequence);
            }
        },
        [&](unsigned char byte) { appendByteEscape(shown, byte); });
    return shown;
}

std::string utf8FromUtf16(std::u16string_view units) {
    std::string text;
    text.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t unit = units[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            unit = 0xFFFD;
        }
        appendUtf8(text, unit);
    }
    return text;
}

std::u16string utf16FromUtf8(std::string_view text) {
    std::u16string units;
    units.reserve(text.size());
    const auto decode = [&](std::string_view sequence) {
        const char32_t c = codePointOf(sequence);
        if (c < 0x10000) {
            units += static_cast<char16_t>(c);
        } else {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    };
    forEachSequence(text, decode, [&](unsigned char byte) {
        std::string escape;
        appendByteEscape(escape, byte);
        units.append(escape.begin(), escape.end());
    });
    return units;
}

namespace {
bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

std::size_t characterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return !isContinuation(c); }));
}

std::string_view firstCharacters(std::string_view text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuation(text[i])) continue;
        if (++characters > count) return text.substr(0, i);
    }
    return text;
}

std::string_view firstBytesOfWholeCharacters(std::string_view text, std::size_t most) {
    if (text.size() <= most) return text;
    std::size_t cut = most;
    while (cut > 0 && isContinuation(text[cut])) --cut;
    return text.substr(0, cut);
}

std::size_t wholeCharactersLength(std::string_view text) {
    std::size_t back = 0;
    const std::size_t size = text.size();
    while (back < 3 && back < size && isContinuation(text[size - 1 - back])) ++back;
    if (back == size) return size;
    const auto lead = static_cast<unsigned char>(text[size - 1 - back]);
    const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return needed > back + 1 ? size - back - 1 : size;
}

}  // namespace vud
