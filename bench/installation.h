// Application files for the benchmarks, written into a folder of their own that
// becomes the working folder, as the checker is always run inside the folder of the
// application files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "support/scratch_folder.h"

namespace vud::bench {

// A fresh working folder for the length of a benchmark.
using BenchFolder = testing::ScratchFolder;

// Writes `size` bytes of application-like data (CR LF, 0x1A and NUL bytes, many "v"
// bytes but never a "ver ") with `tag` at `offset`.
void writeApplication(const std::string& name, std::size_t size, std::string_view tag,
                      std::size_t offset);

// Every application of the catalogue as the correct production build for FWP 11.0:
// its exact size and its current release, the tag a little way into the file.
void writeCorrectInstallation();

}  // namespace vud::bench
