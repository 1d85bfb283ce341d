#include "probe/memory_installation.h"

#include <algorithm>

#include "probe/file_image.h"

namespace vud {

void MemoryInstallation::put(int position, std::string bytes, std::optional<std::int64_t> byteCount) {
    const auto count = byteCount.value_or(static_cast<std::int64_t>(bytes.size()));
    files_.insert_or_assign(position, File{std::move(bytes), count});
}

std::optional<ApplicationBytes> MemoryInstallation::load(int position, const char* /*fileName*/) {
    const auto file = files_.find(position);
    if (file == files_.end()) return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(file->second.bytes.data());
    const std::size_t held = std::min(file->second.bytes.size(), kFileImageCapacity);
    // The search a folder's load makes as it reads.
    VersionTagSearch search;
    search.extend(data, held);
    return ApplicationBytes{data, held, file->second.byteCount, search.position()};
}

}  // namespace vud
