// Checks a fleet in parallel: installations on network shares spend their time waiting
// for the server, so several are checked at once, while the records still come out in
// input order and only a bounded number of them wait to be written.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "fleet/record/records.h"

namespace vud::fleet {

// Suits a fleet read over shares, where each request waits a round trip or more.
inline constexpr int kDefaultJobs = 16;

// Long enough for a whole installation read over a slow link (41 files, a few MiB,
// each request a round trip that may wait out a server's own retries of about half a
// minute), short enough that a share that stopped answering does not stall a fleet run.
inline constexpr int kDefaultTimeoutSeconds = 120;
inline constexpr int kLargestTimeoutSeconds = 86400;

struct RunProgress {
    int done = 0;             // installations checked
    int all = 0;
    std::string current;      // the installation most recently started
};

// Runs `check` over every input on `jobs` threads and hands each record to `onRecord`,
// in input order, on the calling thread; `onProgress` is called there too, whenever
// another installation is done or started. At most a few records per thread wait at once.
// When `onRecord` returns false (its output is gone) the run stops: no installation is
// started any more, and checkAll returns once those under way are done or given up.
//
// The threads that check start with the asynchronous signals blocked (POSIX), so an
// interruption reaches the calling thread, never one blocked on a share.
//
// An installation not checked within `timeout` (zero: no limit) gets an error record
// "timed out after N s" in its place; its thread is left to its blocked call and another
// takes its share of the work. The run goes on without it: a call on a share that never
// answers cannot be cancelled portably.
// Throws std::system_error when not a single thread can be started.
void checkAll(const std::vector<std::string>& inputs, int jobs, std::chrono::seconds timeout,
              const std::function<InstallationRecord(const std::string&)>& check,
              const std::function<bool(InstallationRecord&)>& onRecord,
              const std::function<void(const RunProgress&)>& onProgress);

// True once a run left a thread blocked in a call that never returned. Such a thread
// still uses the process: the program then ends without running static destructors.
bool workAbandoned();

}  // namespace vud::fleet
