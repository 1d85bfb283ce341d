#include "fleet/console_output.h"

#ifdef _WIN32
#include <windows.h>

#include <iostream>

namespace vud::fleet {
namespace {

std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// Collects UTF-8 bytes and hands whole characters to WriteConsoleW.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}
    ~ConsoleBuffer() override { sync(); }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            pending_ += static_cast<char>(c);
            if (c == '\n' || pending_.size() >= 4096) sync();
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* data, std::streamsize count) override {
        pending_.append(data, static_cast<std::size_t>(count));
        if (pending_.size() >= 4096 || pending_.find('\n') != std::string::npos) sync();
        return count;
    }

    int sync() override {
        // A character cut at the buffer's end waits for its last bytes.
        std::size_t whole = pending_.size();
        std::size_t back = 0;
        while (back < 3 && back < whole && (static_cast<unsigned char>(pending_[whole - 1 - back]) & 0xC0) == 0x80)
            ++back;
        if (back < whole) {
            const auto lead = static_cast<unsigned char>(pending_[whole - 1 - back]);
            const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (needed > back + 1) whole -= back + 1;
        }
        const std::wstring wide = wideFromUtf8(pending_.substr(0, whole));
        pending_.erase(0, whole);
        DWORD written = 0;
        if (!wide.empty()) WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return 0;
    }

private:
    HANDLE console_;
    std::string pending_;
};

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

std::string utf8FromWide(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    utf8.pop_back();  // the NUL
    return utf8;
}

ConsoleOutput::ConsoleOutput() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (isConsole(out)) {
        out_ = std::make_unique<ConsoleBuffer>(out);
        previousOut_ = std::cout.rdbuf(out_.get());
    }
    if (isConsole(err)) {
        err_ = std::make_unique<ConsoleBuffer>(err);
        previousErr_ = std::cerr.rdbuf(err_.get());
    }
}

ConsoleOutput::~ConsoleOutput() {
    std::cout.flush();
    std::cerr.flush();
    if (previousOut_ != nullptr) std::cout.rdbuf(previousOut_);
    if (previousErr_ != nullptr) std::cerr.rdbuf(previousErr_);
}

}  // namespace vud::fleet
#endif
