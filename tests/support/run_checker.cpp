#include "support/run_checker.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "support/child_process.h"
#include "support/scratch_folder.h"

namespace vud::testing {

std::string checkerPath() { return VUDCHECK_EXECUTABLE; }

std::string withoutWineLines(const std::string& text) {
    std::string kept;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t newline = text.find('\n', begin);
        const std::size_t end = newline == std::string::npos ? text.size() : newline + 1;
        if (text.compare(begin, 6, "wine: ") != 0) kept.append(text, begin, end - begin);
        begin = end;
    }
    return kept;
}

CheckerResult runChecker(const std::vector<std::string>& arguments, int timeoutSeconds,
                         const std::string& redirectOutputTo) {
    return runProgram(checkerPath(), arguments, timeoutSeconds, redirectOutputTo);
}

CheckerResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         int timeoutSeconds, const std::string& redirectOutputTo) {
    std::random_device entropy;
    const std::filesystem::path base = std::filesystem::temp_directory_path() /
                                       ("vudcheck-run-" + std::to_string(entropy()));
    const std::filesystem::path outPath = base.string() + ".out";
    const std::filesystem::path errPath = base.string() + ".err";

    std::vector<std::string> command = {program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ChildEnd end = runChild(
        command, {redirectOutputTo.empty() ? outPath.string() : redirectOutputTo, errPath.string()},
        std::chrono::seconds(timeoutSeconds));
    CheckerResult result;
    result.status = end.exitStatus();
    result.timedOut = end.timedOut;
    if (redirectOutputTo.empty()) result.out = readFile(outPath);
    result.err = readFile(errPath);
#ifdef _WIN32
    result.err = withoutWineLines(result.err);
#endif
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(errPath, ignored);
    return result;
}

#ifndef _WIN32
std::vector<std::string> checkerUnderStrace(const std::vector<std::string>& straceOptions,
                                            const std::vector<std::string>& arguments, const std::string& traceFile) {
    // The leak checker of a sanitizer build refuses to run under a tracer and would
    // fail the run on its own account.
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    std::vector<std::string> command = {
        "strace", "--quiet=all", "-o", traceFile, "-E",
        "ASAN_OPTIONS=" + (sanitizerOptions ? sanitizerOptions + std::string(":") : std::string()) + "detect_leaks=0"};
    command.insert(command.end(), straceOptions.begin(), straceOptions.end());
    command.push_back(checkerPath());
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

std::optional<std::string> whyStraceCannotTrace() {
    static const std::optional<std::string> reason = []() -> std::optional<std::string> {
        const ChildEnd probe =
            runChild({"strace", "--quiet=all", "-o", "/dev/null", "-e", "inject=openat:error=EIO:when=1000", "true"},
                     {}, std::chrono::seconds(20));
        if (probe.spawnError == ENOENT) return "strace is not installed";
        if (probe.spawnError != 0) return "strace cannot be started: " + std::string(std::strerror(probe.spawnError));
        if (probe.exitStatus() != 0) return "strace cannot trace here (is ptrace permitted?)";
        return std::nullopt;
    }();
    return reason;
}
#endif

}  // namespace vud::testing
