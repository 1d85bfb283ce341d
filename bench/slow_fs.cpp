// vud_slow_fs: a read-only FUSE file system that passes a folder through and makes
// every read of a file wait a while first, as a share whose files the host product
// holds open does: the client may not cache them, so each read the checker makes is a
// round trip. bench/compare.sh times the checker through it.
//
//   vud_slow_fs SOURCE MOUNTPOINT [MICROSECONDS_A_READ]    (default 1000)
//
// Reads bypass the kernel's page cache, so every read call reaches this program, and
// none is merged with another or read ahead. Runs in the foreground until unmounted.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

std::string source;
std::chrono::microseconds latency{1000};

std::string inSource(const char* path) { return source + path; }

int getAttributes(const char* path, struct stat* status, fuse_file_info*) {
    return ::lstat(inSource(path).c_str(), status) == 0 ? 0 : -errno;
}

int readFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
    DIR* folder = ::opendir(inSource(path).c_str());
    if (folder == nullptr) return -errno;
    while (const dirent* entry = ::readdir(folder)) fill(buffer, entry->d_name, nullptr, 0, FUSE_FILL_DIR_PLUS);
    ::closedir(folder);
    return 0;
}

int openFile(const char* path, fuse_file_info* info) {
    if ((info->flags & O_ACCMODE) != O_RDONLY) return -EACCES;
    const int descriptor = ::open(inSource(path).c_str(), O_RDONLY);
    if (descriptor < 0) return -errno;
    info->fh = static_cast<std::uint64_t>(descriptor);
    info->direct_io = 1;
    return 0;
}

int readFile(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    std::this_thread::sleep_for(latency);
    const ssize_t got = ::pread(static_cast<int>(info->fh), buffer, size, offset);
    return got < 0 ? -errno : static_cast<int>(got);
}

int releaseFile(const char*, fuse_file_info* info) {
    ::close(static_cast<int>(info->fh));
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: vud_slow_fs SOURCE MOUNTPOINT [MICROSECONDS_A_READ]\n");
        return 2;
    }
    source = argv[1];
    if (argc == 4) latency = std::chrono::microseconds(std::strtol(argv[3], nullptr, 10));
    fuse_operations operations{};
    operations.getattr = getAttributes;
    operations.readdir = readFolder;
    operations.open = openFile;
    operations.read = readFile;
    operations.release = releaseFile;
    // Foreground, one thread, as a share serves one client's requests one at a time.
    char program[] = "vud_slow_fs";
    char foreground[] = "-f";
    char singleThread[] = "-s";
    char option[] = "-o";
    char options[] = "ro,attr_timeout=0,entry_timeout=0,negative_timeout=0";
    char* fuseArguments[] = {program, foreground, singleThread, option, options, argv[2], nullptr};
    return fuse_main(6, fuseArguments, &operations, nullptr);
}
