// An installation held in memory, for tests and fuzzing: the run over it is the very
// run the program makes over a folder, without a disk.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "probe/installation.h"

namespace vud {

class MemoryInstallation : public Installation {
public:
    // The application at `position` is a file holding `bytes`. Its size is their count
    // unless `byteCount` says otherwise, as a file that is larger than what was read of
    // it would.
    void put(int position, std::string bytes, std::optional<std::int64_t> byteCount = std::nullopt);

    // Holds as much of the file as a folder's image would: at most its capacity. A
    // sink that takes the file gets all its bytes, and hears that it changed while read
    // when they are fewer than its size says.
    std::optional<ApplicationBytes> load(int position, const char* fileName) override;

private:
    struct File {
        std::string bytes;
        std::int64_t byteCount;
    };
    std::map<int, File> files_;  // by catalogue position; a position not held is not found
};

}  // namespace vud
