#include "installation.h"

#include <fstream>
#include <random>
#include <stdexcept>

#include "catalogue/catalogue.h"

namespace vud::bench {

BenchFolder::BenchFolder() : previous_(std::filesystem::current_path()) {
    std::random_device entropy;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("vudcheck-bench-" + std::to_string(entropy()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            std::filesystem::current_path(path_);
            return;
        }
    }
    throw std::runtime_error("cannot create a benchmark folder");
}

BenchFolder::~BenchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void writeApplication(const std::string& name, std::size_t size, std::string_view tag,
                      std::size_t offset) {
    if (offset + tag.size() > size) throw std::logic_error("tag does not fit the file");
    // Plenty of "v" bytes, so the tag finder cannot skip through the data unhindered,
    // but none of them starts a "ver ".
    static constexpr char kFiller[] = "MA\r\n\x1a\0vendor-vault vVv val=0x7f \0\0\xff";
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = kFiller[i % (sizeof kFiller - 1)];
    bytes.replace(offset, tag.size(), tag);
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
}

void writeCorrectInstallation() {
    constexpr int kFwp110SizeRow = 7;
    for (int position = 0; position < kApplicationCount; ++position) {
        const ApplicationEntry& entry = kApplicationCatalogue[position];
        // The release code's leading "F" stands where the tag has its generation number.
        std::string tag = std::string("ver 11") + (entry.releaseCode + 1);
        tag += '\0';
        const auto size = static_cast<std::size_t>(kExpectedSizeTable[kFwp110SizeRow][position]);
        writeApplication(entry.fileName, size, tag, 200);
    }
}

}  // namespace vud::bench
