// The parallel run: records in input order, and no more of them waiting to be written
// than a few per thread, however slow one installation is; an installation that never
// answers is given up after the timeout while the others go on.
#include "fleet/run/runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vud::fleet {
namespace {

InstallationRecord recordNamed(const std::string& input) {
    InstallationRecord record;
    record.installation = input;
    record.status = Status::Ok;
    return record;
}

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
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            while (startedCount < 100 && std::chrono::steady_clock::now() < deadline)
                started.wait_for(lock, std::chrono::milliseconds(50));
            startedWhileFirstWaited = startedCount;
        }
        return recordNamed(input);
    };
    std::vector<std::string> order;
    int lastDone = 0;
    checkAll(
        inputs, 4, std::chrono::seconds(0), check,
        [&](InstallationRecord& record) {
            order.push_back(record.installation);
            return true;
        },
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

// Many quick installations on many threads: every record arrives once, in order. Run
// under ThreadSanitizer, any unguarded access to the run's shared state shows here.
TEST(Runner, ManyQuickInstallationsComeOutOnceInOrder) {
    std::vector<std::string> inputs;
    for (int i = 0; i < 2000; ++i) inputs.push_back(std::to_string(i));
    std::vector<std::string> order;
    checkAll(inputs, 8, std::chrono::seconds(0), recordNamed,
             [&](InstallationRecord& record) {
            order.push_back(record.installation);
            return true;
        }, [](const RunProgress&) {});
    EXPECT_EQ(inputs, order);
}

// Last, as it leaves a thread blocked until the test program ends.
TEST(Runner, AnInstallationThatNeverAnswersIsGivenUpAndTheOthersGoOn) {
    const std::vector<std::string> inputs{"a", "hangs", "b", "c"};
    // Never set: the blocked check waits for ever, as on a share that stopped answering.
    auto never = std::make_shared<std::pair<std::mutex, std::condition_variable>>();
    const auto check = [never](const std::string& input) {
        if (input == "hangs") {
            std::unique_lock lock(never->first);
            never->second.wait(lock, [] { return false; });
        }
        return recordNamed(input);
    };
    std::vector<InstallationRecord> records;
    const auto begun = std::chrono::steady_clock::now();
    checkAll(inputs, 2, std::chrono::seconds(1), check,
             [&](InstallationRecord& record) {
                 records.push_back(record);
                 return true;
             },
             [](const RunProgress&) {});
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
    ASSERT_EQ(4U, records.size());
    EXPECT_EQ("a", records[0].installation);
    EXPECT_EQ(Status::Ok, records[0].status);
    EXPECT_EQ("hangs", records[1].installation);
    EXPECT_EQ(Status::Error, records[1].status);
    EXPECT_EQ("timed out after 1 s", records[1].error);
    EXPECT_EQ("b", records[2].installation);
    EXPECT_EQ("c", records[3].installation);
    EXPECT_EQ(Status::Ok, records[3].status);
    EXPECT_TRUE(workAbandoned());
}

}  // namespace
}  // namespace vud::fleet
