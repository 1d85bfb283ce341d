#include "installation.h"

#include <stdexcept>

#include "catalogue/catalogue.h"

namespace vud::bench {

void writeApplication(const std::string& name, std::size_t size, std::string_view tag,
                      std::size_t offset) {
    if (offset + tag.size() > size) throw std::logic_error("tag does not fit the file");
    // Plenty of "v" bytes, so the tag finder cannot skip through the data unhindered,
    // but none of them starts a "ver ".
    static constexpr char kFiller[] = "MA\r\n\x1a\0vendor-vault vVv val=0x7f \0\0\xff";
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = kFiller[i % (sizeof kFiller - 1)];
    bytes.replace(offset, tag.size(), tag);
    testing::writeFile(name, bytes);
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
