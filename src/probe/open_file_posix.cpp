#include "probe/open_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vud {

namespace {

std::int64_t nanosecondsOf(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

OpenFile::~OpenFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

// Opening a FIFO would block and a device may be endless or act on being opened, so a
// path that is neither a regular file nor a link to one is never opened. One that
// turns into a FIFO after that look-up cannot block the open, which never waits, and
// is refused.
bool OpenFile::open(const char* path) {
    struct stat status {};
    if (::stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    do {
        descriptor_ = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (descriptor_ < 0 && errno == EINTR);
    if (descriptor_ < 0) return false;
    if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    reportedSize_ = static_cast<std::int64_t>(status.st_size);
    modified_ = nanosecondsOf(status.st_mtim);
    statusChanged_ = nanosecondsOf(status.st_ctim);
    return true;
}

// The status change time moves with every write and truncation, and also when a
// program sets the modification time back to hide one.
bool OpenFile::unchangedSinceOpen() const {
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) return false;
    return static_cast<std::int64_t>(status.st_size) == reportedSize_ && nanosecondsOf(status.st_mtim) == modified_ &&
           nanosecondsOf(status.st_ctim) == statusChanged_;
}

std::int64_t OpenFile::read(unsigned char* buffer, std::size_t count) {
    for (;;) {
        const ssize_t got = ::read(descriptor_, buffer, count);
        if (got >= 0) return got;
        if (errno != EINTR) return -1;
    }
}

std::int64_t OpenFile::readAt(std::int64_t offset, unsigned char* buffer, std::size_t count) {
    for (;;) {
        const ssize_t got = ::pread(descriptor_, buffer, count, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno != EINTR) return -1;
    }
}

}  // namespace vud
