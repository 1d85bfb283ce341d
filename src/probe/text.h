// The two small text routines the checker's own code shares.
#pragma once

#include <cstddef>

namespace vud {

// Number of characters before the first NUL.
int textLength(const char* text);

// Copies `source` and a NUL into `destination`, which holds `destinationSize`
// bytes: at most destinationSize - 1 characters are copied, so it never writes past
// the field. A zero-sized destination is left untouched.
void copyText(const char* source, char* destination, std::size_t destinationSize);

}  // namespace vud
