#include "support/run_checker.h"

#include <cstdlib>
#include <filesystem>
#include <random>

#include "support/scratch_folder.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace vud::testing {
namespace {

// Quotes one word for the platform's command interpreter.
std::string quoted(const std::string& word) {
#ifdef _WIN32
    return "\"" + word + "\"";
#else
    std::string text = "'";
    for (char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
#endif
}

}  // namespace

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

    std::string command;
#ifndef _WIN32
    command = "timeout -s KILL " + std::to_string(timeoutSeconds) + " ";
#else
    (void)timeoutSeconds;  // CTest's own test timeout bounds a run here
#endif
    command += quoted(program);
    for (const std::string& argument : arguments) command += " " + quoted(argument);
    command += " >" + quoted(redirectOutputTo.empty() ? outPath.string() : redirectOutputTo);
    command += " 2>" + quoted(errPath.string());
#ifdef _WIN32
    command = "\"" + command + "\"";  // cmd /c strips one outer pair of quotes
#endif

    CheckerResult result;
    const int raw = std::system(command.c_str());
#ifdef _WIN32
    result.status = raw;
#else
    if (WIFEXITED(raw)) {
        result.status = WEXITSTATUS(raw);
        result.timedOut = result.status == 137 || result.status == 124;
        if (result.timedOut) result.status = -1;
    }
#endif
    result.out = readFile(outPath);
    result.err = readFile(errPath);
#ifdef _WIN32
    result.err = withoutWineLines(result.err);
#endif
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(errPath, ignored);
    return result;
}

}  // namespace vud::testing
