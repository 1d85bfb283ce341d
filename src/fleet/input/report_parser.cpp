#include "fleet/input/report_parser.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/input/scan.h"
#include "text/escape.h"
#include "text/lines.h"
#include "text/saved_text.h"
#include "text/utf8.h"
#include "verify/summary.h"
#include "verify/verdict.h"
#include "verify/verification.h"

namespace vud::fleet {

namespace {

// What a refusal says: the line, what was expected there and what was found.
struct Refusal {
    int line;
    std::string expected;
};

// A line as a message quotes it: at most 160 bytes of it (room for any line the
// checker prints), cut on a whole UTF-8 character, its control characters as escapes.
std::string quoted(std::string_view line) {
    constexpr std::size_t kShown = 160;
    const std::string_view shown = firstBytesOfWholeCharacters(line, kShown);
    std::string text = "\"";
    for (const char c : escapedUtf8(shown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\t') {
            text += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            appendByteEscape(text, byte);
        } else {
            text += c;
        }
    }
    text += '"';
    if (shown.size() < line.size()) text += "...";
    return text;
}

// The tags a block's identification line may have been printed from. The checker shows
// each byte of a tag outside printable ASCII as "?" and nothing after the tag's NUL,
// yet its verdict reads tag bytes by position, those after the NUL included. Only the
// bytes the judgement reads are varied, and each over one byte of every kind the
// judgement tells apart (the comparisons it makes with the catalogue's release and the
// marker letters), so a block is tried against a few dozen tags at most.
class PossibleTags {
public:
    PossibleTags(int position, std::string_view shown) : code_(kApplicationCatalogue[position].releaseCode) {
        for (std::size_t i = 0; i < shown.size(); ++i) {
            tag_.text[i] = shown[i];
            if (shown[i] == '?') unknown_[i] = Unknown::Masked;
        }
        // The NUL that ends the shown tag is known; what follows it is not.
        for (std::size_t i = shown.size() + 1; i < kVersionTagLength; ++i) unknown_[i] = Unknown::Hidden;
    }

    // Calls `visit` with each possible tag until it returns true; returns whether one
    // did. `generationFits` is asked once the generation's bytes are set: the host
    // generation decides the status line, so a generation whose status line is not the
    // block's rules out every tag that carries it.
    template <typename Visit, typename GenerationFits>
    bool any(const Visit& visit, const GenerationFits& generationFits) {
        return fillFrom(kFirstRead, visit, generationFits);
    }

private:
    enum class Unknown : unsigned char { No, Masked, Hidden };
    enum class Role { Unread, GenerationFirst, GenerationSecond, Major, Minor, Marker };

    // The judgement reads the generation at 4 (and 5) and the release at 6 to 10.
    static constexpr std::size_t kFirstRead = 4;
    static constexpr std::size_t kFirstRelease = 6;
    static constexpr std::size_t kLastRead = 10;
    static constexpr char kBelowDigits = static_cast<char>(0x80);  // below every digit as a signed byte
    static constexpr char kAboveLetters = 'z';

    template <typename Visit, typename GenerationFits>
    bool fillFrom(std::size_t at, const Visit& visit, const GenerationFits& generationFits) {
        const bool generationUnknown = unknown_[4] != Unknown::No || unknown_[5] != Unknown::No;
        if (at == kFirstRelease && generationUnknown && !generationFits(tag_)) return false;
        if (at > kLastRead) return visit(tag_);
        if (unknown_[at] == Unknown::No) return fillFrom(at + 1, visit, generationFits);
        for (const char byte : candidates(at)) {
            tag_.text[at] = byte;
            if (fillFrom(at + 1, visit, generationFits)) return true;
        }
        return false;
    }

    Role roleOf(std::size_t at) const {
        if (at == 4) return Role::GenerationFirst;
        if (at == 5) {
            const char first = tag_.text[4];
            const auto startsTwoDigits = [first](const HostGeneration& generation) {
                const char* number = generation.generationNumber;
                return number[0] != '\0' && number[0] == first && number[1] != '\0';
            };
            const bool twoDigitNumber =
                std::any_of(std::begin(kHostGenerations), std::end(kHostGenerations), startsTwoDigits);
            return twoDigitNumber ? Role::GenerationSecond : Role::Unread;
        }
        const bool twoDigit = readGeneration(tag_).twoDigit;  // bytes 4 and 5 are set by now
        const std::size_t major = twoDigit ? 7 : 6;
        if (at == major) return Role::Major;
        if (at == major + 2) return Role::Minor;
        if (at == major + 3) return Role::Marker;
        return Role::Unread;
    }

    std::vector<char> candidates(std::size_t at) const {
        std::vector<char> bytes = kindsOfByte(at);
        std::sort(bytes.begin(), bytes.end());
        bytes.erase(std::unique(bytes.begin(), bytes.end()), bytes.end());
        return bytes;
    }

    std::vector<char> kindsOfByte(std::size_t at) const {
        const Role role = roleOf(at);
        if (unknown_[at] == Unknown::Masked)
            // A control byte, "?" itself, DEL, a byte above ASCII: one of each lies in
            // every range the comparisons tell apart.
            return role == Role::Unread ? std::vector<char>{'?'} : std::vector<char>{'\x01', '?', '\x7F', kBelowDigits};
        switch (role) {
            case Role::GenerationFirst:
            case Role::GenerationSecond: {
                const std::size_t digit = role == Role::GenerationFirst ? 0 : 1;
                std::vector<char> bytes{kBelowDigits};  // a generation the checker does not know
                for (const HostGeneration& generation : kHostGenerations)
                    if (generation.generationNumber[0] != '\0' && generation.generationNumber[digit] != '\0' &&
                        (digit == 0 || generation.generationNumber[0] == tag_.text[4]))
                        bytes.push_back(generation.generationNumber[digit]);
                return bytes;
            }
            case Role::Major: return {code_[2], 'b', kBelowDigits, kAboveLetters};
            case Role::Minor: return {code_[4], kBelowDigits, kAboveLetters};
            case Role::Marker: return {code_[5], '\0', 'r', 't', kAboveLetters};
            case Role::Unread: break;
        }
        return {'\0'};
    }

    const char* code_;
    VersionTag tag_{};
    Unknown unknown_[kVersionTagLength] = {};
};

class ReportReader {
public:
    ReportReader(std::string_view text, ReadBack* readBack) : lines_(linesOf(text)), readBack_(readBack) {}

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
    static constexpr std::string_view kIdentification = "Application: ";
    static constexpr std::string_view kVersion = "\tVersion: ";
    static constexpr std::string_view kSize = "  Size: ";

    int lineNumber() const { return static_cast<int>(at_) + 1; }

    // What stands at line `index`, for a message.
    std::string found(std::size_t index) const {
        if (index >= lines_.size()) return "the end of the report";
        if (lines_[index].rfind("Vudmark for FrameWorks Plus version:", 0) == 0)
            return "a listing of the applications (\"vudcheck ?\"), not a report";
        return quoted(lines_[index]);
    }

    Refusal refuse(std::size_t index, const std::string& expected) const {
        return {static_cast<int>(index) + 1, expected + ", found " + found(index)};
    }

    // What an identification line shows.
    struct Identification {
        int position = 0;  // in the catalogue
        std::string_view tag;
        std::int64_t size = 0;
    };

    Refusal readBlock(int& nextPosition, RunTally& tally, InstallationRecord& record) {
        Identification shown;
        Refusal refusal = readIdentification(nextPosition, shown);
        if (refusal.line == 0) refusal = judgeBlock(shown, tally, record);
        if (refusal.line == 0) nextPosition = shown.position + 1;
        return refusal;
    }

    Refusal readIdentification(int nextPosition, Identification& shown) const {
        const std::string_view identification = lines_[at_];
        // The application: the next in catalogue order whose name the line gives. File
        // names end before a tab, so at most one can fit.
        const std::string_view rest = identification.substr(kIdentification.size());
        int position = nextPosition;
        while (position < kApplicationCount) {
            const std::string_view file = kApplicationCatalogue[position].fileName;
            if (rest.substr(0, file.size()) == file && rest.substr(file.size(), kVersion.size()) == kVersion) break;
            ++position;
        }
        constexpr char kShape[] = "\"Application: FILE<tab>Version: TAG  Size: BYTES\"";
        if (position == kApplicationCount)
            return refuse(at_, std::string(kShape) + " for an application after the last one");
        const std::string_view file = kApplicationCatalogue[position].fileName;
        const std::size_t tagStart = kIdentification.size() + file.size() + kVersion.size();
        const std::size_t sizeAt = identification.rfind(kSize);
        if (sizeAt == std::string_view::npos || sizeAt < tagStart)
            return refuse(at_, kShape);

        // The checker prints at most 12 bytes of a tag from its "ver ", each as itself
        // when printable ASCII and as "?" otherwise.
        const std::string_view tag = identification.substr(tagStart, sizeAt - tagStart);
        bool printable = tag.size() <= kVersionTagLength && tag.rfind(kVersionTagMarker, 0) == 0;
        for (std::size_t i = 0; printable && i < tag.size(); ++i) printable = tag[i] >= 0x20 && tag[i] < 0x7F;
        if (!printable) {
            return {lineNumber(), "a version tag of at most 12 printable ASCII characters beginning \"ver \", found " +
                                      quoted(tag)};
        }

        // In decimal as the checker writes it: no sign, no leading zero.
        const std::string_view sizeText = identification.substr(sizeAt + kSize.size());
        std::int64_t size = 0;
        const auto [end, error] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
        if (error != std::errc() || end != sizeText.data() + sizeText.size() || size <= 0 || sizeText[0] == '0')
            return {lineNumber(), "the size in bytes after \"Size: \", found " + quoted(sizeText)};
        shown = {position, tag, size};
        return {0, {}};
    }

    // The block must be what the checker prints for one of the tags its identification
    // line may stand for: the checker's judgement and printing make the lines to match.
    Refusal judgeBlock(const Identification& shown, RunTally& tally, InstallationRecord& record) {
        const std::size_t blockStart = at_;
        const char* fileName = kApplicationCatalogue[shown.position].fileName;
        std::size_t bestMatched = 0;  // the most lines a possible tag's block matched
        std::string bestExpected;     // and what it expected at the first that differs
        ApplicationOutcome outcome;
        std::vector<std::string> tried;  // status and verdict of the tags already compared
        const std::string_view statusLine = blockStart + 1 < lines_.size() ? lines_[blockStart + 1] : "";
        // Any one release judges the generation, so its status line alone is compared.
        // The first generation is always tried, so that a refusal has a block to quote.
        const auto generationFits = [&](const VersionTag& possible) {
            return bestExpected.empty() ||
                   judgeApplication(shown.position, possible, shown.size).statusLine == statusLine;
        };
        const auto printsTheBlock = [&](const VersionTag& possible) {
            Verdict verdict = judgeApplication(shown.position, possible, shown.size);
            // Many of the possible tags are judged alike: each block is printed once.
            std::string judged = verdict.statusLine + '\n' + verdict.verdictText;
            if (std::find(tried.begin(), tried.end(), judged) != tried.end()) return false;
            tried.push_back(std::move(judged));
            std::ostringstream block;
            printApplicationBlock(block, fileName, possible, shown.size, verdict);
            const std::string text = block.str();
            std::size_t matched = 0;
            LineCursor printed(text);
            for (std::string_view expected; printed.next(expected); ++matched) {
                if (blockStart + matched >= lines_.size() || lines_[blockStart + matched] != expected) {
                    if (matched > bestMatched || bestExpected.empty()) {
                        bestMatched = matched;
                        bestExpected = expected.empty()
                                           ? "the empty line that ends the block of " + std::string(fileName)
                                           : quoted(expected);
                    }
                    return false;
                }
            }
            outcome.position = shown.position;
            outcome.state = ApplicationOutcome::State::Judged;
            outcome.tag = possible;
            outcome.byteCount = shown.size;
            outcome.verdict = std::move(verdict);
            at_ = blockStart + matched;
            return true;
        };
        if (!PossibleTags(shown.position, shown.tag).any(printsTheBlock, generationFits))
            return refuse(blockStart + bestMatched, bestExpected);

        outcome.verdict.addTo(tally);
        record.applications[static_cast<std::size_t>(shown.position)] = applicationRecordOf(outcome);
        if (readBack_ != nullptr) readBack_->blocks.push_back(outcome);
        return {0, {}};
    }

    // The summary is what the checker prints for the blocks read and the count of
    // applications not found that it gives: anything else contradicts the blocks.
    Refusal readSummary(RunTally& tally, InstallationRecord& record) {
        const int blocks = judgedCount(tally.verdicts);
        constexpr std::string_view kNotFound = " Applications NOT FOUND";
        // The not-found line stands within the summary's first lines, if anywhere.
        constexpr std::size_t kSummaryLines = 24;
        for (std::size_t i = at_; i < lines_.size() && i < at_ + kSummaryLines; ++i) {
            const std::string_view line = lines_[i];
            if (line.size() <= kNotFound.size() || line.substr(line.size() - kNotFound.size()) != kNotFound) continue;
            const std::size_t digits = line.size() - kNotFound.size();
            int count = 0;
            const auto [end, error] = std::from_chars(line.data(), line.data() + digits, count);
            if (error != std::errc() || end != line.data() + digits || count <= 0) continue;
            if (count > kApplicationCount - blocks)
                return {static_cast<int>(i) + 1, "at most " + std::to_string(kApplicationCount - blocks) +
                                                     " applications not found beside " + std::to_string(blocks) +
                                                     " blocks, found " + quoted(line)};
            tally.notFoundCount = count;
            break;
        }
        std::ostringstream rendered;
        printRunSummary(tally, rendered);
        const std::string summary = rendered.str();
        bool first = true;
        LineCursor printed(summary);
        for (std::string_view expected; printed.next(expected);) {
            if (at_ >= lines_.size() || lines_[at_] != expected) {
                if (first)
                    return refuse(at_, "an application block (\"Application: ...\") or the run summary (" +
                                           quoted(expected) + ")");
                return refuse(at_, quoted(expected) + ", as the blocks above give");
            }
            first = false;
            ++at_;
        }
        for (; at_ < lines_.size(); ++at_)
            if (!lines_[at_].empty()) return refuse(at_, "the end of the report");
        // The checker prints a block for a file with a tag and counts the files it did
        // not find: the rest were there without a tag, damaged as a folder scan counts
        // them, though the report does not tell which they are.
        record.damaged = kApplicationCount - blocks - tally.notFoundCount;
        applyTally(tally, record);
        if (readBack_ != nullptr) readBack_->tally = tally;
        return {0, {}};
    }

    std::vector<std::string_view> lines_;
    std::size_t at_ = 0;
    ReadBack* readBack_;
};

}  // namespace

InstallationRecord parseReport(std::string_view bytes, const std::string& installation, ReadBack* readBack) {
    InstallationRecord record;
    record.installation = installation;
    record.source = Source::Report;
    std::string problem;
    const std::string text = savedText(bytes, problem);
    if (!problem.empty()) {
        record.status = Status::Error;
        record.error = "line 1: expected " + problem;
        return record;
    }
    if (readBack != nullptr) *readBack = {};
    ReportReader reader(text, readBack);
    const Refusal refusal = reader.read(record);
    if (refusal.line != 0) {
        record.status = Status::Error;
        record.error = "line " + std::to_string(refusal.line) + ": expected " + refusal.expected;
        record.applications.clear();
        record.counts = {};
        record.notFound = record.damaged = 0;
        record.mixed = record.checkerOutOfDate = false;
        if (readBack != nullptr) *readBack = {};
    }
    return record;
}

}  // namespace vud::fleet
