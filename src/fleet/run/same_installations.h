// One installation named in several ways (ok, ./ok, its full path, a link to it) is one
// object of the file system: it is checked and written once, under the name given
// first. Its identity is asked by the thread that checks it, never before the run, as
// a share that stopped answering must not stop the run.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "fleet/input/inputs_platform.h"

namespace vud::fleet {

class SameInstallations {
public:
    explicit SameInstallations(std::size_t inputs) : identities_(inputs) {}

    // By the thread about to check input `index`, with what it is: true when an earlier
    // input is the same object, so that this one need not be checked.
    bool claim(std::size_t index, const std::optional<FileIdentity>& identity);

    // By the thread that writes, in input order: the earlier input already written that
    // input `index` is the same object as; none when `index` is to be written.
    std::optional<std::size_t> writtenAs(std::size_t index);

private:
    std::mutex mutex_;
    std::vector<std::optional<FileIdentity>> identities_;  // by input, once claimed
    std::map<FileIdentity, std::size_t> first_;            // the first input claimed so far
    std::map<FileIdentity, std::size_t> written_;          // the input written
};

}  // namespace vud::fleet
