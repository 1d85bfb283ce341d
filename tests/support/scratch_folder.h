// A fresh, empty folder that becomes the working folder for the length of a test,
// as the checker is always run inside the folder of the application files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace vud::testing {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// Writes `bytes` to `name` in the working folder, replacing any earlier file.
void writeFile(const std::string& name, std::string_view bytes);

// The whole of a file, byte for byte; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// The bytes of an application file of exactly `size` bytes: filler text that holds no
// "ver ", with `tag` (written as given, NULs included) at `offset`.
std::string applicationBytes(std::size_t size, std::string_view tag, std::size_t offset = 64);

// Writes those bytes to `name` in the working folder.
void writeApplication(const std::string& name, std::size_t size, std::string_view tag,
                      std::size_t offset = 64);

}  // namespace vud::testing
