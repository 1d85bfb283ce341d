// A whole verification run over a complete, correct installation, its report thrown
// away: reading 41 files, judging them and formatting the report, without the cost of
// a terminal or a process start.
#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>

#include "installation.h"
#include "probe/installed_folder.h"
#include "verify/verification.h"

namespace vud::bench {
namespace {

// Accepts every character and keeps none.
class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type character) override { return traits_type::not_eof(character); }
    std::streamsize xsputn(const char_type*, std::streamsize count) override { return count; }
};

void wholeRunOverACorrectInstallation(benchmark::State& state) {
    BenchFolder folder;
    writeCorrectInstallation();
    NullBuffer nothing;
    std::ostream out(&nothing);
    for (auto _ : state) {
        InstalledFolder workingFolder;
        runVerification(workingFolder, out);
    }
    if (!out) state.SkipWithError("the report stream failed");
}

BENCHMARK(wholeRunOverACorrectInstallation)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vud::bench
