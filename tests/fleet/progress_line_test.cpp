// The progress line a run shows on a terminal is cleared however its output stops: the
// reader of its standard output gone (vudfleet ... | head -2), Ctrl-C, a request to end.
// The program then ends by that signal, as any program does. Run as the real program,
// its standard error on a pseudo-terminal, which is what shows the line at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fleet/generated_installation.h"
#include "support/child_process.h"
#include "support/lying_mount.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

using namespace std::chrono_literals;

// A pseudo-terminal: a child writes to its name, the test reads what it was shown.
class Terminal {
public:
    Terminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        const char* name = ::ptsname(master_);
        if (name == nullptr) return;
        // Held open here too, so what a child wrote stays readable after it ended.
        follower_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (follower_ < 0) return;
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
        name_ = name;
    }
    ~Terminal() {
        if (follower_ >= 0) ::close(follower_);
        if (master_ >= 0) ::close(master_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Empty when there is no pseudo-terminal.
    const std::string& name() const { return name_; }

    // All that was written to it so far.
    const std::string& shown() {
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::read(master_, buffer, sizeof buffer)) > 0) shown_.append(buffer, static_cast<std::size_t>(count));
        return shown_;
    }

    // Waits at most `limit` until `text` was shown.
    bool waitFor(const std::string& text, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (shown().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    void forget() { shown_.clear(); }

private:
    int master_ = -1;
    int follower_ = -1;
    std::string name_;
    std::string shown_;
};

// The line the cursor is on once `bytes` are shown, as a terminal shows it: a carriage
// return goes back to its start and what follows writes over it; trailing blanks dropped.
std::string lastLine(const std::string& bytes) {
    std::string line;
    std::size_t column = 0;
    for (const char c : bytes) {
        if (c == '\n') {
            line.clear();
            column = 0;
        } else if (c == '\r') {
            column = 0;
        } else {
            if (column < line.size())
                line[column] = c;
            else
                line += c;
            ++column;
        }
    }
    return line.substr(0, line.find_last_not_of(' ') + 1);
}

TEST(ProgressLine, IsClearedWhenTheReaderOfStandardOutputGoes) {
    const testing::ScratchFolder scratch;
    testing::writeInto("ok", testing::correctInstallation(11));
    Terminal terminal;
    if (terminal.name().empty()) GTEST_SKIP() << "no pseudo-terminal here";
    // The pipe of "vudfleet ... | head -2": far more CSV than a pipe holds, so the run is
    // still writing when its reader goes.
    ASSERT_EQ(0, ::mkfifo("pipe", 0600));
    // Not inherited: the run must be left with no reader at all.
    const int reader = ::open("pipe", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    std::vector<std::string> command{VUDFLEET_EXECUTABLE, "--jobs", "1", "--format", "csv"};
    // A folder of its own each time: one folder however spelled is checked once.
    for (int i = 0; i < 60; ++i) {
        command.push_back("ok" + std::to_string(i));
        std::filesystem::copy("ok", command.back());
    }
    testing::ChildProcess child(command, {"pipe", terminal.name()});

    std::string read;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    // Read on until the terminal shows the progress line too, however slow the run.
    while ((std::count(read.begin(), read.end(), '\n') < 2 || terminal.shown().find(" checked: ") == std::string::npos) &&
           std::chrono::steady_clock::now() < deadline) {
        char buffer[256];
        const ssize_t count = ::read(reader, buffer, sizeof buffer);
        if (count > 0)
            read.append(buffer, static_cast<std::size_t>(count));
        else
            std::this_thread::sleep_for(5ms);
    }
    ::close(reader);
    const testing::ChildEnd& end = child.wait(60s);
    ASSERT_FALSE(end.timedOut);
    EXPECT_EQ(SIGPIPE, end.signal());
    EXPECT_EQ(0, read.rfind("installation,source,status,", 0)) << read;
    const std::string& shown = terminal.shown();
    EXPECT_NE(std::string::npos, shown.find(" checked: ")) << "no progress line was shown";
    EXPECT_EQ("", lastLine(shown)) << shown;
}

// Interrupted while an installation on a share that never answers holds the run.
TEST(ProgressLine, IsClearedWhenTheRunIsInterrupted) {
    const testing::ScratchFolder scratch;
    testing::writeInto("ok", testing::correctInstallation(11));
    const testing::LyingMount stuck("stuck", {"vud_mcp.ma:65685:65685~"});
    if (!stuck.unavailable().empty()) GTEST_SKIP() << stuck.unavailable();
    Terminal terminal;
    if (terminal.name().empty()) GTEST_SKIP() << "no pseudo-terminal here";
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(::strsignal(number));
        terminal.forget();
        testing::ChildProcess child({VUDFLEET_EXECUTABLE, "--timeout", "0", "ok", "stuck"}, {"out.txt", terminal.name()});
        ASSERT_TRUE(terminal.waitFor(" checked: ", 30s)) << terminal.shown();
        child.sendSignal(number);
        const testing::ChildEnd& end = child.wait(30s);
        ASSERT_FALSE(end.timedOut);
        EXPECT_EQ(number, end.signal()) << "exit status " << end.exitStatus() << ": " << terminal.shown();
        EXPECT_EQ("", lastLine(terminal.shown())) << terminal.shown();
    }
}

}  // namespace
}  // namespace vud::fleet
