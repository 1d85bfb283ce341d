#include "fleet/run/detached_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "fleet/run/runner.h"

namespace vud::fleet {
namespace {

using Clock = std::chrono::steady_clock;

// How the run ended, told in one message of two bytes: the kind and the number.
enum class Ending : char {
    Exited = 'x',
    ExitedLeavingWork = 'l',  // a thread of it stays blocked: it may not end for long
    Signalled = 's',
};

// What ends a run from outside, as it ends any program; each reaches the run too.
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// A signal passed on is taken by the run at once, unless its main thread itself waits
// on a share that never answers: then the waiting process ends by the signal alone.
constexpr auto kGraceAfterSignal = std::chrono::seconds(5);

// A run that said it ends has only its exit left to do; one that does not end in this
// time is left behind rather than waited for.
constexpr auto kGraceAfterEnding = std::chrono::seconds(2);

// In the run: where it tells how it ended, and /dev/null, which takes the place of the
// caller's streams; -1 when the run is the process the caller waits on.
int statusWriter = -1;
int nullDevice = -1;

// In the waiting process: the run, and the last signal passed on to it.
std::atomic<pid_t> runProcess{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);
volatile std::sig_atomic_t passedOn = 0;

// Only what a signal handler may call, as everything up to endBySignal's end.
void tell(Ending ending, int number) {
    if (statusWriter < 0) return;
    const char message[2] = {static_cast<char>(ending), static_cast<char>(number)};
    // MSG_NOSIGNAL: a waiting process that is gone already is no reason to end.
    if (send(statusWriter, message, sizeof message, MSG_NOSIGNAL) < 0) {
        // Nobody waits: nothing to tell.
    }
}

// A thread left blocked keeps every descriptor of the run: none of them is the caller's.
void giveBackStreams() {
    if (nullDevice < 0) return;
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(nullDevice, stream);
}

extern "C" void endOnSignal(int number) { endBySignal(number); }

extern "C" void passOnToRun(int number) {
    const pid_t run = runProcess.load();
    if (run > 0) kill(run, number);
    passedOn = number;
}

// Sets `handler` for each interruption, except one that the caller ignores (SIGHUP
// under nohup, SIGINT in a background job): that one stays ignored, for the run too.
void handleUnlessIgnored(void (*handler)(int)) {
    for (const int number : kInterruptions) {
        struct sigaction action {};
        sigaction(number, nullptr, &action);
        if (action.sa_handler == SIG_IGN) continue;
        action = {};
        action.sa_handler = handler;  // no SA_RESTART: a wait on the run sees the signal
        sigemptyset(&action.sa_mask);
        sigaction(number, &action, nullptr);
    }
}

sigset_t interruptions() {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : kInterruptions) sigaddset(&set, number);
    return set;
}

void flushStreams() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
}

// After the run: all it wrote flushed, the caller's streams given back and its end
// told (when it runs apart), and its exit status.
int finishRun(int status) {
    flushStreams();
    const bool leavingWork = workAbandoned();
    giveBackStreams();
    tell(leavingWork ? Ending::ExitedLeavingWork : Ending::Exited, status);
    // A thread still blocked on a share that stopped answering uses what static
    // destructors would tear down: end here, with everything written.
    if (leavingWork) std::_Exit(status);
    return status;
}

[[noreturn]] void endAsBy(int number) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(number);
    // A signal whose default action is not to end (none of those passed here).
    _exit(128 + number);
}

// The run's part: the run with the caller's streams, then how it ended.
int beRun(const std::function<int()>& run, int writer, int null, const sigset_t& previousMask) {
    statusWriter = writer;
    nullDevice = null;
    handleUnlessIgnored(endOnSignal);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return finishRun(run());
}

// Whether `reader` says something, or ends, by `deadline` (none: waits as long as it
// takes); a signal taken meanwhile ends the wait early too.
bool readable(int reader, std::optional<Clock::time_point> deadline, const sigset_t& waitMask) {
    pollfd status{reader, POLLIN, 0};
    timespec limit{};
    if (deadline) {
        const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
        const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        limit.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
        limit.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
    }
    return ppoll(&status, 1, deadline ? &limit : nullptr, &waitMask) > 0;
}

// The waiting process's part: ends as the run ends.
int waitForRun(pid_t run, int reader, int null, const sigset_t& previousMask) {
    runProcess = run;
    handleUnlessIgnored(passOnToRun);
    // Holding none of the caller's streams, this process leaves their end to the run.
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(null, stream);
    close(null);
    // Interruptions stay blocked but while waiting, so that none comes between the check
    // of what was passed on and the wait.
    sigset_t waitMask = previousMask;
    for (const int number : kInterruptions) sigdelset(&waitMask, number);

    char message[2];
    std::size_t got = 0;
    std::optional<Clock::time_point> giveUpAt;
    while (got < sizeof message) {
        if (passedOn != 0 && !giveUpAt) giveUpAt = Clock::now() + kGraceAfterSignal;
        if (giveUpAt && Clock::now() >= *giveUpAt) endAsBy(passedOn);
        if (!readable(reader, giveUpAt, waitMask)) continue;
        const ssize_t count = read(reader, message + got, sizeof message - got);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            // Ended without telling (killed, or crashed): all of it is gone, as its
            // descriptors are; its end is there to be taken.
            int waitStatus = 0;
            pid_t taken = -1;
            while ((taken = waitpid(run, &waitStatus, 0)) < 0 && errno == EINTR) {
            }
            if (taken == run && WIFSIGNALED(waitStatus)) endAsBy(WTERMSIG(waitStatus));
            // An end that cannot be known is no success.
            return taken == run && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 2;
        }
        got += static_cast<std::size_t>(count);
    }
    const auto ending = static_cast<Ending>(message[0]);
    const int number = static_cast<unsigned char>(message[1]);
    if (ending != Ending::ExitedLeavingWork) {
        // Its descriptors close as it ends: then it is taken, and no zombie is left.
        const Clock::time_point deadline = Clock::now() + kGraceAfterEnding;
        while (Clock::now() < deadline) {
            if (!readable(reader, deadline, waitMask)) continue;
            char rest = 0;
            const ssize_t count = read(reader, &rest, 1);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) waitpid(run, nullptr, 0);
            break;
        }
    }
    if (ending == Ending::Signalled) endAsBy(number);
    return number;
}

}  // namespace

void endBySignal(int number) {
    giveBackStreams();
    tell(Ending::Signalled, number);
    endAsBy(number);
}

int runDetached(const std::function<int()>& run) {
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    int status[2];
    if (null < 0) return finishRun(run());
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, status) != 0) {
        close(null);
        return finishRun(run());
    }
    // Neither process may be ended by an interruption before it handles them.
    const sigset_t blocked = interruptions();
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    flushStreams();
    const pid_t child = fork();
    if (child < 0) {
        close(status[0]);
        close(status[1]);
        close(null);
        pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
        return finishRun(run());
    }
    if (child == 0) {
        close(status[0]);
        return beRun(run, status[1], null, previousMask);
    }
    close(status[1]);
    return waitForRun(child, status[0], null, previousMask);
}

}  // namespace vud::fleet
