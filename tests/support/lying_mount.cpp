#include "support/lying_mount.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/scratch_folder.h"

extern char** environ;

namespace vud::testing {
namespace {

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t colon = folders.find(':', start);
        if (colon == std::string::npos) colon = folders.size();
        const std::string candidate = folders.substr(start, colon - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

pid_t spawn(const std::vector<std::string>& words, const std::string& errorFile) {
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

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
    unavailable_ = "built without libfuse3 (Debian package libfuse3-dev), so there is no vud_lying_fs";
#else
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        unavailable_ = "no usable /dev/fuse here";
        return;
    }
    if (!onPath("fusermount3")) {
        unavailable_ = "no fusermount3 (Debian package fuse3) to unmount with";
        return;
    }
    std::filesystem::create_directories(folder_);
    const std::string errorFile = folder_ + ".err";
    std::vector<std::string> words = {VUD_LYING_FS, folder_};
    words.insert(words.end(), files.begin(), files.end());
    server_ = spawn(words, errorFile);
    if (server_ < 0) {
        unavailable_ = "cannot start " + std::string(VUD_LYING_FS);
        return;
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!isMountPoint(folder_)) {
        int status = 0;
        if (::waitpid(server_, &status, WNOHANG) == server_) {
            server_ = -1;
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
    if (server_ < 0) return;
    if (isMountPoint(folder_)) {
        const pid_t unmount = spawn({"fusermount3", "-u", "-z", folder_}, "/dev/null");
        int status = 0;
        if (unmount > 0) ::waitpid(unmount, &status, 0);
    }
    // The server leaves once its mount is gone; one that does not is ended.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(server_, &status, WNOHANG) != server_) {
        if (std::chrono::steady_clock::now() > giveUp) {
            ::kill(server_, SIGKILL);
            ::waitpid(server_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::error_code ignored;
    std::filesystem::remove(folder_ + ".err", ignored);
}

}  // namespace vud::testing
