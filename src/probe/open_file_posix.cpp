#include "probe/open_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vud {

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
    return true;
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
