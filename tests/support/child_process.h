// Other programs started by the tests, each with a deadline: the checker in a folder,
// strace around it, a FUSE server beside it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace vud::testing {

#ifdef _WIN32
inline constexpr char kNullDevice[] = "NUL";
#else
inline constexpr char kNullDevice[] = "/dev/null";
#endif

// Where a child's standard streams go.
struct ChildStreams {
    std::string output = kNullDevice;  // file for standard output, created or emptied
    std::string error = kNullDevice;   // file for standard error, created or emptied
    bool closeOutput = false;          // POSIX: no descriptor 1 at all, as the shell's ">&-" starts it
    std::string input = kNullDevice;   // file for standard input
};

// How a child ended. On POSIX the wait status is kept whole, so an exit and a death by
// signal stay apart; on Windows it is the exit code.
struct ChildEnd {
    int spawnError = 0;     // why it could not be started (errno, or Windows' error code); nothing ran then
    bool timedOut = false;  // it was still running at its deadline, and was ended
    int waitStatus = 0;

    bool exited() const;
    int exitStatus() const;  // -1 unless exited()
    int signal() const;      // the signal that ended it, or 0
};

// A running child, its program looked up on PATH. On POSIX it runs in a process group
// of its own, so that ending it ends whatever it started (strace's tracee, a server's
// helpers). Arguments reach it exactly as given, an empty one included.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& command, const ChildStreams& streams);
    ~ChildProcess();  // ends a child that still runs, and waits for it
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int spawnError() const { return end_.spawnError; }

    // Whether it has ended, without waiting.
    bool ended();

#ifndef _WIN32
    // Sends `number` to the child alone, as a terminal's Ctrl-C or a kill would.
    void sendSignal(int number);
#endif

    // Waits for its end for at most `limit`; a child still running then is ended with
    // its whole group (SIGKILL), and the end says it timed out.
    const ChildEnd& wait(std::chrono::milliseconds limit);

private:
#ifdef _WIN32
    void* process_ = nullptr;
#else
    pid_t pid_ = -1;
#endif
    bool reaped_ = false;
    ChildEnd end_;
};

// Runs `command` to its end, for at most `limit`.
ChildEnd runChild(const std::vector<std::string>& command, const ChildStreams& streams,
                  std::chrono::milliseconds limit);

#ifndef _WIN32
// Whether `program` is found on PATH, as the children's programs are.
bool onPath(const std::string& program);
#endif

}  // namespace vud::testing
