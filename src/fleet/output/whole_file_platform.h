// What a file written whole asks of the system, one file per platform
// (whole_file_posix.cpp, whole_file_win32.cpp).
#pragma once

#include <filesystem>
#include <string>

namespace vud::fleet {

enum class Created { Yes, Exists, Failed };

// Makes the new empty file `file`, never opening one that is there (nor following a
// link of that name); Failed with `problem` set when the system refuses for another
// reason.
Created createNew(const std::filesystem::path& file, std::string& problem);

// Has the system write the file's bytes to the disk, so that a power cut after the
// rename cannot leave the name on an empty file.
bool keepOnDisk(const std::filesystem::path& file, std::string& problem);

// Gives `temporary` the name `path` in one step, in place of a file so named.
bool replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& path, std::string& problem);

}  // namespace vud::fleet
