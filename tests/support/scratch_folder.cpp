#include "support/scratch_folder.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vud::testing {

ScratchFolder::ScratchFolder() : previous_(std::filesystem::current_path()) {
    static std::atomic<unsigned> serial{0};
    std::random_device entropy;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("vudcheck-test-" + std::to_string(entropy()) + "-" +
                                       std::to_string(serial++));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            std::filesystem::current_path(path_);
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::string& name, std::string_view bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string applicationBytes(std::size_t size, std::string_view tag, std::size_t offset) {
    if (offset + tag.size() > size) throw std::logic_error("tag does not fit the file");
    // Filler with CR LF, 0x1A and NUL bytes, as real application files have, and no 'v'.
    static constexpr char kFiller[] = "MA\r\n\x1a\0FWP-app-data 0123456789 ";
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = kFiller[i % (sizeof kFiller - 1)];
    bytes.replace(offset, tag.size(), tag);
    return bytes;
}

void writeApplication(const std::string& name, std::size_t size, std::string_view tag,
                      std::size_t offset) {
    writeFile(name, applicationBytes(size, tag, offset));
}

}  // namespace vud::testing
