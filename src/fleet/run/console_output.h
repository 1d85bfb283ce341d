// The standard streams set up as the fleet reads and writes them, one file per
// platform (console_output_posix.cpp, console_output_win32.cpp).
#pragma once

#include <memory>

namespace vud::fleet {

// For its lifetime, reports and lists are read and CSV is written byte for byte, and
// on Windows standard output and standard error that are consoles are written with
// the console's wide-character call, so every name shows as it is whatever the code
// page; files and pipes still get UTF-8 bytes. Made before anything is read or written.
class ConsoleOutput {
public:
    ConsoleOutput();
    ~ConsoleOutput();
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    // Standard error is a terminal: a progress line shows how far the run is.
    bool showsProgress() const { return progress_; }

private:
    // The streams' buffers put in place of the standard ones, and those they replaced;
    // null where every stream is left as it is.
    struct Replaced;
    std::unique_ptr<Replaced> replaced_;
    bool progress_ = false;
};

}  // namespace vud::fleet
