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
    // A file whose bytes are fewer than its size ends short of what it reported, as
    // one cut while it was read.
    if (sink_ != nullptr && sink_->wantsWholeFile(FileHead{data, held, search.position(), file->second.byteCount})) {
        sink_->add(data, file->second.bytes.size());
        const bool whole = static_cast<std::int64_t>(file->second.bytes.size()) == file->second.byteCount;
        sink_->end(whole ? WholeRead::Steady : WholeRead::ChangedWhileRead);
    }
    return ApplicationBytes{data, held, file->second.byteCount, search.position()};
}

}  // namespace vud
