#include "fleet/run/console_output.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <streambuf>
#include <iostream>

#include "text/path.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

// Collects UTF-8 bytes and hands whole characters to WriteConsoleW.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}
    ~ConsoleBuffer() override { writeWholeCharacters(); }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            pending_ += static_cast<char>(c);
            if (c == '\n' || pending_.size() >= 4096) writeWholeCharacters();
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* data, std::streamsize count) override {
        pending_.append(data, static_cast<std::size_t>(count));
        if (pending_.size() >= 4096 || pending_.find('\n') != std::string::npos) writeWholeCharacters();
        return count;
    }

    int sync() override {
        writeWholeCharacters();
        return 0;
    }

private:
    void writeWholeCharacters() {
        // A character cut at the buffer's end waits for its last bytes.
        const std::size_t whole = wholeCharactersLength(pending_);
        const std::wstring wide = wideFromUtf8(std::string_view(pending_).substr(0, whole));
        pending_.erase(0, whole);
        DWORD written = 0;
        if (!wide.empty()) WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    }

    HANDLE console_;
    std::string pending_;
};

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

struct ConsoleOutput::Replaced {
    std::unique_ptr<std::streambuf> out;  // null where the stream is left as it is
    std::unique_ptr<std::streambuf> err;
    std::streambuf* previousOut = nullptr;
    std::streambuf* previousErr = nullptr;
};

ConsoleOutput::ConsoleOutput() : replaced_(std::make_unique<Replaced>()) {
    std::ios::sync_with_stdio(false);  // before the console's own buffers replace the streams'
    // Reports are read and CSV is written byte for byte: no CR LF translation.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (isConsole(out)) {
        replaced_->out = std::make_unique<ConsoleBuffer>(out);
        replaced_->previousOut = std::cout.rdbuf(replaced_->out.get());
    }
    if (isConsole(err)) {
        replaced_->err = std::make_unique<ConsoleBuffer>(err);
        replaced_->previousErr = std::cerr.rdbuf(replaced_->err.get());
        progress_ = true;
    }
}

ConsoleOutput::~ConsoleOutput() {
    std::cout.flush();
    std::cerr.flush();
    if (replaced_->previousOut != nullptr) std::cout.rdbuf(replaced_->previousOut);
    if (replaced_->previousErr != nullptr) std::cerr.rdbuf(replaced_->previousErr);
}

}  // namespace vud::fleet
