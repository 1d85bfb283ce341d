// Loading one application file and finding its tag: the work the run repeats for
// every application. The file is the size of the largest correct build.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "installation.h"
#include "probe/file_image.h"
#include "probe/version_tag.h"

namespace vud::bench {
namespace {

using namespace std::string_literals;

// vud_fgm.ma for FWP 11.0, the largest expected size of the catalogue.
constexpr std::size_t kLargestBuild = 294012;
const std::string kTag = "ver 11.1.1\0"s;

enum class TagPlace { NearTheStart, AtTheVeryEnd };

void loadAndFind(benchmark::State& state, TagPlace place) {
    BenchFolder folder;
    const std::size_t offset = place == TagPlace::NearTheStart ? 200 : kLargestBuild - kTag.size();
    writeApplication("vud_fgm.ma", kLargestBuild, kTag, offset);
    const auto image = std::make_unique<FileImage>();

    for (auto _ : state) {
        image->reset();
        if (!image->load("vud_fgm.ma")) state.SkipWithError("the file did not load");
        auto tag = versionTagAt(image->data(), image->heldCount(), image->tagPosition());
        benchmark::DoNotOptimize(tag);
        if (image->tagPosition() != offset) state.SkipWithError("tag not found");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image->heldCount()));
}

// The scan alone, on bytes already in memory: what the finder adds to the read.
void findOnly(benchmark::State& state, TagPlace place) {
    BenchFolder folder;
    const std::size_t offset = place == TagPlace::NearTheStart ? 200 : kLargestBuild - kTag.size();
    writeApplication("vud_fgm.ma", kLargestBuild, kTag, offset);
    const auto image = std::make_unique<FileImage>();
    if (!image->load("vud_fgm.ma")) {
        state.SkipWithError("the file did not load");
        return;
    }
    // The load searched as it read and remembers the tag; search the bytes it holds anew.
    for (auto _ : state) {
        VersionTagSearch search;
        search.extend(image->data(), image->heldCount());
        auto tag = versionTagAt(image->data(), image->heldCount(), search.position());
        benchmark::DoNotOptimize(tag);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image->heldCount()));
}

// A file far larger than the image, its tag near the start, as a damaged or foreign
// file in the folder may be: the load reads no further than its tag.
void loadHugeSparseFile(benchmark::State& state) {
    BenchFolder folder;
    writeApplication("vud_fgm.ma", 1024, kTag, 200);
    std::error_code error;
    std::filesystem::resize_file("vud_fgm.ma", std::uintmax_t{1} << 30, error);
    if (error) {
        state.SkipWithError("this file system cannot hold a sparse 1 GiB file");
        return;
    }
    const auto image = std::make_unique<FileImage>();
    for (auto _ : state) {
        image->reset();
        if (!image->load("vud_fgm.ma")) state.SkipWithError("the file did not load");
        auto tag = versionTagAt(image->data(), image->heldCount(), image->tagPosition());
        benchmark::DoNotOptimize(tag);
    }
}

BENCHMARK_CAPTURE(loadAndFind, tag_near_the_start, TagPlace::NearTheStart);
BENCHMARK_CAPTURE(loadAndFind, tag_at_the_very_end, TagPlace::AtTheVeryEnd);
BENCHMARK_CAPTURE(findOnly, tag_near_the_start, TagPlace::NearTheStart);
BENCHMARK_CAPTURE(findOnly, tag_at_the_very_end, TagPlace::AtTheVeryEnd);
BENCHMARK(loadHugeSparseFile);

}  // namespace
}  // namespace vud::bench
