#include "fleet/input/installation_names.h"

#include "text/case.h"
#include "text/path.h"

namespace vud::fleet {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text, std::string_view blanks) {
    const std::size_t start = text.find_first_not_of(blanks);
    if (start == std::string_view::npos) return {};
    return text.substr(start, text.find_last_not_of(blanks) - start + 1);
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool startsWithNoCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i) {
        const char c = text[i];
        if (lowerAscii(c) != lowerAscii(start[i]) && !(isSeparator(c) && isSeparator(start[i]))) return false;
    }
    return true;
}

}  // namespace

std::optional<ListedInstallation> listedInstallation(std::string_view line) {
    const std::size_t end = line.find_last_not_of(" \t\r");
    if (end == std::string_view::npos || line.front() == '#') return std::nullopt;
    line = line.substr(0, end + 1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return ListedInstallation{std::string(line), {}};
    return ListedInstallation{std::string(trimmed(line.substr(tab + 1), kBlanks)),
                              std::string(trimmed(line.substr(0, tab), kBlanks))};
}

std::string machineOfPath(std::string_view path) {
    // The long form of a share's path, and the long and device forms of local ones.
    const bool longOrDevice = startsWithNoCase(path, "\\\\?\\") || startsWithNoCase(path, "\\\\.\\");
    if (startsWithNoCase(path, "\\\\?\\UNC\\")) {
        path.remove_prefix(8);
    } else if (!longOrDevice && path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1]) &&
               !isSeparator(path[2])) {
        // "/\x" is a folder named "\x" under the root on Linux, not a share.
        if (!kBackslashSeparates && path[0] != path[1]) return {};
        path.remove_prefix(2);
    } else {
        return {};
    }
    std::size_t end = 0;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    return std::string(path.substr(0, end));
}

std::string installationKey(const std::string& path) {
    constexpr char kSeparators[] = {'/', kPathSeparator, '\0'};
    const std::size_t end = path.find_last_not_of(kSeparators);
    return end == std::string::npos ? path : path.substr(0, end + 1);
}

}  // namespace vud::fleet
