#include "text/saved_text.h"

#include "text/utf8.h"

namespace vud {

SavedEncoding savedEncoding(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return SavedEncoding::Utf8;
    if (bytes.substr(0, 2) == "\xFF\xFE") return SavedEncoding::Utf16Le;
    if (bytes.substr(0, 2) == "\xFE\xFF") return SavedEncoding::Utf16Be;
    return SavedEncoding::Unmarked;
}

std::string savedText(std::string_view bytes, std::string& problem) {
    problem.clear();
    switch (savedEncoding(bytes)) {
        case SavedEncoding::Utf8:
            bytes.remove_prefix(3);
            if (!isUtf8(bytes)) problem = "text in UTF-8, as its byte-order mark says";
            return std::string(bytes);
        case SavedEncoding::Utf16Le: {
            std::u16string units(bytes.size() / 2 - 1, u'\0');
            for (std::size_t i = 0; i < units.size(); ++i)
                units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i + 2]) |
                                                 (static_cast<unsigned char>(bytes[2 * i + 3]) << 8));
            if (bytes.size() % 2 != 0) problem = "text in UTF-16LE, as its byte-order mark says, of an even length";
            return utf8FromUtf16(units);
        }
        case SavedEncoding::Utf16Be:
            problem = "text in UTF-8 or UTF-16LE, not UTF-16BE";
            return {};
        case SavedEncoding::Unmarked: break;
    }
    return std::string(bytes);
}

}  // namespace vud
