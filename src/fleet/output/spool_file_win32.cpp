#include "fleet/output/spool_file.h"

#include <process.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace vud::fleet {

// The C library's own temporary file goes to the root of the drive, where a user may
// not write: this one goes to the user's temporary folder. "D": deleted when closed.
std::FILE* openSpoolFile() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) return nullptr;
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::filesystem::path name =
            folder / ("vudfleet-" + std::to_string(_getpid()) + "-" + std::to_string(random()) + ".tmp");
        if (std::filesystem::exists(name, error)) continue;
        if (std::FILE* file = _wfopen(name.c_str(), L"w+bD")) return file;
    }
    return nullptr;
}

bool seekSpoolFile(std::FILE* file, std::uint64_t offset) {
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
}

}  // namespace vud::fleet
