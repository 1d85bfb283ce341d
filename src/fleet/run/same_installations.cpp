#include "fleet/run/same_installations.h"

namespace vud::fleet {

bool SameInstallations::claim(std::size_t index, const std::optional<FileIdentity>& identity) {
    const std::lock_guard lock(mutex_);
    identities_[index] = identity;
    if (!identity) return false;
    const auto [first, added] = first_.emplace(*identity, index);
    if (added) return false;
    if (first->second < index) return true;
    // A later input of the same object was claimed first, by a thread that started
    // sooner: both are checked, and the later is not written.
    first->second = index;
    return false;
}

std::optional<std::size_t> SameInstallations::writtenAs(std::size_t index) {
    const std::lock_guard lock(mutex_);
    const std::optional<FileIdentity>& identity = identities_[index];
    if (!identity) return std::nullopt;
    const auto [written, added] = written_.emplace(*identity, index);
    if (added) return std::nullopt;
    return written->second;
}

}  // namespace vud::fleet
