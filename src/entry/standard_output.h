// The checker's one output stream. It writes through a C stdio stream (so a Windows
// console or redirected file gets its usual CR LF line ends) and remembers the first
// failed write, so a full disk or closed device is reported instead of ignored.
#pragma once

#include <cstdio>
#include <ostream>
#include <streambuf>

namespace vud {

class StandardOutputBuffer : public std::streambuf {
public:
    explicit StandardOutputBuffer(std::FILE* file) : file_(file) { setp(buffer_, buffer_ + sizeof buffer_); }
    StandardOutputBuffer(const StandardOutputBuffer&) = delete;
    StandardOutputBuffer& operator=(const StandardOutputBuffer&) = delete;

    bool failed() const { return failed_; }
    // The system's error number of the first failed write; 0 when none is known.
    int failureCode() const { return failureCode_; }

protected:
    int_type overflow(int_type character) override;
    int sync() override;

private:
    bool drain();

    std::FILE* file_;
    char buffer_[4096];
    bool failed_ = false;
    int failureCode_ = 0;
};

// Writes "vudcheck: write error: <reason>" to standard error when `output` failed.
// Returns the exit status the process should end with: 0, or 1 after a write error.
int reportWriteError(const StandardOutputBuffer& output);

}  // namespace vud
