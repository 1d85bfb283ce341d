// A share whose server took a request and never answers it, nor lets it be interrupted,
// as a stuck file system server does: the thread that asked cannot be ended by any
// signal, and while it waits its process keeps every descriptor it has. The run still
// ends at its timeout for whoever reads its output. Run as the real program, its
// standard output a pipe.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fleet/fleet_run.h"
#include "fleet/generated_installation.h"
#include "support/child_process.h"
#include "support/lying_mount.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(HeldShare, ThePipeOfTheOutputClosesAtTheTimeout) {
    const testing::ScratchFolder scratch;
    testing::writeInto("ok", testing::correctInstallation(11));
    std::optional<testing::LyingMount> held;
    held.emplace("held", std::vector<std::string>{"vud_mcp.ma:65685:65685="});
    if (!held->unavailable().empty()) GTEST_SKIP() << held->unavailable();
    // The pipe of "vudfleet ... | reader", read here.
    ASSERT_EQ(0, ::mkfifo("pipe", 0600));
    // Not inherited: the end of the output is the end of what the run holds.
    const int reader = ::open("pipe", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);

    const Clock::time_point begun = Clock::now();
    // The run's writing end is open once it is started; its end is the end of the file.
    testing::ChildProcess run({VUDFLEET_EXECUTABLE, "--timeout", "3", "ok", "held"}, {"pipe", "err.txt"});
    ASSERT_EQ(0, run.spawnError());
    std::string out;
    bool closed = false;
    // Far looser than the run needs, for a busy machine: the benchmark measures it.
    const Clock::time_point deadline = begun + 20s;
    while (!closed && Clock::now() < deadline) {
        char buffer[4096];
        const ssize_t count = ::read(reader, buffer, sizeof buffer);
        if (count > 0)
            out.append(buffer, static_cast<std::size_t>(count));
        else if (count == 0)
            closed = true;
        else
            std::this_thread::sleep_for(5ms);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    ::close(reader);
    // Whatever happened, the request is let go before the run is waited for: a run that
    // could not end ends then.
    held.reset();
    const testing::ChildEnd& end = run.wait(20s);

    EXPECT_TRUE(closed) << "the output was still open after " << seconds << " s";
    ASSERT_FALSE(end.timedOut);
    EXPECT_EQ(2, end.exitStatus()) << "ended by signal " << end.signal();
    EXPECT_EQ("ok        11         41 of 41 correct  ok\n"
              "error     -                            held  timed out after 3 s\n"
              "2 installations: 1 ok, 0 with findings, 1 error\n",
              withoutTotals(out));
    EXPECT_EQ("vudfleet: held: timed out after 3 s\n", testing::readFile("err.txt"));
}

// Interrupted while the share holds its read, with no timeout to give it up: the run
// cannot end, but the program ends by the signal, as any program does.
TEST(HeldShare, AnInterruptedRunEndsByItsSignal) {
    const testing::ScratchFolder scratch;
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(::strsignal(number));
        std::optional<testing::LyingMount> held;
        held.emplace("held", std::vector<std::string>{"vud_mcp.ma:65685:65685="});
        if (!held->unavailable().empty()) GTEST_SKIP() << held->unavailable();
        testing::ChildProcess run({VUDFLEET_EXECUTABLE, "--timeout", "0", "held"}, {"out.txt", "err.txt"});
        ASSERT_EQ(0, run.spawnError());
        std::this_thread::sleep_for(1s);  // into the held read
        run.sendSignal(number);
        const Clock::time_point deadline = Clock::now() + 20s;
        while (!run.ended() && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
        const bool ended = run.ended();
        // A program that could not end ends once the read is let go.
        held.reset();
        const testing::ChildEnd& end = run.wait(20s);
        EXPECT_TRUE(ended) << "still running 20 s after the signal";
        EXPECT_EQ(number, end.signal()) << "exit status " << end.exitStatus();
    }
}

}  // namespace
}  // namespace vud::fleet
