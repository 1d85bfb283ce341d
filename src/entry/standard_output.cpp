#include "entry/standard_output.h"

#include <cerrno>
#include <cstring>

namespace vud {

StandardOutputBuffer::StandardOutputBuffer(std::FILE* file) : file_(file) {
    std::setvbuf(file_, nullptr, _IONBF, 0);
    setp(buffer_, buffer_ + sizeof buffer_);
}

bool StandardOutputBuffer::drain() {
    const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_, buffer_ + sizeof buffer_);
    if (failed_) return false;
    errno = 0;
    if (std::fwrite(buffer_, 1, pending, file_) != pending || std::fflush(file_) != 0) {
        failed_ = true;
        failureCode_ = errno;
        return false;
    }
    return true;
}

StandardOutputBuffer::int_type StandardOutputBuffer::overflow(int_type character) {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(character);
        pbump(1);
    }
    return traits_type::not_eof(character);
}

int StandardOutputBuffer::sync() { return drain() ? 0 : -1; }

int reportWriteError(const StandardOutputBuffer& output) {
    if (!output.failed()) return 0;
    if (output.failureCode() != 0)
        std::fprintf(stderr, "vudcheck: write error: %s\n", std::strerror(output.failureCode()));
    else
        std::fputs("vudcheck: write error\n", stderr);
    return 1;
}

}  // namespace vud
