// The checker's one output stream. It writes through a C stdio stream (so a Windows
// console or redirected file gets its usual CR LF line ends) and remembers the first
// failed write, so a full disk or closed device is reported instead of ignored.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ostream>
#include <streambuf>

namespace vud {

// Room for the whole listing (about 28 KB) and for any block of a verification, so that
// what the program flushes leaves in one write: the listing once at the end, a
// verification once a block and once for its summary.
inline constexpr std::size_t kStandardOutputBufferSize = std::size_t{64} * 1024;

class StandardOutputBuffer : public std::streambuf {
public:
    // Takes `file` before anything is written to it, and leaves it unbuffered: this buffer
    // is the only one, as stdio's own would cut a flush longer than its few KiB in two.
    explicit StandardOutputBuffer(std::FILE* file);
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
    char buffer_[kStandardOutputBufferSize];
    bool failed_ = false;
    int failureCode_ = 0;
};

// Writes "vudcheck: write error: <reason>" to standard error when `output` failed.
// Returns the exit status the process should end with: 0, or 1 after a write error.
int reportWriteError(const StandardOutputBuffer& output);

}  // namespace vud
