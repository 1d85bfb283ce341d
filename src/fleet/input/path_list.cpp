#include "fleet/input/path_list.h"

#include "text/saved_text.h"
#include "text/utf8.h"

namespace vud::fleet {

bool PathListReader::refuse(std::string problem) {
    if (problem_.empty()) problem_ = std::move(problem);
    return false;
}

bool PathListReader::add(std::string_view bytes) {
    if (!problem_.empty()) return false;
    total_ += bytes.size();
    if (total_ > kLargestList) return refuse("larger than " + std::to_string(kLargestList >> 20) + " MiB");
    if (encoding_ == Encoding::Undecided) {
        head_.append(bytes);
        return head_.size() < 3 || decide(false);
    }
    return encoding_ == Encoding::Utf16le ? takeUtf16(bytes) : takeBytes(bytes);
}

bool PathListReader::finish() {
    if (!problem_.empty()) return false;
    if (encoding_ == Encoding::Undecided && !decide(true)) return false;
    if (encoding_ == Encoding::Utf16le && oddByte_ >= 0)
        return refuse("text in UTF-16LE, as its byte-order mark says, of an even length");
    return endLine();
}

// The byte-order mark, if any, in the first bytes; then those bytes as the list's.
bool PathListReader::decide(bool last) {
    std::string_view bytes = head_;
    const SavedEncoding saved = savedEncoding(bytes);
    if (saved == SavedEncoding::Utf8) {
        encoding_ = Encoding::Utf8;
        bytes.remove_prefix(3);
    } else if (saved == SavedEncoding::Utf16Le) {
        encoding_ = Encoding::Utf16le;
        bytes.remove_prefix(2);
    } else if (saved == SavedEncoding::Utf16Be) {
        return refuse("text in UTF-8 or UTF-16LE, not UTF-16BE");
    } else if (bytes.size() < 3 && !last) {
        return true;
    } else {
        // Bytes that are not UTF-8 stay as they are: a path names the file of those bytes.
        encoding_ = Encoding::Bytes;
    }
    const std::string rest(bytes);
    head_.clear();
    return encoding_ == Encoding::Utf16le ? takeUtf16(rest) : takeBytes(rest);
}

bool PathListReader::takeBytes(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view part = bytes.substr(0, end);
        if (line_.size() + part.size() > kLongestListLine) break;
        line_.append(part);
        if (end == std::string_view::npos) return true;
        if (!endLine()) return false;
        bytes.remove_prefix(end + 1);
    }
    return bytes.empty() || refuseLongLine();
}

bool PathListReader::takeUtf16(std::string_view bytes) {
    for (const char byte : bytes) {
        if (oddByte_ < 0) {
            oddByte_ = static_cast<unsigned char>(byte);
            continue;
        }
        const auto unit = static_cast<char16_t>(oddByte_ | (static_cast<unsigned char>(byte) << 8));
        oddByte_ = -1;
        if (unit == u'\n') {
            if (!endLine()) return false;
            continue;
        }
        // Each unit is at least one byte of UTF-8.
        units_ += unit;
        if (units_.size() > kLongestListLine) return refuseLongLine();
    }
    return true;
}

bool PathListReader::refuseLongLine() {
    return refuse("line " + std::to_string(lineNumber_) + ": longer than " + std::to_string(kLongestListLine >> 10) +
                  " KiB, which no path is");
}

bool PathListReader::endLine() {
    if (encoding_ == Encoding::Utf16le) {
        line_ = utf8FromUtf16(units_);
        units_.clear();
    }
    if (line_.size() > kLongestListLine) return refuseLongLine();
    if (encoding_ == Encoding::Utf8 && !isUtf8(line_))
        return refuse("line " + std::to_string(lineNumber_) + ": expected text in UTF-8, as its byte-order mark says");
    if (std::optional<ListedInstallation> installation = listedInstallation(line_))
        installations_.push_back(std::move(*installation));
    line_.clear();
    ++lineNumber_;
    return true;
}

}  // namespace vud::fleet
