// The reference reader against its own writer: a reference file that the fleet accepts
// must hold builds that the writer writes again and the reader reads back as the same
// builds, each found by its file name, tag and size and judged by its digest. The
// libFuzzer target and the corpus replay test share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vud::fuzzing {

// The input is a reference file as it lies on disk. Reads it; when it is accepted,
// checks its own digest, writes its builds again, reads that back and compares the
// builds, and judges each build's own digest verified and any other modified. When it
// is refused, checks that the refusal names a line within the input or is one of the
// refusals of the whole file. Returns an empty text when all holds, else what differs.
std::string findReferenceReaderMismatch(const std::uint8_t* data, std::size_t size);

}  // namespace vud::fuzzing
