// One application file in memory, read as far as the report needs it, and its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <memory>

#include "probe/byte_sink.h"
#include "probe/text.h"
#include "probe/version_tag.h"

namespace vud {

class OpenFile;

// The image holds at most this many bytes of a file; every correct build is far
// smaller (the largest expected size is 294,012 bytes).
inline constexpr std::size_t kFileImageCapacity = 400000;

// How the loader reads a file: a first block, then each block twice the one before, up
// to the largest, as far as the end of the first tag. A build carries its tag within
// its first few hundred bytes, so one page serves most files. Growing blocks keep the
// reads of a tag deep in a file few, which counts on a share where each read is a
// round trip, and read past the tag by less than the largest block; blocks beyond it
// save no read on a build (bench/compare.sh measures both).
inline constexpr std::size_t kFirstReadBlock = 4096;
inline constexpr std::size_t kLargestReadBlock = std::size_t{64} * 1024;

// Past the tag, a file that a sink takes whole is read in blocks of this size: every
// correct build then takes one read more after the tag search, which stops short at the
// size the file reported, and no read for its end when the file is still as it was
// opened. Blocks this large also keep the requests few on a share.
inline constexpr std::size_t kWholeReadBlock = std::size_t{1} << 20;

// The block the loader reads after one of `block` bytes.
constexpr std::size_t nextReadBlock(std::size_t block) {
    return block < kLargestReadBlock / 2 ? block * 2 : kLargestReadBlock;
}

class FileImage {
public:
    // Empties the record: the byte count is 0. The contents are left as they are.
    FileImage() : byteCount_(0), heldCount_(0), tagPosition_(VersionTagSearch::kNone) {}
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    // What construction does, on a record that is reused for the next file.
    void reset() {
        byteCount_ = 0;
        heldCount_ = 0;
        tagPosition_ = VersionTagSearch::kNone;
    }

    // Reads the file at `name` (UTF-8: a bare name in the working folder, or a path
    // such as folder/name, opened whole however long), read-only and in binary,
    // denying other programs nothing. Returns whether it was read; it cannot be when
    // missing, unreadable, not a regular file (a folder, FIFO or device is never
    // opened, and a name that turns into one after the look-up is refused once open),
    // or on a read error. When it was not read, the record keeps its previous counts if
    // the file was never opened, and is empty otherwise.
    //
    // Only what the report needs is read: the file up to the end of its first version
    // tag, the end of the file, or the capacity of the image, whichever comes first.
    // Its size is the count read when the read met the end of the file. Otherwise it is
    // the size the open file reports, once one more read of the last byte there shows
    // that the file ends exactly there; when it does not, the file is read on to its end
    // (or to 64 MiB) and that count is its size.
    //
    // With a `sink`, the file is offered to it once the tag is held (or the search is
    // over); a sink that takes it gets every byte, read on past the tag in blocks of
    // kWholeReadBlock to the end of the file, and is told whether the file changed while
    // it was read. The size is then the count read to the end.
    bool load(const char* name, ByteSink* sink = nullptr);

    // The file's whole size in bytes, also when only part of it is held.
    std::int64_t getByteCount() const { return byteCount_; }

    // Where the first tag in the bytes held begins, VersionTagSearch::kNone when they
    // hold none. The load found it as it read, so nothing searches the bytes again.
    std::size_t tagPosition() const { return tagPosition_; }

    const unsigned char* data() const { return contents_; }
    std::size_t heldCount() const { return heldCount_; }

private:
    // Gives `sink` the rest of a file it takes whole, from `count` bytes (the file
    // `ended` there already) to the end, counting them, and ends it; false on a read
    // error.
    bool readWhole(OpenFile& file, ByteSink& sink, std::int64_t reported, bool ended, std::int64_t& count);

    // Left uninitialised: only data()[0, heldCount()) is ever read.
    unsigned char contents_[kFileImageCapacity];
    std::int64_t byteCount_;
    std::size_t heldCount_;
    std::size_t tagPosition_;  // VersionTagSearch::kNone: no tag in the bytes held
    // Where the bytes behind the image go on their way to a sink; made on the first
    // whole read, then kept for the files after it.
    std::unique_ptr<unsigned char[]> wholeReadBuffer_;
};

}  // namespace vud
