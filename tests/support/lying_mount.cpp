#include "support/lying_mount.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "support/child_process.h"
#include "support/scratch_folder.h"

namespace vud::testing {
namespace {

bool isMountPoint(const std::string& folder) {
    struct stat inside {}, above {};
    return ::stat(folder.c_str(), &inside) == 0 && ::stat((folder + "/..").c_str(), &above) == 0 &&
           inside.st_dev != above.st_dev;
}

}  // namespace

LyingMount::LyingMount(const std::string& folder, const std::vector<std::string>& files)
    : folder_(std::filesystem::absolute(folder).string()) {
#ifndef VUD_LYING_FS
    (void)files;
    unavailable_ = "built without libfuse3 (tools/setup test), so there is no vud_lying_fs";
#else
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        unavailable_ = "no usable /dev/fuse here";
        return;
    }
    if (!onPath("fusermount3")) {
        unavailable_ = "no fusermount3 (tools/setup test) to unmount with";
        return;
    }
    std::filesystem::create_directories(folder_);
    const std::string errorFile = folder_ + ".err";
    std::vector<std::string> words = {VUD_LYING_FS, folder_};
    words.insert(words.end(), files.begin(), files.end());
    server_ = std::make_unique<ChildProcess>(words, ChildStreams{"/dev/null", errorFile});
    if (server_->spawnError() != 0) {
        server_.reset();
        unavailable_ = "cannot start " + std::string(VUD_LYING_FS);
        return;
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!isMountPoint(folder_)) {
        if (server_->ended()) {
            server_.reset();
            unavailable_ = "mounting a FUSE file system is not permitted here: " + readFile(errorFile);
            return;
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            unavailable_ = "the FUSE file system did not come up within 10 s: " + readFile(errorFile);
            return;  // the destructor ends the server
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
#endif
}

LyingMount::~LyingMount() {
    if (!server_) return;
    if (isMountPoint(folder_)) runChild({"fusermount3", "-u", "-z", folder_}, {}, std::chrono::seconds(10));
    // A mount is gone for good only once no program waits on it any more: a request held
    // for a program that could not end keeps it, until its server is told to end.
    server_->sendSignal(SIGTERM);
    // One that does not leave is ended.
    server_->wait(std::chrono::seconds(5));
    std::error_code ignored;
    std::filesystem::remove(folder_ + ".err", ignored);
}

}  // namespace vud::testing
