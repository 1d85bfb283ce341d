// Every input a fuzz target starts from, and every input it ever found a fault with,
// runs through the same checks in the ordinary test build.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "installation_check.h"
#include "reference_reader_check.h"
#include "report_reader_check.h"
#include "support/scratch_folder.h"
#include "tag_finder_check.h"

namespace vud {
namespace {

using testing::readFile;

struct Target {
    const char* corpus;  // under fuzz/corpus
    std::string (*check)(const std::uint8_t*, std::size_t);
};

const Target kTargets[] = {
    {"application", fuzzing::findBrokenInvariant},
    {"tag_finder", fuzzing::findTagFinderMismatch},
    {"report_reader", fuzzing::findReportReaderMismatch},
    {"reference_reader", fuzzing::findReferenceReaderMismatch},
};

TEST(FuzzCorpus, EveryInputPassesItsTargetsChecks) {
    for (const Target& target : kTargets) {
        const std::filesystem::path folder = std::filesystem::path(VUD_FUZZ_CORPUS) / target.corpus;
        int replayed = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            const std::string input = readFile(entry.path());
            EXPECT_EQ("", target.check(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
            ++replayed;
        }
        EXPECT_GT(replayed, 0) << "no corpus in " << folder;
    }
}

}  // namespace
}  // namespace vud
