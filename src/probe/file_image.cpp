#include "probe/file_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vud {

namespace {

// Zero exactly where the marker's four characters begin at `bytes`. Written without
// branches, so that a run of these tests over a block becomes a few vector operations.
inline unsigned char markerMismatch(const unsigned char* bytes) {
    static_assert(kVersionTagMarkerLength == 4);
    return static_cast<unsigned char>(
        (bytes[0] ^ kVersionTagMarker[0]) | (bytes[1] ^ kVersionTagMarker[1]) |
        (bytes[2] ^ kVersionTagMarker[2]) | (bytes[3] ^ kVersionTagMarker[3]));
}

constexpr std::size_t kScanBlock = 256;

// How much of a file longer than the image is read before looking for its tag; a
// build carries its tag near the start.
constexpr std::size_t kFirstReadOfLongFile = std::size_t{64} * 1024;

// Whether a whole marker begins anywhere in the block at `bytes`. Reads the block and
// the marker's length - 1 bytes behind it.
bool blockHoldsMarker(const unsigned char* bytes) {
    unsigned char least = 0xff;
    for (std::size_t i = 0; i < kScanBlock; ++i) {
        const unsigned char mismatch = markerMismatch(bytes + i);
        least = mismatch < least ? mismatch : least;
    }
    return least == 0;
}

}  // namespace

std::optional<VersionTag> findVersionTag(const unsigned char* data, std::size_t count,
                                         std::int32_t& position) {
    position = -1;
    // A marker cut off by the end of the data is no marker.
    if (count < kVersionTagMarkerLength) return std::nullopt;
    const std::size_t starts = count - kVersionTagMarkerLength + 1;  // where a whole marker fits
    std::size_t offset = 0;
    while (offset < starts) {
        // Most files hold few "v" bytes: jump from one to the next.
        const void* hit = std::memchr(data + offset, kVersionTagMarker[0], starts - offset);
        if (hit == nullptr) return std::nullopt;
        offset = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
        // In data thick with "v" bytes every jump would be a short one; passing over the
        // whole block behind a "v" at once keeps such files as quick to search as any.
        if (starts - offset >= kScanBlock && !blockHoldsMarker(data + offset)) {
            offset += kScanBlock;
            continue;
        }
        const std::size_t blockEnd = std::min(offset + kScanBlock, starts);
        for (; offset < blockEnd; ++offset) {
            if (markerMismatch(data + offset) != 0) continue;
            position = static_cast<std::int32_t>(offset);
            VersionTag tag{};
            // Bytes past the data belong to no file of this run: they stay NUL.
            const std::size_t available = std::min(kVersionTagLength, count - offset);
            std::memcpy(tag.text, data + offset, available);
            return tag;
        }
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
    // Beyond the capacity the size comes from the file system: reading a
    // multi-gigabyte file to its end just to count it would take minutes.
    const std::uintmax_t onDisk = std::filesystem::file_size(name, error);
    const bool sizeKnown = !error;
    const bool longerThanImage = sizeKnown && onDisk > kFileImageCapacity;

    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return 0;
    std::setvbuf(file, nullptr, _IONBF, 0);  // one large read straight into the image

    std::size_t held = 0;
    bool tagHeld = false;
    if (longerThanImage) {
        // Only the first tag counts: once it lies wholly in the bytes held, the rest of
        // such a file can change nothing in the report, and is left unread.
        held = std::fread(contents_, 1, kFirstReadOfLongFile, file);
        std::int32_t position = -1;
        tagHeld = vud::findVersionTag(contents_, held, position).has_value() &&
                  static_cast<std::size_t>(position) + kVersionTagLength <= held;
    }
    while (!tagHeld && held < kFileImageCapacity) {
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
    if (sizeKnown && (tagHeld || held == kFileImageCapacity))
        size = std::max(size, static_cast<std::int64_t>(onDisk));
    byteCount_ = size;
    heldCount_ = held;
    return 1;
}

}  // namespace vud
