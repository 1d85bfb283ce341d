// The report reader against the checker's own printing: a saved report that the
// fleet accepts must be, line for line, what the checker prints for the blocks it was
// read as. The libFuzzer target and the corpus replay test share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vud::fuzzing {

// The input is a saved report as it lies on disk, in any encoding. Reads it; when it
// is accepted, prints its blocks (each with the tag it was read as) and the summary of
// its tally again through the checker's own code and compares the lines with those
// read, and compares the record with that tally. When it is refused, checks that the
// refusal names a line and leaves no applications behind. Returns an empty text when
// all holds, else what differs.
std::string findReportReaderMismatch(const std::uint8_t* data, std::size_t size);

}  // namespace vud::fuzzing
