#include "reference_reader_check.h"

#include <algorithm>
#include <sstream>
#include <string_view>

#include "fleet/compare/reference.h"

namespace vud::fuzzing {
namespace {

using fleet::Reference;

// A refusal names a line that the input has (or the one past its last line), or the
// whole file.
std::string refusalMismatch(std::string_view bytes, const std::string& problem) {
    if (problem.rfind("larger than ", 0) == 0 || problem.rfind("no build in it", 0) == 0) return {};
    constexpr std::string_view kLine = "line ";
    if (problem.rfind(kLine, 0) != 0) return "a refusal that names no line: " + problem;
    std::size_t at = kLine.size();
    long number = 0;
    while (at < problem.size() && problem[at] >= '0' && problem[at] <= '9' && number < 100000000)
        number = number * 10 + (problem[at++] - '0');
    if (at == kLine.size() || problem.compare(at, 2, ": ") != 0 || at + 2 == problem.size())
        return "a refusal without a line number and a reason: " + problem;
    const long lines = static_cast<long>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    if (number < 1 || number > lines)
        return "a refusal at line " + std::to_string(number) + " of an input of " + std::to_string(lines) + " lines";
    return {};
}

}  // namespace

std::string findReferenceReaderMismatch(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string problem;
    const std::optional<Reference> read = Reference::parse(bytes, problem);
    if (!read) {
        if (problem.empty()) return "refused without a reason";
        return refusalMismatch(bytes, problem);
    }
    if (!problem.empty()) return "accepted with a reason to refuse: " + problem;
    if (read->buildCount() == 0) return "accepted without a build";
    if (read->fileDigest() != fleet::sha256Of(bytes)) return "the file's own digest is not that of its bytes";

    fleet::ReferenceMaker maker;
    std::string mismatch;
    read->forEachBuild([&](const std::string& file, const std::string& tag, std::int64_t buildSize,
                           const fleet::Sha256Digest& digest) {
        if (!mismatch.empty()) return;
        const fleet::Sha256Digest* found = read->find(file, tag, buildSize);
        if (found == nullptr || *found != digest) mismatch = "a build not found by its own file, tag and size";
        fleet::Sha256Digest other = digest;
        other[0] ^= 1;
        const auto judged = [&](const fleet::Sha256Digest& of) {
            return read->judge(file, tag, buildSize, fleet::FileDigest{of, WholeRead::Steady});
        };
        if (judged(digest) != fleet::ReferenceState::Verified) mismatch = "its own digest not verified";
        if (judged(other) != fleet::ReferenceState::Modified) mismatch = "another digest not modified";
        if (!maker.add("input", file, tag, buildSize, digest, problem)) mismatch = "one build twice: " + problem;
    });
    if (!mismatch.empty()) return mismatch;

    std::ostringstream written;
    maker.write(written, "fuzz");
    const std::optional<Reference> again = Reference::parse(written.str(), problem);
    if (!again) return "what the writer made of it is refused: " + problem;
    if (again->buildCount() != read->buildCount()) return "written again, it holds another number of builds";
    read->forEachBuild([&](const std::string& file, const std::string& tag, std::int64_t buildSize,
                           const fleet::Sha256Digest& digest) {
        const fleet::Sha256Digest* found = again->find(file, tag, buildSize);
        if (found == nullptr || *found != digest) mismatch = "written again, a build is lost or changed";
    });
    return mismatch;
}

}  // namespace vud::fuzzing
