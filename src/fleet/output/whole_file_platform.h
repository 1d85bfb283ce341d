// What a file written whole asks of the system, one file per platform
// (whole_file_posix.cpp, whole_file_win32.cpp).
#pragma once

#include <filesystem>
#include <string>

namespace vud::fleet {

// Makes a new empty file beside `path`, in its folder, under a name no other file has,
// and names it in `temporary`; false, and `problem` set, when none can be made.
bool createBeside(const std::filesystem::path& path, std::filesystem::path& temporary, std::string& problem);

// Has the system write the file's bytes to the disk, so that a power cut after the
// rename cannot leave the name on an empty file.
bool keepOnDisk(const std::filesystem::path& file, std::string& problem);

// Gives `temporary` the name `path` in one step, in place of a file so named.
bool replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& path, std::string& problem);

}  // namespace vud::fleet
