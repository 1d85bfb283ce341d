// vud_lying_fs: a read-only FUSE file system whose files report one size and deliver
// another, as a file being replaced, a network share or a /proc file may. The tests
// mount it to show that the checker believes what a file delivers over what it reports.
//
//   vud_lying_fs MOUNTPOINT NAME:REPORTED:DELIVERED[!FAILING|~|=][:OFFSET:TAG] ...
//
// A '~' after DELIVERED makes every read of the file wait for ever, and a REPORTED of
// '~' the file's look-up, as on a share whose server stopped answering; the other
// requests are still served, each on a thread of its own. Such a request answers only
// when the kernel interrupts it, as it does for a program that is ending.
// A '=' in either place holds the request as a server that is itself stuck does: it
// takes no notice of interrupts, so the program that asked cannot end, not even when
// killed, until the server is told to end (SIGTERM) or goes.
//
// Each file's content is DELIVERED bytes of '.', with TAG and a NUL at OFFSET. A '!'
// after DELIVERED makes every read from offset FAILING on fail with EIO, as a bad
// sector or a dropped share does; a read that would run across FAILING stops short of
// it. A '!' alone fails the reads where the file would otherwise end. Reads
// bypass the kernel's page cache, so the kernel neither trims them to REPORTED nor
// remembers the content. Runs in the foreground until the mount point is unmounted or
// it is told to end.
#define FUSE_USE_VERSION 31
#include <fuse.h>
#include <fuse_lowlevel.h>

#include "support/fuse_interrupts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct LyingFile {
    std::string name;  // with its leading '/'
    off_t reported = 0;
    off_t delivered = 0;
    off_t failing = -1;  // reads from here on get EIO; -1: none do
    off_t tagOffset = -1;
    std::string tag;  // with its NUL
    bool readHangs = false;
    bool lookUpHangs = false;
    bool held = false;  // a hanging request ignores interrupts
};

bool toldToEnd() { return fuse_session_exited(fuse_get_session(fuse_get_context()->fuse)) != 0; }

// Never answers, unless the kernel interrupts the request because the program waiting
// on it is ending: then the program can end, as a share's client lets it go too. A held
// request waits out interrupts as well. Either ends when the server is told to end, so
// that the server's threads can be joined.
int hang(const LyingFile& file) {
    while (!toldToEnd()) {
        if (!file.held && fuse_interrupted() != 0) return -EINTR;
        usleep(10000);
    }
    return -EIO;
}

bool anyHangs = false;

std::vector<LyingFile> files;

const LyingFile* lookUp(const char* path) {
    for (const LyingFile& file : files)
        if (file.name == path) return &file;
    return nullptr;
}

int getAttributes(const char* path, struct stat* status, fuse_file_info*) {
    *status = {};
    if (std::strcmp(path, "/") == 0) {
        status->st_mode = S_IFDIR | 0755;
        status->st_nlink = 2;
        return 0;
    }
    const LyingFile* file = lookUp(path);
    if (file == nullptr) return -ENOENT;
    if (file->lookUpHangs) return hang(*file);
    status->st_mode = S_IFREG | 0444;
    status->st_nlink = 1;
    status->st_size = file->reported;
    return 0;
}

int readFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
               fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    fill(buffer, ".", nullptr, 0, FUSE_FILL_DIR_PLUS);
    fill(buffer, "..", nullptr, 0, FUSE_FILL_DIR_PLUS);
    for (const LyingFile& file : files) fill(buffer, file.name.c_str() + 1, nullptr, 0, FUSE_FILL_DIR_PLUS);
    return 0;
}

int openFile(const char* path, fuse_file_info* info) {
    if (lookUp(path) == nullptr) return -ENOENT;
    if ((info->flags & O_ACCMODE) != O_RDONLY) return -EACCES;
    info->direct_io = 1;
    return 0;
}

int readFile(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*) {
    const LyingFile* file = lookUp(path);
    if (file == nullptr) return -ENOENT;
    if (file->readHangs) return hang(*file);
    if (file->failing >= 0 && offset >= file->failing) return -EIO;
    if (offset >= file->delivered) return 0;
    off_t end = std::min(offset + static_cast<off_t>(size), file->delivered);
    if (file->failing >= 0) end = std::min(end, file->failing);
    const auto count = static_cast<size_t>(end - offset);
    std::memset(buffer, '.', count);
    if (file->tagOffset >= 0) {
        const off_t tagEnd = file->tagOffset + static_cast<off_t>(file->tag.size());
        for (off_t at = std::max(offset, file->tagOffset); at < std::min(offset + static_cast<off_t>(count), tagEnd); ++at)
            buffer[at - offset] = file->tag[static_cast<size_t>(at - file->tagOffset)];
    }
    return static_cast<int>(count);
}

bool parse(const char* argument, LyingFile& file) {
    std::vector<std::string> fields;
    std::string text = argument;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        // The tag is the last field and may hold colons of its own.
        if (colon == std::string::npos || fields.size() == 4) {
            fields.push_back(text.substr(start));
            break;
        }
        fields.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
    if (fields.size() != 3 && fields.size() != 5) return false;
    file.name = "/" + fields[0];
    file.lookUpHangs = fields[1] == "~" || fields[1] == "=";
    file.reported = std::strtoll(fields[1].c_str(), nullptr, 10);
    char* end = nullptr;
    file.delivered = std::strtoll(fields[2].c_str(), &end, 10);
    file.readHangs = *end == '~' || *end == '=';
    file.held = fields[1] == "=" || *end == '=';
    anyHangs = anyHangs || file.readHangs || file.lookUpHangs;
    if (*end == '!') file.failing = end[1] == '\0' ? file.delivered : std::strtoll(end + 1, nullptr, 10);
    if (fields.size() == 5) {
        file.tagOffset = std::strtoll(fields[3].c_str(), nullptr, 10);
        file.tag = fields[4] + '\0';
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vud_lying_fs MOUNTPOINT NAME:REPORTED:DELIVERED[!FAILING|~|=][:OFFSET:TAG] ...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        LyingFile file;
        if (!parse(argv[i], file)) {
            std::fprintf(stderr, "vud_lying_fs: bad file %s\n", argv[i]);
            return 2;
        }
        files.push_back(file);
    }
    fuse_operations operations{};
    operations.getattr = getAttributes;
    operations.readdir = readFolder;
    operations.open = openFile;
    operations.read = readFile;
    // Foreground, one thread; sizes are asked afresh on every look-up.
    char program[] = "vud_lying_fs";
    char foreground[] = "-f";
    char singleThread[] = "-s";
    char option[] = "-o";
    char timeouts[] = "attr_timeout=0,entry_timeout=0,negative_timeout=0";
    char* fuseArguments[] = {program, foreground, singleThread, option, timeouts, argv[1], nullptr};
    if (anyHangs) {
        // A request that never answers holds its thread: the others need threads of their
        // own. Interrupts reach it, so that a program killed while it waits ends.
        vud::testing::wakeInterruptedRequests(operations);
        char* threaded[] = {program, foreground, option, timeouts, argv[1], nullptr};
        return fuse_main(5, threaded, &operations, nullptr);
    }
    return fuse_main(6, fuseArguments, &operations, nullptr);
}
