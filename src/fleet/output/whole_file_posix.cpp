#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "fleet/output/whole_file_platform.h"
#include "text/system_error.h"

namespace vud::fleet {
namespace {

// The folder of `path`, for a name without one the current folder.
std::filesystem::path folderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace

Created createNew(const std::filesystem::path& file, std::string& problem) {
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor >= 0) {
        ::close(descriptor);
        return Created::Yes;
    }
    if (errno == EEXIST) return Created::Exists;
    problem = reasonOfErrno(errno, "cannot be written");
    return Created::Failed;
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
