#include <windows.h>

#include <system_error>

#include "fleet/output/whole_file_platform.h"
#include "text/system_error.h"

namespace vud::fleet {
namespace {

std::string lastError() {
    return reasonOf(std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

}  // namespace

Created createNew(const std::filesystem::path& file, std::string& problem) {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return Created::Yes;
    }
    if (GetLastError() == ERROR_FILE_EXISTS) return Created::Exists;
    problem = lastError();
    return Created::Failed;
}

bool keepOnDisk(const std::filesystem::path& file, std::string& problem) {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        problem = lastError();
        return false;
    }
    const bool kept = FlushFileBuffers(handle) != 0;
    if (!kept) problem = lastError();
    CloseHandle(handle);
    return kept;
}

bool replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& path, std::string& problem) {
    // Over a file of that name, and returning only once the move is on disk.
    if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        problem = lastError();
        return false;
    }
    return true;
}

}  // namespace vud::fleet
