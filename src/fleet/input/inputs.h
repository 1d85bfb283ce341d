// One input of the fleet checker, whatever it is: a folder is scanned, "-" and any
// other path are read as a saved report, and a path that cannot be read gives an
// error record with the reason.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "fleet/record/records.h"

namespace vud::fleet {

class Reference;

// The reference build each block is held to (--reference); none without one.
struct ReferenceCheck {
    const Reference* reference = nullptr;
    bool required = false;  // --require-reference: a block not verified is a finding
};

// The path named by UTF-8 text, so that on Windows every Unicode character reaches the
// file system's wide-character calls.
std::filesystem::path pathFromUtf8(const std::string& text);

// Reads the whole file named by `path` (UTF-8) when it holds at most `largest` bytes.
// Sets `reason` and returns false when it cannot be read, or is larger.
bool readWholeFile(const std::string& path, std::size_t largest, std::string& bytes, std::string& reason);

// Reads `in` to its end when it holds at most `largest` bytes; stops at `largest` + 1
// and refuses, so no input fills the memory. Sets `reason` and returns false then.
bool readBounded(std::istream& in, std::size_t largest, std::string& bytes, std::string& reason);

// Checks the installation named by `path` (UTF-8); "-" reads a report from `standardInput`.
// Held to a reference, a folder's blocks are read whole where the reference holds their
// build, and a report's blocks are not verifiable.
InstallationRecord checkInput(const std::string& path, std::istream& standardInput, const ReferenceCheck& check = {});

}  // namespace vud::fleet
