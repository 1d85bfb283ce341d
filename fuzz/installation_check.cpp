#include "installation_check.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <numeric>
#include <optional>
#include <sstream>
#include <vector>

#include "catalogue/catalogue.h"
#include "probe/file_image.h"
#include "probe/memory_installation.h"
#include "probe/text.h"
#include "verify/run_tally.h"
#include "verify/summary.h"
#include "verify/verdict.h"
#include "verify/verification.h"

namespace vud::fuzzing {
namespace {

constexpr std::int64_t kHugeFileSize = 10'000'000'000;

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

// The size of the file that `piece` describes at `position`.
std::int64_t fileSize(int position, std::string_view piece) {
    const char kind = piece.front();
    if (kind == 'Z') return static_cast<std::int64_t>(kFileImageCapacity);
    if (kind == 'z') return kHugeFileSize;
    if (kind >= 'a' && kind <= 'i') return kExpectedSizeTable[kind - 'a'][position];
    if (kind >= 'A' && kind <= 'I') return kExpectedSizeTable[kind - 'A'][position] + 1;
    return static_cast<std::int64_t>(piece.size() - 1);
}

// Puts the file that `piece` describes at `position`, holding the piece's bytes. Where
// the piece stands for the end of a full image, the NULs before it are left out: they
// neither hold nor complete a marker, so the held bytes end where the image would, and
// the run reports the same. A full image for each such file cost more than the run.
void putFile(MemoryInstallation& installation, int position, std::string_view piece) {
    const char kind = piece.front();
    std::string_view bytes = piece.substr(1);
    const std::int64_t byteCount = fileSize(position, piece);
    if (kind == 'Z' || kind == 'z')
        bytes = bytes.substr(bytes.size() - std::min(bytes.size(), kFileImageCapacity));
    else
        bytes = bytes.substr(0, static_cast<std::size_t>(byteCount));  // a file holds no more than its size
    installation.put(position, std::string(bytes), byteCount);
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

std::int64_t sumOfGenerationCounts(const RunTally& tally) {
    return std::accumulate(tally.generations.begin(), tally.generations.end(), std::int64_t{0});
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
        MemoryInstallation installation;
        for (int position = 0; position < kApplicationCount; ++position) {
            if (pieces[position].empty())
                ++missing_;
            else
                putFile(installation, position, pieces[position]);
        }
        int expectedPosition = 0;
        const RunTally tally = verifyInstallation(installation, [&](const ApplicationOutcome& outcome) {
            if (outcome.position != expectedPosition++)
                return fail("applications not handed on once each in catalogue order");
            checkApplication(outcome, pieces[static_cast<std::size_t>(outcome.position)]);
        });
        if (expectedPosition != kApplicationCount) fail("not every application handed on");
        if (!broken_.empty()) return broken_;
        checkTally(tally);
        if (!broken_.empty()) return broken_;

        // The report as the program prints it, from a second run over the same files.
        runVerification(installation, report_);
        checkReport(report_.view(), tally);
        return broken_;
    }

private:
    void fail(const std::string& what) {
        if (broken_.empty()) broken_ = what;
    }

    void checkApplication(const ApplicationOutcome& outcome, std::string_view piece) {
        const char* fileName = kApplicationCatalogue[outcome.position].fileName;
        if ((outcome.state == ApplicationOutcome::State::NotFound) != piece.empty())
            return fail(std::string(fileName) + (piece.empty() ? ": found without a file" : ": not found"));
        if (outcome.state != ApplicationOutcome::State::Judged) return;
        if (outcome.byteCount != fileSize(outcome.position, piece))
            return fail(std::string(fileName) + ": judged by a size the file does not have");

        const Verdict& verdict = outcome.verdict;
        checkVerdict(fileName, verdict);
        RunTally alone;
        verdict.addTo(alone);
        // Each application with a tag adds one to exactly one verdict kind, and one to
        // exactly one host generation.
        if (judgedCount(alone.verdicts) != 1) fail(std::string(fileName) + ": not in exactly one verdict counter");
        if (sumOfGenerationCounts(alone) != 1)
            fail(std::string(fileName) + ": not counted for exactly one host generation");
        const std::int32_t sevens = alone.count(kGenerationFwp70Later) + alone.count(kGenerationFwp70Earlier);
        if (alone.fwp70LaterBySizeCount + alone.count(kGenerationFwp70Earlier) >
            sevens * alone.count(VerdictKind::Correct))
            fail(std::string(fileName) + ": an FWP 7.0 range counted for a build that is no correct generation-7 build");

        const std::string shown = printableTag(outcome.tag);
        if (shown.size() != static_cast<std::size_t>(textLength(outcome.tag.text)))
            fail(std::string(fileName) + ": shown tag is not as long as the tag");
        counted_.push_back({fileName, shown, outcome.byteCount,
                            static_cast<int>(std::count(verdict.verdictText.begin(), verdict.verdictText.end(), '\n'))});
    }

    void checkVerdict(const char* fileName, const Verdict& verdict) {
        const std::string name(fileName);
        if (!endsWith(verdict.verdictText, "\n")) fail(name + ": verdict text does not end its line");
        if (!startsWith(verdict.verdictText, name + " is ")) fail(name + ": verdict text does not name the file");
        if (verdict.statusLine.find('\n') != std::string::npos) fail(name + ": status line holds a newline");
    }

    void checkTally(const RunTally& tally) {
        const std::int64_t counted = static_cast<std::int64_t>(counted_.size());
        if (judgedCount(tally.verdicts) != counted) fail("verdict counters do not add up to the applications counted");
        if (sumOfGenerationCounts(tally) != counted)
            fail("generation counts do not add up to the applications counted");
        if (tally.notFoundCount != missing_) fail("not-found count is not the number of missing files");
        const int mixed = mixedGenerationCount(tally);
        if (mixed < 0 || mixed > 9) fail("mixed-generation count out of range");
    }

    void checkReport(std::string_view report, const RunTally& tally) {
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

        if (mixedGenerationCount(tally) > 1) {
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
        for (std::size_t kind = 0; kind < tally.verdicts.size(); ++kind)
            nonZero += kind != static_cast<std::size_t>(VerdictKind::Correct) && tally.verdicts[kind] > 0;
        if (findingLines != nonZero) return fail("finding lines do not match the kinds of finding");
        if (findings != static_cast<std::int64_t>(counted_.size()) - tally.count(VerdictKind::Correct))
            return fail("finding lines do not add up to the applications that are not correct");

        std::string_view correct = next();
        if (tally.count(VerdictKind::Correct) == kApplicationCount
                ? correct != "All (41) Applications were Located and All are CORRECT PRODUCTION VERSION"
                : !skipNumber(correct, tally.count(VerdictKind::Correct)) ||
                      correct != " of (41) Applications were Located as CORRECT PRODUCTION VERSIONS")
            return fail("correct line is wrong");
        if (missing_ > 0) {
            std::string_view notFound = next();
            if (!skipNumber(notFound, missing_) || notFound != " Applications NOT FOUND")
                return fail("not-found line is wrong");
        }
        if (tally.count(VerdictKind::Newer) > 0) {
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
