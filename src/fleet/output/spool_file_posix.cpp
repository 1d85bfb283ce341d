#include "fleet/output/spool_file.h"

#include <sys/types.h>

namespace vud::fleet {

std::FILE* openSpoolFile() { return std::tmpfile(); }

bool seekSpoolFile(std::FILE* file, std::uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

}  // namespace vud::fleet
