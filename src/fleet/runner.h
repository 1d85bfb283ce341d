// Checks a fleet in parallel: installations on network shares spend their time waiting
// for the server, so several are checked at once, while the records still come out in
// input order and only a bounded number of them wait to be written.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fleet/records.h"

namespace vud::fleet {

// Suits a fleet read over shares, where each request waits a round trip or more.
inline constexpr int kDefaultJobs = 16;

struct RunProgress {
    int done = 0;             // installations checked
    int all = 0;
    std::string current;      // the installation most recently started
};

// Runs `check` over every input on `jobs` threads and hands each record to `onRecord`,
// in input order, on the calling thread; `onProgress` is called there too, whenever
// another installation is done or started. At most a few records per thread wait at once.
void checkAll(const std::vector<std::string>& inputs, int jobs,
              const std::function<InstallationRecord(const std::string&)>& check,
              const std::function<void(InstallationRecord&)>& onRecord,
              const std::function<void(const RunProgress&)>& onProgress);

}  // namespace vud::fleet
