#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "fleet/output/whole_file_platform.h"
#include "text/system_error.h"

namespace vud::fleet {
namespace {

// The folder of `path`, for a name without one the current folder.
std::filesystem::path folderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace

bool createBeside(const std::filesystem::path& path, std::filesystem::path& temporary, std::string& problem) {
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        char tail[16];
        std::snprintf(tail, sizeof tail, ".%08x", static_cast<unsigned>(random()));
        // Hidden, and no other run's: a name never made twice, never a link followed.
        temporary = folderOf(path) / ("." + path.filename().string() + tail);
        const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0) {
            ::close(file);
            return true;
        }
        if (errno != EEXIST) break;
    }
    problem = reasonOfErrno(errno, "cannot be written");
    return false;
}

bool keepOnDisk(const std::filesystem::path& file, std::string& problem) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0 || ::fsync(descriptor) != 0) {
        problem = reasonOfErrno(errno, "cannot be written");
        if (descriptor >= 0) ::close(descriptor);
        return false;
    }
    ::close(descriptor);
    return true;
}

bool replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& path, std::string& problem) {
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        problem = reasonOfErrno(errno, "cannot be written");
        return false;
    }
    // The folder's new entry on disk too; a folder that cannot be opened for it is
    // still renamed in, so its failure is no failure of the output.
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

}  // namespace vud::fleet
