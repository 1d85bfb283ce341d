#include "support/child_process.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <csignal>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace vud::testing {

ChildEnd runChild(const std::vector<std::string>& command, const ChildStreams& streams,
                  std::chrono::milliseconds limit) {
    ChildProcess child(command, streams);
    return child.wait(limit);
}

#ifdef _WIN32
namespace {

// One argument as the C runtime of the child splits its command line again: quoted,
// with the backslashes before a quote, and those at the end, doubled.
void appendQuoted(std::string& line, const std::string& argument) {
    line += '"';
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

HANDLE openForChild(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                         write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool ChildEnd::exited() const { return spawnError == 0 && !timedOut; }

int ChildEnd::exitStatus() const { return exited() ? waitStatus : -1; }

int ChildEnd::signal() const { return 0; }

ChildProcess::ChildProcess(const std::vector<std::string>& command, const ChildStreams& streams) {
    std::string line;
    for (const std::string& word : command) {
        if (!line.empty()) line += ' ';
        appendQuoted(line, word);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = openForChild(streams.input, false);
    startup.hStdOutput = openForChild(streams.output, true);
    startup.hStdError = openForChild(streams.error, true);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        end_.spawnError = static_cast<int>(::GetLastError());
        reaped_ = true;
    } else {
        ::CloseHandle(process.hThread);
        process_ = process.hProcess;
    }
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
}

ChildProcess::~ChildProcess() {
    wait(std::chrono::milliseconds(0));
    if (process_ != nullptr) ::CloseHandle(process_);
}

bool ChildProcess::ended() {
    if (!reaped_ && ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(process_, &code);
        end_.waitStatus = static_cast<int>(code);
        reaped_ = true;
    }
    return reaped_;
}

const ChildEnd& ChildProcess::wait(std::chrono::milliseconds limit) {
    if (!reaped_ && ::WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) == WAIT_TIMEOUT) {
        end_.timedOut = true;
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, INFINITE);
        reaped_ = true;
    }
    ended();
    return end_;
}

#else

bool ChildEnd::exited() const { return spawnError == 0 && !timedOut && WIFEXITED(waitStatus); }

int ChildEnd::exitStatus() const { return exited() ? WEXITSTATUS(waitStatus) : -1; }

int ChildEnd::signal() const { return spawnError == 0 && WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0; }

ChildProcess::ChildProcess(const std::vector<std::string>& command, const ChildStreams& streams) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, streams.input.c_str(), O_RDONLY, 0);
    if (streams.closeOutput)
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, streams.output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, streams.error.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<std::string> words = command;
    std::vector<char*> argumentPointers;
    for (std::string& word : words) argumentPointers.push_back(word.data());
    argumentPointers.push_back(nullptr);
    end_.spawnError =
        posix_spawnp(&pid_, argumentPointers[0], &actions, &attributes, argumentPointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (end_.spawnError != 0) {
        pid_ = -1;
        reaped_ = true;
    }
}

ChildProcess::~ChildProcess() { wait(std::chrono::milliseconds(0)); }

bool ChildProcess::ended() {
    if (!reaped_ && ::waitpid(pid_, &end_.waitStatus, WNOHANG) == pid_) reaped_ = true;
    return reaped_;
}

const ChildEnd& ChildProcess::wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ended()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            end_.timedOut = true;
            ::kill(-pid_, SIGKILL);
            ::waitpid(pid_, &end_.waitStatus, 0);
            reaped_ = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return end_;
}

void ChildProcess::sendSignal(int number) {
    if (!ended()) ::kill(pid_, number);
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t colon = folders.find(':', start);
        if (colon == std::string::npos) colon = folders.size();
        const std::string candidate = folders.substr(start, colon - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

#endif

}  // namespace vud::testing
