#include "probe/file_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vud {

std::optional<VersionTag> findVersionTag(const unsigned char* data, std::size_t count,
                                         std::int32_t& position) {
    position = -1;
    // A marker cut off by the end of the data is no marker.
    if (count < kVersionTagMarkerLength) return std::nullopt;
    const std::size_t lastStart = count - kVersionTagMarkerLength;
    std::size_t offset = 0;
    while (offset <= lastStart) {
        const void* hit = std::memchr(data + offset, kVersionTagMarker[0], lastStart + 1 - offset);
        if (hit == nullptr) return std::nullopt;
        offset = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
        if (std::memcmp(data + offset + 1, kVersionTagMarker + 1, kVersionTagMarkerLength - 1) == 0) {
            position = static_cast<std::int32_t>(offset);
            VersionTag tag{};
            // Bytes past the data belong to no file of this run: they stay NUL.
            const std::size_t available = std::min(kVersionTagLength, count - offset);
            std::memcpy(tag.text, data + offset, available);
            return tag;
        }
        ++offset;
    }
    return std::nullopt;
}

int FileImage::load(const char* name) {
    copyText(name, fileName_, sizeof fileName_);

    // Only a regular file is an application file. Opening a FIFO would block and a
    // device could be endless, so neither is ever opened.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(name, error);
    if (error || !std::filesystem::is_regular_file(status)) return 0;

    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return 0;
    std::setvbuf(file, nullptr, _IONBF, 0);  // one large read straight into the image

    std::size_t held = 0;
    while (held < kFileImageCapacity) {
        const std::size_t got = std::fread(contents_ + held, 1, kFileImageCapacity - held, file);
        if (got == 0) break;
        held += got;
    }
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);

    if (readFailed) {
        // A short count is not the file's size; the record is empty again.
        reset();
        return 0;
    }

    std::int64_t size = static_cast<std::int64_t>(held);
    if (held == kFileImageCapacity) {
        // Beyond the capacity the size comes from the file system: reading a
        // multi-gigabyte file to its end just to count it would take minutes.
        const std::uintmax_t onDisk = std::filesystem::file_size(name, error);
        if (!error) size = std::max(size, static_cast<std::int64_t>(onDisk));
    }
    byteCount_ = size;
    heldCount_ = held;
    return 1;
}

}  // namespace vud
