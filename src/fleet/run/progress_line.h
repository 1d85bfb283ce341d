// The line that shows on a terminal how far a run is, rewritten in place, and cleared
// however the run ends. progress_line_posix.cpp and progress_line_win32.cpp each clear
// it where that platform stops a program from outside.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

#include "fleet/run/runner.h"

namespace vud::fleet {

class ProgressLine {
public:
    // Writes to `err` when `shown` (standard error is a terminal), else nothing.
    ProgressLine(std::ostream& err, bool shown) : err_(err), shown_(shown) {}

    // "N of M checked: PATH", at most a few times a second until the last is done.
    void show(const RunProgress& progress);
    // Blanks the line, before anything else is written to standard error.
    void clear();

private:
    void write(const std::string& line);

    std::ostream& err_;
    bool shown_;
    std::size_t width_ = 0;
    std::chrono::steady_clock::time_point lastShown_{};
};

// The characters of the progress line standard error shows now, 0 when none. Read
// without a lock, so that a signal handler can clear the line before the program ends.
std::size_t progressLineWidth();

// Output stopped from outside: Ctrl-C, a request to end, or the reader of a pipe gone
// (vudfleet ... | head -2). The program ends as that stop ends any program (the shell
// shows 128 and its number), but first clears the progress line, which would otherwise
// stay on the terminal as if the run went on, under the shell's next prompt.
void clearProgressLineWhenStopped();

}  // namespace vud::fleet
