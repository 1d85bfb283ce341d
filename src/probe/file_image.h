// One application file in memory, and the version tag found in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "probe/text.h"

namespace vud {

// The image holds at most this many bytes of a file; every correct build is far
// smaller (the largest expected size is 294,012 bytes).
inline constexpr std::size_t kFileImageCapacity = 400000;

inline constexpr char kVersionTagMarker[] = "ver ";
inline constexpr std::size_t kVersionTagMarkerLength = sizeof kVersionTagMarker - 1;
inline constexpr std::size_t kVersionTagLength = 12;

// The 12 bytes that begin at the first "ver " of a file, and a NUL behind them. As a
// text it ends at its first NUL. Bytes that would lie beyond the file's data read as NUL.
struct VersionTag {
    char text[kVersionTagLength + 1];
};

// Finds the first complete "ver " that lies wholly inside data[0, count). Sets
// `position` to its offset (0 or more) and returns the tag, or sets it to -1 and
// returns nothing when there is no such marker.
std::optional<VersionTag> findVersionTag(const unsigned char* data, std::size_t count,
                                         std::int32_t& position);

class FileImage {
public:
    // Empties the record: the byte count is 0. The contents are left as they are.
    FileImage() : fileName_{}, byteCount_(0), heldCount_(0) {}
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    // What construction does, on a record that is reused for the next file.
    void reset() {
        byteCount_ = 0;
        heldCount_ = 0;
    }

    // Reads the named file, relative to the working folder, in binary and read-only.
    // Returns 1 when it was read, 0 when it cannot be: missing, unreadable, not a
    // regular file (a folder, FIFO or device is never opened), or a read error. On 0
    // the record keeps its previous counts. The name is kept in either case. Of a
    // file longer than the image, reading stops once its first version tag lies
    // wholly in the bytes held.
    int load(const char* name);

    // The file's whole size in bytes, also when only its first kFileImageCapacity
    // bytes are held.
    std::int64_t getByteCount() const { return byteCount_; }

    // Searches the bytes held; see the free function above.
    std::optional<VersionTag> findVersionTag(std::int32_t& position) const {
        return vud::findVersionTag(contents_, heldCount_, position);
    }

    const char* fileName() const { return fileName_; }
    const unsigned char* data() const { return contents_; }
    std::size_t heldCount() const { return heldCount_; }

private:
    // Left uninitialised: only data()[0, heldCount()) is ever read.
    unsigned char contents_[kFileImageCapacity];
    char fileName_[20];
    std::int64_t byteCount_;
    std::size_t heldCount_;
};

}  // namespace vud
