// A folder whose files report one size and deliver another: vud_lying_fs mounted for
// the length of a test. Linux only.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vud::testing {

class ChildProcess;

class LyingMount {
public:
    // Creates `folder` and mounts there the files described as vud_lying_fs takes
    // them: NAME:REPORTED:DELIVERED[!FAILING][:OFFSET:TAG]. When that cannot be done,
    // unavailable() tells why and the folder stays empty.
    LyingMount(const std::string& folder, const std::vector<std::string>& files);
    ~LyingMount();
    LyingMount(const LyingMount&) = delete;
    LyingMount& operator=(const LyingMount&) = delete;

    // Empty when mounted; otherwise why not, for the test to skip with.
    const std::string& unavailable() const { return unavailable_; }

private:
    std::string folder_;
    std::string unavailable_;
    std::unique_ptr<ChildProcess> server_;
};

}  // namespace vud::testing
