// Runs the real vudcheck executable, as a user would from a command prompt, in the
// current working folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vud::testing {

struct CheckerResult {
    std::string out;   // standard output, byte for byte
    std::string err;   // standard error (on Windows, without the lines Wine writes there)
    int status = -1;   // exit status; -1 when the process did not end normally
    bool timedOut = false;
};

// The arguments are passed exactly as given (an empty one included). The outputs are
// captured in files outside the working folder, which the run leaves as it was. A run
// that takes longer than `timeoutSeconds` is ended and reported as timed out.
// `redirectOutputTo`, when not empty, sends standard output there instead (e.g.
// "/dev/full"); `out` is then empty.
CheckerResult runChecker(const std::vector<std::string>& arguments, int timeoutSeconds = 30,
                         const std::string& redirectOutputTo = "");

// Under Wine, Wine's own helper processes now and then write a line of their own to the
// standard error of the program under test ("wine: Unhandled page fault ... starting
// debugger..."), while the program's output and status are right. Returns `text`
// without those lines, which begin "wine: ", and without no other.
std::string withoutWineLines(const std::string& text);

// The path of the vudcheck executable under test.
std::string checkerPath();

// Runs any other program of the project the same way, in the current working folder.
CheckerResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         int timeoutSeconds = 30, const std::string& redirectOutputTo = "");

#ifndef _WIN32
// The command that runs the checker with `arguments` under strace, with
// `straceOptions` saying what to trace or inject where. strace writes its trace to
// `traceFile` and no notices of its own, so standard error is the checker's alone;
// strace ends with the checker's status, or dies of its signal.
std::vector<std::string> checkerUnderStrace(const std::vector<std::string>& straceOptions,
                                            const std::vector<std::string>& arguments = {},
                                            const std::string& traceFile = "/dev/null");

// Why strace cannot trace and inject faults here, or nothing when it can.
std::optional<std::string> whyStraceCannotTrace();
#endif

}  // namespace vud::testing
