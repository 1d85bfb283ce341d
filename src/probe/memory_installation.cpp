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
    const std::string& bytes = file->second.bytes;
    return ApplicationBytes{reinterpret_cast<const unsigned char*>(bytes.data()),
                            std::min(bytes.size(), kFileImageCapacity), file->second.byteCount};
}

}  // namespace vud
