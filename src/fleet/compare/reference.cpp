#include "fleet/compare/reference.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "fleet/input/inputs.h"
#include "probe/version_tag.h"

namespace vud::fleet {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::size_t kDigestDigits = 2 * kSha256Size;
// int64's largest is 19 digits long; 18 keep every size below it.
constexpr std::size_t kLongestSize = 18;

bool printable(char c) { return c >= 0x20 && c < 0x7F; }

// `text` as a message may quote it: bytes outside printable ASCII as '?', and not too
// long, for it comes from a file anybody may have written.
std::string quoted(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    std::string shown = "\"";
    for (const char c : text.substr(0, kLongest)) shown += printable(c) ? c : '?';
    if (text.size() > kLongest) shown += "...";
    return shown + '"';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// sha256sum writes lower-case digits, PowerShell's Get-FileHash upper-case ones.
std::optional<Sha256Digest> digestOf(std::string_view text) {
    if (text.size() != kDigestDigits) return std::nullopt;
    Sha256Digest digest;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = hexValue(text[2 * i]);
        const int low = hexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return digest;
}

// Decimal digits, without a sign or a leading zero.
std::optional<std::int64_t> sizeOf(std::string_view text) {
    if (text.empty() || text.size() > kLongestSize || (text[0] == '0' && text.size() > 1)) return std::nullopt;
    std::int64_t size = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        size = size * 10 + (c - '0');
    }
    return size;
}

// What is wrong with a tag as the report prints it: "ver " and at most eight more
// characters of printable ASCII. Empty when nothing is.
std::string tagProblem(std::string_view tag) {
    const std::string_view marker(kVersionTagMarker, kVersionTagMarkerLength);
    if (tag.substr(0, marker.size()) != marker) return "the tag " + quoted(tag) + " does not begin with \"ver \"";
    if (tag.size() > kVersionTagLength)
        return "the tag " + quoted(tag) + " is longer than " + std::to_string(kVersionTagLength) + " characters";
    if (!std::all_of(tag.begin(), tag.end(), printable))
        return "the tag " + quoted(tag) + " holds a character outside printable ASCII (the report shows it as '?')";
    return {};
}

bool isApplicationFile(std::string_view name) {
    return std::any_of(std::begin(kApplicationCatalogue), std::end(kApplicationCatalogue),
                       [name](const ApplicationEntry& entry) { return name == entry.fileName; });
}

std::string keyOf(std::string_view fileName, std::string_view tag, std::int64_t size) {
    std::string key;
    key.reserve(fileName.size() + tag.size() + 2 + kLongestSize);
    key.append(fileName).append(1, '\t').append(tag).append(1, '\t').append(std::to_string(size));
    return key;
}

std::string atLine(int number, const std::string& reason) { return "line " + std::to_string(number) + ": " + reason; }

// What is wrong with the format line; empty when nothing is.
std::string formatLineProblem(std::string_view line) {
    if (line.substr(0, kReferenceFormat.size()) == kReferenceFormat &&
        (line.size() == kReferenceFormat.size() || line[kReferenceFormat.size()] == ' '))
        return {};
    constexpr std::string_view kName = "vudfleet-reference ";
    if (line.substr(0, kName.size()) == kName)
        return "the format " + quoted(line.substr(kName.size(), line.find(' ', kName.size()) - kName.size())) +
               " is not one this vudfleet reads (\"" + std::string(kReferenceFormat) + "\")";
    return "not a vudfleet reference: its first line begins with \"" + std::string(kReferenceFormat) + "\"";
}

}  // namespace

std::optional<Reference> Reference::read(const std::string& path, std::string& problem) {
    std::string bytes;
    if (!readWholeFile(path, kLargestReference, bytes, problem)) return std::nullopt;
    return parse(bytes, problem);
}

std::optional<Reference> Reference::parse(std::string_view bytes, std::string& problem) {
    if (bytes.size() > kLargestReference) {
        problem = "larger than " + std::to_string(kLargestReference >> 20) + " MiB";
        return std::nullopt;
    }
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        problem = atLine(1, "UTF-16 text: a reference is ASCII or UTF-8 (PowerShell: Out-File -Encoding ascii)");
        return std::nullopt;
    }
    Reference reference;
    reference.fileDigest_ = sha256Of(bytes);
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) bytes.remove_prefix(kUtf8Mark.size());

    int number = 0;
    for (std::size_t start = 0; start < bytes.size() || number == 0;) {
        ++number;
        // Only as far as a line may go is searched for its end: the file is read once.
        // (A line, its CR and its LF.)
        const std::string_view window = bytes.substr(start, kLargestReferenceLine + 3);
        const std::size_t newline = window.find('\n');
        std::string_view line = window.substr(0, newline);
        start = newline == std::string_view::npos ? start + window.size() : start + newline + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kLargestReferenceLine) {
            problem = atLine(number, "longer than " + std::to_string(kLargestReferenceLine) + " bytes");
            return std::nullopt;
        }
        if (number == 1) {
            problem = formatLineProblem(line);
            if (!problem.empty()) {
                problem = atLine(number, problem);
                return std::nullopt;
            }
            continue;
        }
        if (line.empty() || line[0] == '#') continue;  // a blank line or a comment

        std::string_view fields[4];
        std::size_t count = 0;
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            if (count < std::size(fields)) fields[count] = line.substr(from, tab - from);
            ++count;
            if (tab == std::string_view::npos) break;
            from = tab + 1;
        }
        const auto refuse = [&problem, number](const std::string& reason) {
            problem = atLine(number, reason);
            return std::nullopt;
        };
        if (count != std::size(fields))
            return refuse("expected 4 fields separated by tabs (digest, size, tag, file), found " +
                          std::to_string(count));
        const std::optional<Sha256Digest> digest = digestOf(fields[0]);
        if (!digest) return refuse("the digest " + quoted(fields[0]) + " is not 64 hexadecimal digits");
        const std::optional<std::int64_t> size = sizeOf(fields[1]);
        if (!size) return refuse("the size " + quoted(fields[1]) + " is not a number of bytes");
        if (std::string reason = tagProblem(fields[2]); !reason.empty()) return refuse(reason);
        if (!isApplicationFile(fields[3]))
            return refuse(quoted(fields[3]) + " is not the file name of an application");

        const auto [at, added] = reference.builds_.try_emplace(
            keyOf(fields[3], fields[2], *size),
            Build{std::string(fields[3]), std::string(fields[2]), *size, *digest, number});
        if (!added) {
            const std::string earlier = "line " + std::to_string(at->second.line);
            return refuse(at->second.digest == *digest
                              ? "repeats " + earlier
                              : "the same file, tag and size as " + earlier + ", with another digest");
        }
    }
    if (reference.builds_.empty()) {
        problem = "no build in it: a line for each application file follows the format line";
        return std::nullopt;
    }
    return reference;
}

const Sha256Digest* Reference::find(std::string_view fileName, std::string_view tag, std::int64_t size) const {
    const auto at = builds_.find(keyOf(fileName, tag, size));
    return at == builds_.end() ? nullptr : &at->second.digest;
}

ReferenceState Reference::judge(std::string_view fileName, std::string_view tag, std::int64_t size,
                                const std::optional<FileDigest>& read) const {
    const Sha256Digest* expected = find(fileName, tag, size);
    // Unread, the file was not of a reference build's size when it was opened; when it
    // is by the end, it changed on the way.
    if (!read || read->read != WholeRead::Steady)
        return expected != nullptr || (read && read->read == WholeRead::ChangedWhileRead)
                   ? ReferenceState::ChangedWhileRead
                   : ReferenceState::Unreferenced;
    if (expected == nullptr) return ReferenceState::Unreferenced;
    return read->digest == *expected ? ReferenceState::Verified : ReferenceState::Modified;
}

bool ReferenceMaker::add(const std::string& installation, std::string_view fileName, std::string_view tag,
                         std::int64_t size, const Sha256Digest& digest, std::string& problem) {
    const auto [at, added] =
        builds_.try_emplace({std::string(fileName), std::string(tag), size}, Found{digest, installation});
    if (added || at->second.digest == digest) return true;
    problem = std::string(fileName) + " " + std::string(tag) + " of " + std::to_string(size) + " bytes differs between " +
              at->second.installation + " and " + installation;
    return false;
}

void ReferenceMaker::write(std::ostream& out, std::string_view producer) const {
    out << kReferenceFormat << ' ' << producer << '\n';
    for (const auto& [key, found] : builds_)
        out << hexDigest(found.digest) << '\t' << std::get<2>(key) << '\t' << std::get<1>(key) << '\t'
            << std::get<0>(key) << '\n';
}

}  // namespace vud::fleet
