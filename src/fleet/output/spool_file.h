// The file that holds the dashboard's rows until the page is written, in each
// system's own way.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vud::fleet {

// A new temporary file, open for reading and writing, removed when it is closed; null
// when none can be made.
std::FILE* openSpoolFile();

// Moves to `offset` bytes from the start, beyond 2 GiB as well; false when it cannot.
bool seekSpoolFile(std::FILE* file, std::uint64_t offset);

}  // namespace vud::fleet
