// vud_slow_share: a read-only FUSE file system that shows a folder as it is, but
// answers every request a fixed time late, as a share over a network does. The fleet
// benchmark mounts it to show what checking installations in parallel gains there.
//
//   vud_slow_share SOURCE MOUNTPOINT [DELAY_MICROSECONDS [HANGING [held]]]   (default 1000)
//
// HANGING names a folder of SOURCE (such as /ws0025) whose files never answer, as a
// workstation that went down while its share was being read: every request for a path
// inside it waits until the kernel interrupts it, which it does for a program that is
// ending, so a program that gave up on it can still end. With `held`, such a request
// takes no notice of interrupts either, as on a server that is itself stuck: the
// program that asked cannot end, even killed, until the server is told to end.
// Every request kept waiting answers when the server is told to end (SIGTERM).
// The delay is slept in the thread that handles the request, and requests are handled
// by many threads, so requests that arrive together are answered together, as a
// server answers many clients. The kernel caches neither content (direct I/O) nor
// names and attributes (time-outs of 0), so every open, look-up and read reaches the
// server and pays the delay. Runs in the foreground until the mount point is unmounted.
#define FUSE_USE_VERSION 31
#include <fuse.h>
#include <fuse_lowlevel.h>

#include "support/fuse_interrupts.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

struct Share {
    std::string source;
    std::chrono::microseconds delay{1000};
    std::string hanging;  // with its leading '/' and a trailing one; empty: none
    bool held = false;    // its requests wait out interrupts too
};

// Read once by the handlers after main has set it and before the loop starts.
Share share;

std::string sourcePath(const char* path) { return share.source + path; }

bool toldToEnd() { return fuse_session_exited(fuse_get_session(fuse_get_context()->fuse)) != 0; }

// Sleeps the delay; for a path inside the hanging folder, until the request is
// interrupted (unless held) or the server told to end, and then tells so.
int answerLate(const char* path) {
    if (!share.hanging.empty() && std::string(path).rfind(share.hanging, 0) == 0) {
        while (!toldToEnd()) {
            if (!share.held && fuse_interrupted() != 0) return -EINTR;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -EIO;
    }
    std::this_thread::sleep_for(share.delay);
    return 0;
}

int getAttributes(const char* path, struct stat* status, fuse_file_info*) {
    if (const int interrupted = answerLate(path)) return interrupted;
    return ::lstat(sourcePath(path).c_str(), status) == 0 ? 0 : -errno;
}

int readFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
               fuse_readdir_flags) {
    if (const int interrupted = answerLate(path)) return interrupted;
    DIR* folder = ::opendir(sourcePath(path).c_str());
    if (folder == nullptr) return -errno;
    while (const dirent* entry = ::readdir(folder)) {
        struct stat status {};
        status.st_ino = entry->d_ino;
        status.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
        if (fill(buffer, entry->d_name, &status, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
    }
    ::closedir(folder);
    return 0;
}

int openFile(const char* path, fuse_file_info* info) {
    if (const int interrupted = answerLate(path)) return interrupted;
    if ((info->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    const int descriptor = ::open(sourcePath(path).c_str(), O_RDONLY);
    if (descriptor < 0) return -errno;
    info->fh = static_cast<std::uint64_t>(descriptor);
    info->direct_io = 1;
    return 0;
}

int readFile(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    if (const int interrupted = answerLate(path)) return interrupted;
    const ssize_t count = ::pread(static_cast<int>(info->fh), buffer, size, offset);
    return count < 0 ? -errno : static_cast<int>(count);
}

int releaseFile(const char*, fuse_file_info* info) {
    ::close(static_cast<int>(info->fh));
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || argc > 6 || (argc == 6 && std::string(argv[5]) != "held")) {
        std::fprintf(stderr, "usage: vud_slow_share SOURCE MOUNTPOINT [DELAY_MICROSECONDS [HANGING [held]]]\n");
        return 2;
    }
    char* resolved = ::realpath(argv[1], nullptr);
    if (resolved == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    share.source = resolved;
    std::free(resolved);
    if (argc >= 4) share.delay = std::chrono::microseconds(std::strtol(argv[3], nullptr, 10));
    if (argc >= 5) share.hanging = std::string(argv[4]) + "/";
    share.held = argc == 6;

    fuse_operations operations{};
    operations.getattr = getAttributes;
    operations.readdir = readFolder;
    operations.open = openFile;
    operations.read = readFile;
    operations.release = releaseFile;
    // An interrupted request wakes its thread; the wait above then sees it.
    vud::testing::wakeInterruptedRequests(operations);
    // Foreground and multi-threaded (no -s), with threads enough for every request a
    // fleet run keeps in flight.
    char program[] = "vud_slow_share";
    char foreground[] = "-f";
    char option[] = "-o";
    char options[] = "ro,attr_timeout=0,entry_timeout=0,negative_timeout=0,max_threads=128,max_idle_threads=128";
    char* fuseArguments[] = {program, foreground, option, options, argv[2], nullptr};
    return fuse_main(5, fuseArguments, &operations, nullptr);
}
