#include "probe/file_image.h"

#include <algorithm>
#include <array>
#include <cstring>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

VersionTag versionTagAt(const unsigned char* data, std::size_t count, std::size_t position) {
    VersionTag tag{};
    // Bytes past the data belong to no file of this run: they stay NUL.
    const std::size_t available = position < count ? std::min(kVersionTagLength, count - position) : 0;
    std::memcpy(tag.text, data + position, available);
    return tag;
}

std::optional<VersionTag> findVersionTag(const unsigned char* data, std::size_t count,
                                         std::int32_t& position) {
    const std::size_t offset = findMarker(data, 0, count);
    if (offset == kNoMarker) {
        position = -1;
        return std::nullopt;
    }
    position = static_cast<std::int32_t>(offset);
    return versionTagAt(data, count, offset);
}

void VersionTagSearch::extend(const unsigned char* data, std::size_t count) {
    if (found()) return;
    position_ = findMarker(data, nextStart_, count);
    // Every offset whose four bytes are all held has now been looked at; a marker may
    // still begin in the last three bytes, once the bytes behind them arrive.
    if (!found() && count >= kVersionTagMarkerLength) nextStart_ = count - kVersionTagMarkerLength + 1;
}

namespace {

// A file whose content contradicts the size it reports is counted to its end, but no
// further than this: a file that never ends (a /proc file, a file system of another
// program's making) must not stall the run. Beyond it the count is a lower bound.
constexpr std::int64_t kLongestCount = std::int64_t{64} << 20;
constexpr std::size_t kCountBlock = std::size_t{64} * 1024;

#ifdef _WIN32
// The handle is opened once and asked everything: what it is, how large it is.
class OpenFile {
public:
    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }

    // Opens the named file when it is a regular file; folders and devices are refused.
    bool open(const char* name) {
        const DWORD attributes = GetFileAttributesA(name);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return false;
        // Shared for reading and writing, as a C runtime's fopen shares it: a build that
        // an editor or the host product holds open is still checked.
        handle_ = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION information;
        if (GetFileType(handle_) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle_, &information) ||
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return false;
        reportedSize_ = static_cast<std::int64_t>((std::uint64_t{information.nFileSizeHigh} << 32) |
                                                  information.nFileSizeLow);
        return true;
    }

    std::int64_t reportedSize() const { return reportedSize_; }

    // The number of bytes read, 0 at the end of the file, -1 on a read error.
    std::int64_t read(unsigned char* buffer, std::size_t count) {
        const std::int64_t got = readAt(position_, buffer, count);
        if (got > 0) position_ += got;
        return got;
    }

    // The same, from `offset`, leaving the place where read() goes on as it was.
    // Every read names its offset: a read at an offset moves the handle's own file
    // pointer, which read() therefore never relies on.
    std::int64_t readAt(std::int64_t offset, unsigned char* buffer, std::size_t count) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, &at))
            return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
        return got;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::int64_t reportedSize_ = 0;
    std::int64_t position_ = 0;  // where read() goes on
};
#else
// The descriptor is opened once and asked everything: what it is, how large it is.
class OpenFile {
public:
    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }

    // Opens the named file when it is a regular file. Opening a FIFO would block and a
    // device may be endless or act on being opened, so a name that is neither a
    // regular file nor a link to one is never opened. A name that turns into a FIFO
    // after that look-up cannot block the open, which never waits, and is refused.
    bool open(const char* name) {
        struct stat status {};
        if (::stat(name, &status) != 0 || !S_ISREG(status.st_mode)) return false;
        do {
            descriptor_ = ::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        } while (descriptor_ < 0 && errno == EINTR);
        if (descriptor_ < 0) return false;
        if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) return false;
        reportedSize_ = static_cast<std::int64_t>(status.st_size);
        return true;
    }

    std::int64_t reportedSize() const { return reportedSize_; }

    // The number of bytes read, 0 at the end of the file, -1 on a read error.
    std::int64_t read(unsigned char* buffer, std::size_t count) {
        for (;;) {
            const ssize_t got = ::read(descriptor_, buffer, count);
            if (got >= 0) return got;
            if (errno != EINTR) return -1;
        }
    }

    // The same, from `offset`, leaving the place where read() goes on as it was.
    std::int64_t readAt(std::int64_t offset, unsigned char* buffer, std::size_t count) {
        for (;;) {
            const ssize_t got = ::pread(descriptor_, buffer, count, static_cast<off_t>(offset));
            if (got >= 0) return got;
            if (errno != EINTR) return -1;
        }
    }

private:
    int descriptor_ = -1;
    std::int64_t reportedSize_ = 0;
};
#endif

// Reads on from `count` bytes to the end of the file, or to kLongestCount, throwing the
// bytes away. Returns the count reached; -1 on a read error.
std::int64_t countOn(OpenFile& file, std::int64_t count) {
    std::array<unsigned char, kCountBlock> discarded;
    while (count < kLongestCount) {
        const auto wanted = static_cast<std::size_t>(
            std::min(static_cast<std::int64_t>(discarded.size()), kLongestCount - count));
        const std::int64_t got = file.read(discarded.data(), wanted);
        if (got < 0) return -1;
        if (got == 0) break;
        count += got;
    }
    return count;
}

}  // namespace

int FileImage::load(const char* name) {
    copyText(name, fileName_, sizeof fileName_);

    OpenFile file;
    if (!file.open(name)) return 0;
    const std::int64_t reported = file.reportedSize();

    VersionTagSearch search;
    std::size_t held = 0;
    bool ended = false;
    std::size_t block = kFirstReadBlock;
    for (;;) {
        std::size_t wanted = block;
        if (search.found()) {
            // Only the first tag counts: the bytes behind it can change nothing in the
            // report, so reading stops once its 12 bytes are held.
            const std::size_t tagEnd = search.position() + kVersionTagLength;
            if (held >= tagEnd) break;
            wanted = tagEnd - held;
        }
        wanted = std::min(wanted, kFileImageCapacity - held);
        if (wanted == 0) break;  // the image is full
        const std::int64_t got = file.read(contents_ + held, wanted);
        if (got < 0) {
            // A short count is not the file's size; the record is empty again.
            reset();
            return 0;
        }
        if (got == 0) {
            ended = true;
            break;
        }
        held += static_cast<std::size_t>(got);
        search.extend(contents_, held);
        block = kLaterReadBlock;
    }

    // Reading stopped short of the end: the reported size stands only if the file's
    // last byte lies where it says, that is if a read of two bytes from there gets
    // exactly one. A file being replaced, or on a file system that reports sizes
    // wrongly, fails that test, and only its end then tells its size.
    std::int64_t count = static_cast<std::int64_t>(held);
    if (!ended) {
        bool sizeConfirmed = false;
        if (count <= reported) {
            unsigned char last[2];
            const std::int64_t got = file.readAt(reported - 1, last, sizeof last);
            if (got < 0) {
                reset();
                return 0;
            }
            sizeConfirmed = got == 1;
        }
        if (sizeConfirmed) {
            count = reported;
        } else {
            count = countOn(file, count);
            if (count < 0) {
                reset();
                return 0;
            }
        }
    }
    byteCount_ = count;
    heldCount_ = held;
    tagPosition_ = search.position();
    return 1;
}

}  // namespace vud
