#include "verify/verdict.h"

#include <initializer_list>
#include <numeric>
#include <string_view>

#include "catalogue/catalogue.h"
#include "probe/text.h"

namespace vud {
namespace {

// Verdict texts, as printf-style patterns with %s and %d. Each ends with its own
// newline, so every block of the report closes with an empty line.
constexpr char kCorrect[] = "%s is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n";
constexpr char kCorrectLater7[] =
    "%s is  CORRECT PRODUCTION VERSION for FWP 7.00.00.19 & later\n"
    "           w/ Correct Size Match\n";
constexpr char kCorrectEarlier7[] =
    "%s is  CORRECT PRODUCTION VERSION FWP 7.00.00.16 & before \n"
    "          w/ Correct Size Match\n";
constexpr char kSizeMismatch7[] =
    "%s is  CORRECT PRODUCTION VERSION FWP 7.00.00.19  or Previous FWP 7.0.x.x version\n"
    "        w/ InCorrect Size Match (%d vs %d correct)\n";
constexpr char kSizeMismatch[] =
    "%s is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (%d vs %d correct)\n";
constexpr char kBetaOneDigit[] = "%s is Beta ver %s - NOT FOR PRODUCTION  - Release is %s\n";
constexpr char kBetaTwoDigit[] = "%s is Beta %s - NOT FOR PRODUCTION  - Release is %s\n";
constexpr char kOlder[] = "%s is Older ver %s - WRONG VERSION  - Release is %s\n";
constexpr char kNewer[] = "%s is Newer ver %s - Known Release in this PGM is %s\n";
constexpr char kObsoleteTest[] = "%s is old Test Rel ver %s - OBSOLETE  - Final Ver %s\n";
constexpr char kNewerTest[] = "%s is UnKnown Test Rel ver %s - NEWER TEST  - Known Rel Ver %s\n";
constexpr char kUnrecognizedMarker[] =
    "%s is unrecognized  Rel ver %s - NOT FINAL RELEASE  - Final Ver %s\n";
constexpr char kCurrentTest[] =
    "%s is Current Test Rel ver %s - TEST RELEASE  - Current Rel Ver %s\n";
constexpr char kUnrecognized[] = "%s is unrecognized Rel ver %s - Known Release in this PGM is %s\n";
constexpr char kPreRelease12[] =
    "%s is Test Rel %s - Initial ver 12 Pre RELEASE  - Final Ver will be %s\n";
constexpr char kPreRelease11[] =
    "%s is Test Rel %s - Initial ver 11 Pre RELEASE  - Final Ver will be %s\n";
constexpr char kTwoDigitTest[] = "%s is Test Rel %s - NOT FINAL RELEASE  - Final Ver %s\n";

// A build that carries generation 7 may be for either FWP 7.0 range: the status names
// neither, and the verdict below it tells them apart by size where it can.
constexpr char kGeneration7Host[] = "FWP 7.0.x.x (see below)";

// Fills each %s or %d of `pattern` with the next argument, already written as text.
// Nothing is ever cut, whatever the length of a file name, tag or size. The text is
// sized once and filled a run of the pattern at a time: every block of a report
// passes through here.
std::string fillIn(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
    std::string text;
    text.reserve(std::accumulate(arguments.begin(), arguments.end(), pattern.size(),
                                 [](std::size_t sum, std::string_view argument) { return sum + argument.size(); }));
    auto next = arguments.begin();
    std::size_t copied = 0;  // the pattern before this offset is in the text
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] == '%' && (pattern[i + 1] == 's' || pattern[i + 1] == 'd') && next != arguments.end()) {
            text.append(pattern.substr(copied, i - copied));
            text.append(*next++);
            copied = i + 2;
            ++i;
        }
    }
    text.append(pattern.substr(copied));
    return text;
}

// Tag and release-code characters compare as signed bytes: digits in numeric order,
// letters above digits, and bytes of 0x80 and above below everything.
std::int8_t at(const char* text, int index) { return static_cast<std::int8_t>(text[index]); }

// Where the release characters sit in a tag of either layout.
struct ReleaseLayout {
    int major;   // compared with the release code's major digit; "b" marks a beta
    int minor;   // compared with the minor digit
    int marker;  // first character after the release: "r" test, NUL end of tag
    const char* betaText;
};

constexpr ReleaseLayout kOneDigitLayout{6, 8, 9, kBetaOneDigit};
constexpr ReleaseLayout kTwoDigitLayout{7, 9, 10, kBetaTwoDigit};

class Judge {
public:
    Judge(int position, const VersionTag& tag, std::int64_t byteCount)
        : position_(position),
          tag_(tag.text),
          code_(kApplicationCatalogue[position].releaseCode),
          name_(kApplicationCatalogue[position].fileName),
          shownTag_(printableTag(tag)),
          byteCount_(byteCount) {
        verdict_.generation = readGeneration(tag);
    }

    Verdict judge() && {
        const GenerationReading& generation = verdict_.generation;
        if (generation.twoDigit)
            judgeTwoDigit();
        else
            judgeOneDigit();
        verdict_.statusLine = kStatusPrefix;
        if (!generation.twoDigit && generation.sizeRow == 1)
            verdict_.statusLine += kGeneration7Host;
        else
            verdict_.statusLine += kHostGenerations[generation.generationIndex].label;
        return std::move(verdict_);
    }

private:
    std::int64_t expectedSize(int sizeRow) const { return kExpectedSizeTable[sizeRow][position_]; }

    void decide(VerdictKind kind, const char* pattern) {
        verdict_.kind = kind;
        verdict_.verdictText = fillIn(pattern, {name_, shownTag_, code_});
    }

    void decideSize(VerdictKind kind, const char* pattern, int sizeRow) {
        verdict_.kind = kind;
        verdict_.verdictText = fillIn(pattern, {name_, std::to_string(byteCount_),
                                                std::to_string(expectedSize(sizeRow))});
    }

    bool releaseMatches(const ReleaseLayout& layout) const {
        return at(tag_, layout.major) == at(code_, 2) && at(tag_, layout.minor) == at(code_, 4) &&
               at(tag_, layout.marker) == at(code_, 5);
    }

    void judgeOneDigit() {
        const std::optional<int> row = verdict_.generation.sizeRow;
        // An unrecognised generation has no size row to judge a correct release by. Every
        // release code of the catalogue has five characters, so a tag that matches one has
        // nothing after its minor digit.
        if (row && releaseMatches(kOneDigitLayout) && textLength(tag_) == textLength(code_) + 4) {
            if (byteCount_ == expectedSize(*row) && *row == 1) {
                verdict_.fwp70Range = Fwp70Range::Later;
                decideSize(VerdictKind::Correct, kCorrectLater7, *row);
            } else if (byteCount_ == expectedSize(*row)) {
                decideSize(VerdictKind::Correct, kCorrect, *row);
            } else if (*row == 1 && byteCount_ == expectedSize(2)) {
                // The same tag ships for both FWP 7.0 ranges; only the size tells them apart.
                verdict_.fwp70Range = Fwp70Range::Earlier;
                decideSize(VerdictKind::Correct, kCorrectEarlier7, *row);
            } else if (*row == 1) {
                decideSize(VerdictKind::SizeMismatch, kSizeMismatch7, 1);
            } else {
                decideSize(VerdictKind::SizeMismatch, kSizeMismatch, *row);
            }
            return;
        }
        judgeRelease(kOneDigitLayout);
    }

    void judgeTwoDigit() {
        const GenerationReading& generation = verdict_.generation;
        if (releaseMatches(kTwoDigitLayout) && textLength(tag_) == textLength(code_) + 5) {
            if (byteCount_ == expectedSize(*generation.sizeRow))
                decideSize(VerdictKind::Correct, kCorrect, *generation.sizeRow);
            else
                decideSize(VerdictKind::SizeMismatch, kSizeMismatch, *generation.sizeRow);
            return;
        }
        // A matching release whose tag is cut short by a NUL goes on like any other.
        if (tag_[kTwoDigitLayout.marker] == 't') {
            if (generation.generationIndex == kGenerationFwp120)
                return decide(VerdictKind::PreRelease, kPreRelease12);
            if (generation.generationIndex == kGenerationFwp110)
                return decide(VerdictKind::PreRelease, kPreRelease11);
            return decide(VerdictKind::Test, kTwoDigitTest);
        }
        judgeRelease(kTwoDigitLayout);
    }

    // The release characters differ from the catalogue's, or the tag goes on after them.
    void judgeRelease(const ReleaseLayout& layout) {
        const std::int8_t major = at(tag_, layout.major);
        const std::int8_t minor = at(tag_, layout.minor);
        const char marker = tag_[layout.marker];
        if (major != at(code_, 2)) {
            // "b" ranks above every digit, but a beta is never newer.
            if (tag_[layout.major] == 'b') return decide(VerdictKind::Beta, layout.betaText);
            if (major < at(code_, 2)) return decide(VerdictKind::Older, kOlder);
            return decide(VerdictKind::Newer, kNewer);
        }
        if (minor != at(code_, 4)) {
            if (marker == 'r' && minor < at(code_, 4)) return decide(VerdictKind::Older, kObsoleteTest);
            if (marker == 'r') return decide(VerdictKind::Newer, kNewerTest);
            if (marker != '\0') return decide(VerdictKind::Unrecognized, kUnrecognizedMarker);
            if (minor < at(code_, 4)) return decide(VerdictKind::Older, kOlder);
            return decide(VerdictKind::Newer, kNewer);
        }
        if (marker == 'r') return decide(VerdictKind::Test, kCurrentTest);
        decide(VerdictKind::Unrecognized, kUnrecognized);
    }

    int position_;
    const char* tag_;
    const char* code_;
    const char* name_;
    std::string shownTag_;
    std::int64_t byteCount_;
    Verdict verdict_{};
};

}  // namespace

GenerationReading readGeneration(const VersionTag& tag) {
    // The first generation whose number the tag carries after "ver ". No one-digit
    // number is a 1, so "10" to "12" are never read as one digit.
    for (int index = 0; index < kGenerationLabelCount; ++index) {
        const HostGeneration& generation = kHostGenerations[index];
        const char* number = generation.generationNumber;
        if (number[0] == '\0' || tag.text[4] != number[0]) continue;
        const bool twoDigit = number[1] != '\0';
        if (twoDigit && tag.text[5] != number[1]) continue;
        return {static_cast<GenerationIndex>(index), generation.sizeRow, twoDigit};
    }
    return {kGenerationUnrecognized, std::nullopt, false};
}

void Verdict::addTo(RunTally& tally) const {
    ++tally.count(fwp70Range == Fwp70Range::Earlier ? kGenerationFwp70Earlier : generation.generationIndex);
    ++tally.count(kind);
    if (fwp70Range == Fwp70Range::Later) ++tally.fwp70LaterBySizeCount;
}

Verdict judgeApplication(int position, const VersionTag& tag, std::int64_t byteCount) {
    return Judge(position, tag, byteCount).judge();
}

std::string printableTag(const VersionTag& tag) {
    std::string shown(tag.text, static_cast<std::size_t>(textLength(tag.text)));
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) c = '?';
    }
    return shown;
}

}  // namespace vud
