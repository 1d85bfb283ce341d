// The version tag search, the one the loader and the run both use, against the
// plainest search there is: over data given at once, and over data that grows as the
// loader reads a file. The libFuzzer target and the corpus replay test share it;
// the installation check uses the same reference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "probe/file_image.h"

namespace vud::fuzzing {

// Compares what the finder returned for data[0, count) with a byte-by-byte search:
// the first "ver " that lies wholly inside the data, its 12 bytes with NUL where they
// would lie beyond the data, and a closing NUL. Returns an empty text when they agree,
// else what differs. The caller may vouch that the first `nulBefore` bytes are all
// NUL, which holds no marker: the search then starts there.
std::string compareWithPlainSearch(const unsigned char* data, std::size_t count,
                                   const std::optional<VersionTag>& tag, std::int32_t position,
                                   std::size_t nulBefore = 0);

// The input is a little program that writes the data to search, so that libFuzzer's
// mutations land on what the finder's shortcuts could get wrong: data thick with
// near-markers, and markers that straddle the edge of a 256-byte block. Byte by byte:
//   0xF0 "v"   0xF1 "ve"   0xF2 "ver"   0xF3 "ver "
//   0xF4 k     the filler, repeated up to the next 256-byte edge moved by (k % 16) - 8
//   0xF5 f     the filler from here on: one of a few runs of near-markers, by f
//   0xF6 n     (n % 16) + 1 blocks of filler, 256 bytes each: markers far into a file
//   0xF7 b     the byte b itself, for the bytes 0xF0 to 0xF7
//   other      itself
// The filler starts as "v". The data stops at the image's capacity, 400,000 bytes.
// Runs the search over the data, in a block of memory of exactly its size, given at
// once as the run gives it, and then given the data as far as each command wrote it and
// then whole, as the loader gives it; returns what compareWithPlainSearch says of the
// first that differs.
std::string findTagFinderMismatch(const std::uint8_t* input, std::size_t size);

}  // namespace vud::fuzzing
