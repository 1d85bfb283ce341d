// The parallel run: records in input order, and no more of them waiting to be written
// than a few per thread, however slow one installation is.
#include "fleet/runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vud::fleet {
namespace {

TEST(Runner, ASlowInstallationHoldsBackOnlyABoundedNumberOfOthers) {
    std::vector<std::string> inputs;
    for (int i = 0; i < 200; ++i) inputs.push_back(std::to_string(i));
    std::mutex mutex;
    std::condition_variable started;
    int startedCount = 0;
    int startedWhileFirstWaited = 0;
    const auto check = [&](const std::string& input) {
        std::unique_lock lock(mutex);
        ++startedCount;
        started.notify_all();
        if (input == "0") {
            // The first installation answers only when the others have started all they
            // may, or after a second when the runner keeps them back as it should.
            started.wait_for(lock, std::chrono::seconds(1), [&] { return startedCount >= 100; });
            startedWhileFirstWaited = startedCount;
        }
        InstallationRecord record;
        record.installation = input;
        return record;
    };
    std::vector<std::string> order;
    int lastDone = 0;
    checkAll(
        inputs, 4, check, [&](InstallationRecord& record) { order.push_back(record.installation); },
        [&](const RunProgress& progress) {
            EXPECT_GE(progress.done, lastDone);
            EXPECT_EQ(200, progress.all);
            lastDone = progress.done;
        });
    EXPECT_EQ(inputs, order);
    EXPECT_EQ(200, lastDone);
    EXPECT_GT(startedWhileFirstWaited, 4);    // the other threads went on
    EXPECT_LE(startedWhileFirstWaited, 16);   // four waiting records a thread at most
}

}  // namespace
}  // namespace vud::fleet
