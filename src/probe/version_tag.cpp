#include "probe/version_tag.h"

#include <algorithm>
#include <cstring>

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

constexpr std::size_t kNoMarker = VersionTagSearch::kNone;

// The first offset from `from` on where a whole marker lies in data[0, count); the
// caller knows that none begins before `from`.
std::size_t findMarker(const unsigned char* data, std::size_t from, std::size_t count) {
    // A marker cut off by the end of the data is no marker.
    if (count < kVersionTagMarkerLength) return kNoMarker;
    const std::size_t starts = count - kVersionTagMarkerLength + 1;  // where a whole marker fits
    std::size_t offset = from;
    while (offset < starts) {
        // Most files hold few "v" bytes: jump from one to the next.
        const void* hit = std::memchr(data + offset, kVersionTagMarker[0], starts - offset);
        if (hit == nullptr) return kNoMarker;
        offset = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
        // In data thick with "v" bytes every jump would be a short one; passing over the
        // whole block behind a "v" at once keeps such files as quick to search as any.
        if (starts - offset >= kScanBlock && !blockHoldsMarker(data + offset)) {
            offset += kScanBlock;
            continue;
        }
        const std::size_t blockEnd = std::min(offset + kScanBlock, starts);
        for (; offset < blockEnd; ++offset)
            if (markerMismatch(data + offset) == 0) return offset;
    }
    return kNoMarker;
}

}  // namespace

void VersionTagSearch::extend(const unsigned char* data, std::size_t count) {
    if (found()) return;
    position_ = findMarker(data, nextStart_, count);
    // Every offset whose four bytes are all held has now been looked at; a marker may
    // still begin in the last three bytes, once the bytes behind them arrive.
    if (!found() && count >= kVersionTagMarkerLength) nextStart_ = count - kVersionTagMarkerLength + 1;
}

VersionTag versionTagAt(const unsigned char* data, std::size_t count, std::size_t position) {
    VersionTag tag{};
    // Bytes past the data belong to no file of this run: they stay NUL.
    const std::size_t available = position < count ? std::min(kVersionTagLength, count - position) : 0;
    std::memcpy(tag.text, data + position, available);
    return tag;
}

}  // namespace vud
