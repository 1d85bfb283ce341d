// Runs the checker's own verification run (tag search, verdict rules, summary) over an
// installation made up from raw bytes and held in memory, and checks what must hold
// whatever the files hold. The libFuzzer target and the corpus replay test share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vud::fuzzing {

// The input is an installation: the application files in catalogue order, separated
// by this line. An input without it is one file, the first application's. Files
// beyond the catalogue's 41 are ignored; an empty piece is a missing file, and the
// applications after the last piece are missing too.
inline constexpr std::string_view kFileSeparator = "\n--\n";

// The first byte of a piece says how large the file is; the rest are its first bytes.
//   'a' to 'i'   the expected size of size row 0 to 8 for that application
//   'A' to 'I'   that expected size plus one
//   'Z'          exactly the image's capacity, the rest of the piece at its very end
//   'z'          10,000,000,000 bytes, as 'Z' for the bytes that the image holds
//   other        the piece's own length (header byte excluded)
// Bytes between the piece's end and the file's size are NUL: they can neither hold
// nor complete a marker, so the piece's own bytes stand for all that a loader holds.

// Runs the installation through the checker's run. Returns an empty text when
// every invariant holds, else a description of the first one broken.
std::string findBrokenInvariant(const std::uint8_t* data, std::size_t size);

}  // namespace vud::fuzzing
