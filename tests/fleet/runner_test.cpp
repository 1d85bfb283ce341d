// The parallel run: records in input order, and no more of them waiting to be written
// than a few per thread, however slow one installation is.
#include "fleet/runner.h"

#include <gtest/gtest.h>

#include <chrono>

#include "fleet/threads.h"

namespace vud::fleet {
namespace {

TEST(Runner, ASlowInstallationHoldsBackOnlyABoundedNumberOfOthers) {
    std::vector<std::string> inputs;
    for (int i = 0; i < 200; ++i) inputs.push_back(std::to_string(i));
    Mutex mutex;
    Condition started;
    int startedCount = 0;
    int startedWhileFirstWaited = 0;
    const auto check = [&](const std::string& input) {
        Lock lock(mutex);
        ++startedCount;
        started.notifyAll();
        if (input == "0") {
            // The first installation answers only when the others have started all they
            // may, or after a second when the runner keeps them back as it should.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            while (startedCount < 100 && std::chrono::steady_clock::now() < deadline)
                started.waitFor(lock, std::chrono::milliseconds(50));
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
