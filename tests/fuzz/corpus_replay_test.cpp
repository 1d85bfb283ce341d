// Every installation the fuzzer starts from, and every input it ever broke an
// invariant with, runs through the same checks in the ordinary test build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "installation_check.h"

namespace vud {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzCorpus, EveryInstallationKeepsTheInvariants) {
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VUD_FUZZ_CORPUS)) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string input = slurp(entry.path());
        EXPECT_EQ("", fuzzing::findBrokenInvariant(reinterpret_cast<const std::uint8_t*>(input.data()),
                                                   input.size()));
        ++replayed;
    }
    EXPECT_GT(replayed, 0) << "no corpus in " << VUD_FUZZ_CORPUS;
}

}  // namespace
}  // namespace vud
