#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "fleet/input/inputs.h"  // pathFromUtf8
#include "fleet/input/inputs_platform.h"
#include "text/system_error.h"

namespace vud::fleet {

std::filesystem::path pathFromUtf8(const std::string& text) { return std::filesystem::path(text); }

InputKind inputKind(const std::string& path, std::string& reason) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        reason = "no such file or folder";
        return InputKind::Missing;
    }
    if (error) {
        reason = reasonOf(error);
        return InputKind::Unreadable;
    }
    if (std::filesystem::is_directory(status)) return InputKind::Folder;
    if (std::filesystem::is_regular_file(status)) return InputKind::Other;
    reason = "neither a file nor a folder";
    return InputKind::Special;
}

// A folder's files are opened by name, as the checker opens them: one that may be
// entered but not listed (mode 111) is checked; one that cannot be entered is not.
bool enterable(const std::string& path, std::string& reason) {
    std::error_code error;
    const std::filesystem::file_status entered = std::filesystem::status(std::filesystem::path(path) / ".", error);
    if (!error && !std::filesystem::is_directory(entered)) error = std::make_error_code(std::errc::not_a_directory);
    if (error) reason = reasonOf(error);
    return !error;
}

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

std::optional<std::int64_t> modifiedAt(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return static_cast<std::int64_t>(status.st_mtime);
}

bool readFileInPieces(const std::string& path, const PieceTaker& take, std::string& reason) {
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        reason = reasonOfErrno(errno, "cannot be opened");
        return false;
    }
    // A share that drops or a failing disk: the record says which, as for an open.
    errno = 0;
    if (!readStreamInPieces(file, take)) {
        reason = reasonOfErrno(errno, "read error");
        return false;
    }
    return true;
}

}  // namespace vud::fleet
