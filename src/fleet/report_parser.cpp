#include "fleet/report_parser.h"

#include <charconv>
#include <cstdint>
#include <sstream>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/scan.h"
#include "fleet/utf8.h"
#include "verify/summary.h"
#include "verify/verdict.h"

namespace vud::fleet {
namespace {

// What a refusal says: the line and what was expected there.
struct Refusal {
    int line;
    std::string expected;
};

class ReportReader {
public:
    explicit ReportReader(const std::string& text) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            const bool last = end == std::string::npos;
            if (last) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines_.push_back(std::move(line));
            start = end + 1;
        }
    }

    // Reads the report into `record`; returns the refusal, if any, with `line` 0 for none.
    Refusal read(InstallationRecord& record) {
        record.applications.clear();
        for (int position = 0; position < kApplicationCount; ++position)
            record.applications.push_back(catalogueApplication(position, ApplicationState::Absent));
        RunTally tally;
        int nextPosition = 0;  // blocks come in catalogue order, each at most once
        while (at_ < lines_.size() && lines_[at_].rfind(kIdentification, 0) == 0) {
            Refusal refusal = readBlock(nextPosition, tally, record);
            if (refusal.line != 0) return refusal;
        }
        return readSummary(tally, record);
    }

private:
    static constexpr char kIdentification[] = "Application: ";
    static constexpr char kVersion[] = "\tVersion: ";
    static constexpr char kSize[] = "  Size: ";

    int lineNumber() const { return static_cast<int>(at_) + 1; }

    // What stands where something else was expected, when it says more than the line
    // number: the end of a truncated report, or a listing given for a report.
    std::string found() const {
        if (at_ >= lines_.size()) return ", found the end of the report";
        if (lines_[at_].rfind("Vudmark for FrameWorks Plus version:", 0) == 0)
            return ", found a listing of the applications (\"vudcheck ?\"), not a report";
        return {};
    }

    Refusal readBlock(int& nextPosition, RunTally& tally, InstallationRecord& record) {
        const std::string& identification = lines_[at_];
        const std::size_t nameStart = sizeof kIdentification - 1;
        const std::size_t versionAt = identification.find(kVersion, nameStart);
        const std::size_t sizeAt = identification.rfind(kSize);
        const std::string shape =
            "\"Application: FILE<tab>Version: TAG  Size: BYTES\" for an application after the last one";
        if (versionAt == std::string::npos || sizeAt == std::string::npos || sizeAt < versionAt)
            return {lineNumber(), shape};
        const std::string file = identification.substr(nameStart, versionAt - nameStart);
        int position = nextPosition;
        while (position < kApplicationCount && file != kApplicationCatalogue[position].fileName) ++position;
        if (position == kApplicationCount) return {lineNumber(), shape};

        const std::string tag = identification.substr(versionAt + sizeof kVersion - 1,
                                                      sizeAt - versionAt - (sizeof kVersion - 1));
        // The checker shows a tag's control and high bytes as "?"; a report that still
        // holds high bytes has them as U+0080 to U+00FF, one character a byte.
        std::size_t characters = 0;
        bool printable = tag.rfind(kVersionTagMarker, 0) == 0;
        for (const char c : tag) {
            const auto byte = static_cast<unsigned char>(c);
            characters += (byte & 0xC0) != 0x80;
            printable = printable && byte >= 0x20 && byte != 0x7F;
        }
        if (!printable || characters > kVersionTagLength)
            return {lineNumber(), "a version tag of at most 12 printable characters beginning \"ver \""};

        const std::string sizeText = identification.substr(sizeAt + sizeof kSize - 1);
        std::int64_t size = 0;
        const auto [end, error] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
        if (sizeText.empty() || error != std::errc() || end != sizeText.data() + sizeText.size() ||
            sizeText[0] == '-')
            return {lineNumber(), "the size in bytes after \"Size: \""};

        VersionTag shown{};
        copyText(tag.c_str(), shown.text, sizeof shown.text);
        // The shown tag reads as the same generation: only its digits decide it, and a
        // byte shown as "?" was no digit.
        const Verdict expected = judgeApplication(position, shown, size);
        ++at_;
        if (at_ >= lines_.size() || lines_[at_] != expected.statusLine)
            return {lineNumber(), "\"" + expected.statusLine + "\""};
        ++at_;
        if (at_ >= lines_.size() || lines_[at_].rfind("    ", 0) != 0)
            return {lineNumber(), "the verdict on " + file + ", indented by four spaces"};
        const int verdictLine = lineNumber();
        std::string text = lines_[at_].substr(4);
        for (++at_; at_ < lines_.size() && !lines_[at_].empty(); ++at_) text += "\n" + lines_[at_];
        if (at_ >= lines_.size()) return {lineNumber(), "the empty line that ends the block of " + file};
        ++at_;

        const VerdictPattern* pattern = matchVerdict(text, file, tag, size, position);
        if (pattern == nullptr) return {verdictLine, "a verdict on " + file + " for its tag and size"};

        ++(tally.*expected.generation.generationCounter);
        ++(tally.*pattern->counter);
        if (pattern->generation7BuildCounter != nullptr) ++(tally.*pattern->generation7BuildCounter);

        ApplicationRecord& application = record.applications[position];
        application.state = ApplicationState::Block;
        application.tag = tag;
        application.size = size;
        application.generation = generationNumberOf(expected.generation);
        application.host = hostOf(expected.statusLine);
        application.verdict = verdictKindOf(pattern->counter);
        application.text = std::move(text);
        nextPosition = position + 1;
        return {0, {}};
    }

    // Matches `text` against `pattern`: %s stands for one or more characters, %d for
    // one or more digits; what they stood for goes to `fields`.
    static bool matches(std::string_view pattern, std::string_view text, std::vector<std::string_view>& fields) {
        if (pattern.empty()) return text.empty();
        if (pattern.size() >= 2 && pattern[0] == '%' && (pattern[1] == 's' || pattern[1] == 'd')) {
            const bool digits = pattern[1] == 'd';
            for (std::size_t length = 1; length <= text.size(); ++length) {
                const char c = text[length - 1];
                if (c == '\n' || (digits && (c < '0' || c > '9'))) break;
                fields.push_back(text.substr(0, length));
                if (matches(pattern.substr(2), text.substr(length), fields)) return true;
                fields.pop_back();
            }
            return false;
        }
        return !text.empty() && pattern[0] == text[0] && matches(pattern.substr(1), text.substr(1), fields);
    }

    static const VerdictPattern* matchVerdict(const std::string& text, const std::string& file,
                                              const std::string& tag, std::int64_t size, int position) {
        const std::string sizeText = std::to_string(size);
        for (int i = 0; i < kVerdictPatternCount; ++i) {
            std::string_view pattern = kVerdictPatterns[i].pattern;
            pattern.remove_suffix(1);  // the verdict's own newline ends the block's line
            std::vector<std::string_view> fields;
            if (!matches(pattern, text, fields) || fields.empty() || fields[0] != file) continue;
            const bool sized = pattern.find("%d") != std::string_view::npos;
            if (sized && (fields.size() < 2 || fields[1] != sizeText)) continue;
            if (!sized && fields.size() >= 3 &&
                (fields[1] != tag || fields[2] != kApplicationCatalogue[position].releaseCode))
                continue;
            return &kVerdictPatterns[i];
        }
        return nullptr;
    }

    // The summary is what the checker prints for the blocks read and the count of
    // applications not found that it gives: anything else contradicts the blocks.
    Refusal readSummary(RunTally& tally, InstallationRecord& record) {
        const int blocks = tallyBlocks(tally);
        constexpr char kNotFound[] = " Applications NOT FOUND";
        for (std::size_t i = at_; i < lines_.size(); ++i) {
            const std::string& line = lines_[i];
            const std::size_t at = line.find(kNotFound);
            if (at == std::string::npos || at == 0 || at + sizeof kNotFound - 1 != line.size()) continue;
            int count = 0;
            const auto [end, error] = std::from_chars(line.data(), line.data() + at, count);
            if (error != std::errc() || end != line.data() + at || count <= 0) continue;
            if (count > kApplicationCount - blocks)
                return {static_cast<int>(i) + 1, "at most " + std::to_string(kApplicationCount - blocks) +
                                                     " applications not found beside " +
                                                     std::to_string(blocks) + " blocks"};
            tally.notFoundCount = count;
            break;
        }
        std::ostringstream rendered;
        printRunSummary(tally, rendered);
        const std::string summary = rendered.str();
        std::size_t start = 0;
        bool first = true;
        while (start < summary.size()) {
            const std::size_t end = summary.find('\n', start);
            const std::string expected = summary.substr(start, end - start);
            if (at_ >= lines_.size() || lines_[at_] != expected) {
                if (first)
                    return {lineNumber(), "an application block (\"Application: ...\") or the run summary (\"" +
                                              expected + "\")" + found()};
                return {lineNumber(), "\"" + expected + "\", as the blocks above give" + found()};
            }
            first = false;
            ++at_;
            start = end + 1;
        }
        for (; at_ < lines_.size(); ++at_)
            if (!lines_[at_].empty()) return {lineNumber(), "the end of the report"};
        applyTally(tally, record);
        return {0, {}};
    }

    static int tallyBlocks(const RunTally& tally) {
        return tally.correctCount + tally.sizeMismatchCount + tally.betaCount + tally.testCount +
               tally.preReleaseCount + tally.olderCount + tally.newerCount + tally.unrecognizedCount;
    }

    std::vector<std::string> lines_;
    std::size_t at_ = 0;
};

}  // namespace

std::string reportText(std::string_view bytes, std::string& problem) {
    problem.clear();
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        if (!isUtf8(bytes)) problem = "text in UTF-8, as its byte-order mark says";
        return std::string(bytes);
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
        std::string text;
        text.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            char32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
            if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
                const char32_t low =
                    static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
                if (low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
            appendUtf8(text, unit);
        }
        if (bytes.size() % 2 != 0) problem = "text in UTF-16LE, as its byte-order mark says, of an even length";
        return text;
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
        problem = "text in UTF-8 or UTF-16LE, not UTF-16BE";
        return {};
    }
    if (isUtf8(bytes)) return std::string(bytes);
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) appendUtf8(text, static_cast<unsigned char>(c));
    return text;
}

InstallationRecord parseReport(std::string_view bytes, const std::string& installation) {
    InstallationRecord record;
    record.installation = installation;
    record.source = Source::Report;
    std::string problem;
    const std::string text = reportText(bytes, problem);
    if (!problem.empty()) {
        record.status = Status::Error;
        record.error = "line 1: expected " + problem;
        return record;
    }
    ReportReader reader(text);
    const Refusal refusal = reader.read(record);
    if (refusal.line != 0) {
        record.status = Status::Error;
        record.error = "line " + std::to_string(refusal.line) + ": expected " + refusal.expected;
        record.applications.clear();
        record.counts = {};
        record.notFound = 0;
        record.mixed = record.outdated = false;
    }
    return record;
}

}  // namespace vud::fleet
