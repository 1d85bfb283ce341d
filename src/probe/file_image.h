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

// How the loader reads a file: a first block, then blocks of the later size, as far as
// the end of the first tag. A build carries its tag within its first few hundred bytes,
// so one page serves most files. Later blocks are no larger, so that a tag deep in a
// file is never read past by more than one such block; larger ones save little time
// (bench/compare.sh and the README's performance section give the measurements).
inline constexpr std::size_t kFirstReadBlock = 4096;
inline constexpr std::size_t kLaterReadBlock = 4096;

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

// The tag that begins at `position` in data[0, count): the bytes past `count` read as
// NUL.
VersionTag versionTagAt(const unsigned char* data, std::size_t count, std::size_t position);

// The same search as findVersionTag, over data that grows as a file is read: each call
// looks only at the bytes that no earlier call could rule out, yet the first marker it
// reports is the one findVersionTag would find in all the data given so far.
class VersionTagSearch {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // `count` never falls between calls, and data[0, count) holds what earlier calls saw.
    void extend(const unsigned char* data, std::size_t count);

    bool found() const { return position_ != kNone; }
    std::size_t position() const { return position_; }

private:
    std::size_t nextStart_ = 0;  // the first offset where a marker may still begin
    std::size_t position_ = kNone;
};

class FileImage {
public:
    // Empties the record: the byte count is 0. The contents are left as they are.
    FileImage() : fileName_{}, byteCount_(0), heldCount_(0), tagPosition_(VersionTagSearch::kNone) {}
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    // What construction does, on a record that is reused for the next file.
    void reset() {
        byteCount_ = 0;
        heldCount_ = 0;
        tagPosition_ = VersionTagSearch::kNone;
    }

    // Reads the named file, relative to the working folder, read-only and in binary,
    // sharing it with other programs. Returns 1 when it was read, 0 when it cannot be:
    // missing, unreadable, not a regular file (a folder, FIFO or device is never
    // opened, and a name that turns into one after the look-up is refused once open),
    // or a read error. On 0 the record keeps its previous counts if the file was never
    // opened, and is empty otherwise. The name is kept in either case.
    //
    // Only what the report needs is read: the file up to the end of its first version
    // tag, the end of the file, or the capacity of the image, whichever comes first.
    // Its size is the count read when the read met the end of the file. Otherwise it is
    // the size the open file reports, once one more read of the last byte there shows
    // that the file ends exactly there; when it does not, the file is read on to its end
    // (or to 64 MiB) and that count is its size. A read error anywhere is a 0.
    int load(const char* name);

    // The file's whole size in bytes, also when only part of it is held.
    std::int64_t getByteCount() const { return byteCount_; }

    // The first tag in the bytes held, as the free function above finds it; the load
    // already searched them, so nothing is searched again.
    std::optional<VersionTag> findVersionTag(std::int32_t& position) const {
        if (tagPosition_ == VersionTagSearch::kNone) {
            position = -1;
            return std::nullopt;
        }
        position = static_cast<std::int32_t>(tagPosition_);
        return versionTagAt(contents_, heldCount_, tagPosition_);
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
    std::size_t tagPosition_;  // VersionTagSearch::kNone: no tag in the bytes held
};

}  // namespace vud
