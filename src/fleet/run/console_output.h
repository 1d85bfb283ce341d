// Windows: UTF-8 text shown right on a console.
#pragma once

#ifdef _WIN32
#include <memory>
#include <streambuf>
#include <string>

namespace vud::fleet {

// For its lifetime, standard output and standard error that are consoles are written
// with the console's wide-character call, so every name shows as it is whatever the
// code page; files and pipes still get UTF-8 bytes.
class ConsoleOutput {
public:
    ConsoleOutput();
    ~ConsoleOutput();
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

private:
    std::unique_ptr<std::streambuf> out_;
    std::unique_ptr<std::streambuf> err_;
    std::streambuf* previousOut_ = nullptr;
    std::streambuf* previousErr_ = nullptr;
};

}  // namespace vud::fleet
#endif
