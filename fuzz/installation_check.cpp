#include "installation_check.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "catalogue/catalogue.h"
#include "probe/file_image.h"
#include "probe/text.h"
#include "tag_finder_check.h"
#include "verify/run_tally.h"
#include "verify/summary.h"
#include "verify/verdict.h"
#include "verify/verification.h"

namespace vud::fuzzing {
namespace {

constexpr std::int64_t kHugeFileSize = 10'000'000'000;

// One application file as the loader would leave it in the image.
struct ApplicationFile {
    // Exactly the bytes held: they end where their block of memory ends, so that a
    // read past the held bytes is a read past an allocation.
    const unsigned char* held = nullptr;
    std::size_t heldCount = 0;
    std::size_t nulBefore = 0;  // the held bytes before this offset are all NUL
    std::int64_t byteCount = 0;
};

// Where the held bytes of one file at a time live. A full image is 400,000 bytes:
// allocating and clearing one for every such file cost more than all the rest of a
// run, so one image is kept, cleared once, and only the bytes that the last file
// wrote at its end are cleared again before the next one.
class ImageStore {
public:
    ApplicationFile fileFromPiece(int position, std::string_view piece) {
        ApplicationFile file;
        const char kind = piece.front();
        std::string_view bytes = piece.substr(1);

        if (kind == 'Z' || kind == 'z') {
            // The image is full: the piece's bytes are its last ones, up against the end.
            bytes = bytes.substr(bytes.size() - std::min(bytes.size(), kFileImageCapacity));
            unsigned char* image = fullImage();
            std::fill(image + kFileImageCapacity - written_, image + kFileImageCapacity, 0);
            std::copy(bytes.begin(), bytes.end(), image + kFileImageCapacity - bytes.size());
            written_ = bytes.size();
            file.held = image;
            file.heldCount = kFileImageCapacity;
            file.nulBefore = kFileImageCapacity - bytes.size();
            file.byteCount = kind == 'Z' ? static_cast<std::int64_t>(kFileImageCapacity) : kHugeFileSize;
            return file;
        }

        file.byteCount = static_cast<std::int64_t>(bytes.size());
        if (kind >= 'a' && kind <= 'i') file.byteCount = kExpectedSizeTable[kind - 'a'][position];
        if (kind >= 'A' && kind <= 'I') file.byteCount = kExpectedSizeTable[kind - 'A'][position] + 1;
        // A file cannot hold more bytes than its size.
        bytes = bytes.substr(0, static_cast<std::size_t>(file.byteCount));
        // A block of exactly this size, however small: a vector would keep spare room.
        piece_.reset(new unsigned char[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), piece_.get());
        file.held = piece_.get();
        file.heldCount = bytes.size();
        return file;
    }

private:
    // NUL throughout but for the last `written_` bytes.
    static unsigned char* fullImage() {
        static const std::unique_ptr<unsigned char[]> image(new unsigned char[kFileImageCapacity]());
        return image.get();
    }

    std::unique_ptr<unsigned char[]> piece_;
    static inline std::size_t written_ = 0;
};

// The installation: the piece of each application that has a file, in catalogue order.
std::array<std::string_view, kApplicationCount> splitInstallation(std::string_view input) {
    std::array<std::string_view, kApplicationCount> pieces;
    for (int position = 0; position < kApplicationCount; ++position) {
        const std::size_t end = input.find(kFileSeparator);
        pieces[position] = input.substr(0, end);
        if (end == std::string_view::npos) break;
        input.remove_prefix(end + kFileSeparator.size());
    }
    return pieces;
}

bool printable(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isDecimal(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The counters by kind. Each application with a tag adds one to exactly one of each.
constexpr TallyCounter kVerdictCounters[] = {
    &RunTally::correctCount, &RunTally::sizeMismatchCount, &RunTally::betaCount,
    &RunTally::testCount,    &RunTally::preReleaseCount,   &RunTally::olderCount,
    &RunTally::newerCount,   &RunTally::unrecognizedCount,
};
constexpr TallyCounter kGenerationCounters[] = {
    &RunTally::gen2Count,  &RunTally::gen7Count,  &RunTally::gen6Count,
    &RunTally::gen8Count,  &RunTally::gen9Count,  &RunTally::gen10Count,
    &RunTally::gen11Count, &RunTally::gen12Count, &RunTally::otherGenerationCount,
};

template <std::size_t N>
std::int64_t sumOf(const RunTally& tally, const TallyCounter (&counters)[N]) {
    std::int64_t sum = 0;
    for (TallyCounter counter : counters) sum += tally.*counter;
    return sum;
}

// What one application contributed, kept to check its block in the report.
struct CountedApplication {
    const char* fileName;
    std::string shownTag;
    std::int64_t byteCount;
    int verdictLines;
};

class InstallationCheck {
public:
    InstallationCheck() {
        // Room for the longest report at once, rather than a copy at each doubling.
        std::string room;
        room.reserve(16 * 1024);
        report_.str(std::move(room));
        counted_.reserve(kApplicationCount);
    }

    std::string run(std::string_view input) {
        const auto pieces = splitInstallation(input);
        for (int position = 0; position < kApplicationCount; ++position) {
            if (pieces[position].empty()) {
                ++missing_;
                ++tally_.notFoundCount;
                continue;
            }
            checkApplication(position, images_.fileFromPiece(position, pieces[position]));
            if (!broken_.empty()) return broken_;
        }
        printRunSummary(tally_, report_);
        checkTally();
        if (broken_.empty()) checkReport(report_.view());
        return broken_;
    }

private:
    void fail(const std::string& what) {
        if (broken_.empty()) broken_ = what;
    }

    void checkApplication(int position, const ApplicationFile& file) {
        const char* fileName = kApplicationCatalogue[position].fileName;
        std::int32_t tagPosition = 12345;
        const std::optional<VersionTag> tag = findVersionTag(file.held, file.heldCount, tagPosition);
        const std::string tagMismatch = compareWithPlainSearch(file.held, file.heldCount, tag, tagPosition, file.nulBefore);
        if (!tagMismatch.empty()) return fail(std::string(fileName) + ": " + tagMismatch);
        if (!tag) return;

        const Verdict verdict = judgeApplication(position, *tag, file.byteCount);
        checkVerdict(fileName, verdict);
        RunTally alone;
        verdict.addTo(alone);
        if (sumOf(alone, kVerdictCounters) != 1) fail(std::string(fileName) + ": not in exactly one verdict counter");
        if (sumOf(alone, kGenerationCounters) != 1)
            fail(std::string(fileName) + ": not in exactly one generation counter");
        if (alone.gen7LaterCount + alone.gen7EarlierCount > alone.gen7Count * alone.correctCount)
            fail(std::string(fileName) + ": an FWP 7.0 range counted for a build that is no correct generation-7 build");

        verdict.addTo(tally_);
        printApplicationBlock(report_, fileName, *tag, file.byteCount, verdict);
        const std::string shown = printableTag(*tag);
        if (shown.size() != static_cast<std::size_t>(textLength(tag->text)))
            fail(std::string(fileName) + ": shown tag is not as long as the tag");
        counted_.push_back({fileName, shown, file.byteCount,
                            static_cast<int>(std::count(verdict.verdictText.begin(), verdict.verdictText.end(), '\n'))});
    }

    void checkVerdict(const char* fileName, const Verdict& verdict) {
        const std::string name(fileName);
        if (verdict.verdictCounter == nullptr) fail(name + ": no verdict");
        if (!endsWith(verdict.verdictText, "\n")) fail(name + ": verdict text does not end its line");
        if (!startsWith(verdict.verdictText, name + " is ")) fail(name + ": verdict text does not name the file");
        if (verdict.statusLine.find('\n') != std::string::npos) fail(name + ": status line holds a newline");
    }

    void checkTally() {
        const std::int64_t counted = static_cast<std::int64_t>(counted_.size());
        if (sumOf(tally_, kVerdictCounters) != counted) fail("verdict counters do not add up to the applications counted");
        if (sumOf(tally_, kGenerationCounters) != counted)
            fail("generation counters do not add up to the applications counted");
        if (tally_.notFoundCount != missing_) fail("not-found count is not the number of missing files");
        const int mixed = mixedGenerationCount(tally_);
        if (mixed < 0 || mixed > 9) fail("mixed-generation count out of range");
    }

    void checkReport(std::string_view report) {
        for (char c : report)
            if (!printable(c) && c != '\t' && c != '\n') return fail("report holds a byte outside printable ASCII");
        if (!endsWith(report, "\n")) return fail("report does not end with a line end");

        // Line by line, each matched piece by piece: building the expected lines as
        // strings cost more than the run that printed them.
        std::string_view rest = report;
        auto next = [&]() -> std::string_view {
            if (rest.empty()) return "<missing>";
            const std::size_t end = rest.find('\n');
            const std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end + 1);
            return line;
        };
        auto peek = [&] { return rest.substr(0, rest.find('\n')); };

        for (const CountedApplication& application : counted_) {
            const std::string_view name(application.fileName);
            const std::string_view identification = next();
            std::string_view line = identification;
            char size[24];
            const auto sizeEnd = std::to_chars(std::begin(size), std::end(size), application.byteCount).ptr;
            if (!skip(line, "Application: ") || !skip(line, name) || !skip(line, "\tVersion: ") ||
                !skipBack(line, std::string_view(size, static_cast<std::size_t>(sizeEnd - size))) ||
                !skipBack(line, "  Size: ") || line != application.shownTag)
                return fail(std::string(name) + ": identification line is wrong: " + std::string(identification));
            std::string_view status = next();
            if (!skip(status, "   STATUS: Application Valid for: ") || !knownHostGeneration(status))
                return fail(std::string(name) + ": status line is wrong");
            std::string_view verdict = next();
            if (!skip(verdict, "    ") || !skip(verdict, name) || !skip(verdict, " is "))
                return fail(std::string(name) + ": verdict line is wrong");
            for (int line = 1; line < application.verdictLines; ++line)
                if (!startsWith(next(), " ")) return fail(std::string(name) + ": verdict's second line is not indented");
            if (!next().empty()) return fail(std::string(name) + ": block not closed by an empty line");
        }

        if (mixedGenerationCount(tally_) > 1) {
            if (next() != "WARNING Mixed version Applications found - FIX THIS SITUATION")
                return fail("mixed generations without their warning");
            for (std::size_t line = 0; line < 10; ++line) {
                const std::string_view count = next();
                const std::size_t space = count.find(" Applications found for ");
                if (space == std::string_view::npos || !isDecimal(count.substr(0, space)))
                    return fail("warning block line is wrong: " + std::string(count));
            }
        }

        if (next() != "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:") return fail("summary title missing");

        // Every application counted but not correct stands in exactly one finding line.
        std::int64_t findings = 0;
        int findingLines = 0;
        while (!rest.empty() && peek().find('\t') != std::string_view::npos) {
            const std::string_view finding = next();
            const std::string_view value = finding.substr(finding.find('\t') + 1);
            if (!isDecimal(value) || value == "0") return fail("finding line is wrong: " + std::string(finding));
            findings += std::stoll(std::string(value));
            ++findingLines;
        }
        int nonZero = 0;
        for (TallyCounter counter : kVerdictCounters) nonZero += counter != &RunTally::correctCount && tally_.*counter > 0;
        if (findingLines != nonZero) return fail("finding lines do not match the kinds of finding");
        if (findings != static_cast<std::int64_t>(counted_.size()) - tally_.correctCount)
            return fail("finding lines do not add up to the applications that are not correct");

        std::string_view correct = next();
        if (tally_.correctCount == kApplicationCount
                ? correct != "All (41) Applications were Located and All are CORRECT PRODUCTION VERSION"
                : !skipNumber(correct, tally_.correctCount) ||
                      correct != " of (41) Applications were Located as CORRECT PRODUCTION VERSIONS")
            return fail("correct line is wrong");
        if (missing_ > 0) {
            std::string_view notFound = next();
            if (!skipNumber(notFound, missing_) || notFound != " Applications NOT FOUND")
                return fail("not-found line is wrong");
        }
        if (tally_.newerCount > 0) {
            if (!next().empty() || next() != "WARNING :  Newer Applications Found")
                return fail("newer builds without the notice");
            for (int line = 0; line < 5; ++line) next();  // where to get a new checker, and the maker's contact lines
        }
        if (!rest.empty()) return fail("report goes on after the summary");
    }

    // Each takes `part` off the front (back) of `text` when it stands there.
    static bool skip(std::string_view& text, std::string_view part) {
        if (!startsWith(text, part)) return false;
        text.remove_prefix(part.size());
        return true;
    }
    static bool skipBack(std::string_view& text, std::string_view part) {
        if (!endsWith(text, part)) return false;
        text.remove_suffix(part.size());
        return true;
    }
    static bool skipNumber(std::string_view& text, std::int64_t number) {
        char digits[24];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
        return skip(text, std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }

    static bool knownHostGeneration(std::string_view label) {
        if (label == "FWP 7.0.x.x (see below)") return true;
        return std::any_of(std::begin(kHostGenerations), std::end(kHostGenerations),
                           [&](const HostGeneration& known) { return label == known.label; });
    }

    ImageStore images_;
    RunTally tally_;
    std::ostringstream report_;
    std::vector<CountedApplication> counted_;
    std::int32_t missing_ = 0;
    std::string broken_;
};

}  // namespace

std::string findBrokenInvariant(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    return InstallationCheck().run(input);
}

}  // namespace vud::fuzzing
