// Other programs started by the tests, each with a deadline: the checker in a folder,
// strace around it, a FUSE server beside it. POSIX only; on Windows the checker runs
// through the command interpreter (run_checker.cpp).
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace vud::testing {

// Where a child's standard streams go. Standard input always reads nothing.
struct ChildStreams {
    std::string output = "/dev/null";  // file for standard output, created or emptied
    std::string error = "/dev/null";   // file for standard error, created or emptied
    bool closeOutput = false;          // no descriptor 1 at all, as the shell's ">&-" starts it
};

// How a child ended. The wait status is kept whole, so an exit and a death by signal
// stay apart.
struct ChildEnd {
    int spawnError = 0;     // why it could not be started (an errno value); nothing ran then
    bool timedOut = false;  // it was still running at its deadline, and was ended
    int waitStatus = 0;

    bool exited() const;
    int exitStatus() const;  // -1 unless exited()
    int signal() const;      // the signal that ended it, or 0
};

// A running child, its program looked up on PATH, in a process group of its own, so
// that ending it ends whatever it started (strace's tracee, a server's helpers).
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& command, const ChildStreams& streams);
    ~ChildProcess();  // ends a child that still runs, and waits for it
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int spawnError() const { return end_.spawnError; }

    // Whether it has ended, without waiting.
    bool ended();

    // Waits for its end for at most `limit`; a child still running then is ended with
    // its whole group (SIGKILL), and the end says it timed out.
    const ChildEnd& wait(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    ChildEnd end_;
};

// Runs `command` to its end, for at most `limit`.
ChildEnd runChild(const std::vector<std::string>& command, const ChildStreams& streams,
                  std::chrono::milliseconds limit);

// Whether `program` is found on PATH, as the children's programs are.
bool onPath(const std::string& program);

}  // namespace vud::testing
