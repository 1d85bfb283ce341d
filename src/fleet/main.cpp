// vudfleet: the Vudmark checks over a fleet of installations. See command_line.h.
#include <iostream>
#include <string>
#include <vector>

#include "fleet/run/command_line.h"
#include "fleet/run/detached_run.h"
#include "text/path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "fleet/run/console_output.h"
#else
#include <unistd.h>

#include <csignal>
#endif

namespace {

// Output stopped from outside: Ctrl-C, a request to end, or the reader of a pipe gone
// (vudfleet ... | head -2). The program ends as that signal ends any program (the shell
// shows 128 and its number), but first clears the progress line, which would otherwise
// stay on the terminal as if the run went on, under the shell's next prompt.
#ifdef _WIN32
BOOL WINAPI clearProgressOnInterrupt(DWORD event) {
    const std::size_t width = vud::fleet::progressLineWidth();
    if (width > 0 && width < 200) {
        std::wstring blank = L"\r" + std::wstring(width, L' ') + L"\r";
        DWORD written = 0;
        WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), blank.data(), static_cast<DWORD>(blank.size()), &written,
                      nullptr);
    }
    (void)event;
    return FALSE;  // the system's own handling ends the program, with STATUS_CONTROL_C_EXIT
}

void clearProgressWhenOutputStops() { SetConsoleCtrlHandler(clearProgressOnInterrupt, TRUE); }
#else
extern "C" void clearProgressAndEnd(int number) {
    // Only what a signal handler may call: a lock-free load, write, and the end.
    const std::size_t width = vud::fleet::progressLineWidth();
    char blank[256];
    if (width > 0 && width + 2 <= sizeof blank) {
        blank[0] = '\r';
        for (std::size_t i = 1; i <= width; ++i) blank[i] = ' ';
        blank[width + 1] = '\r';
        if (write(STDERR_FILENO, blank, width + 2) < 0) {
            // Standard error is gone too: nothing to clear.
        }
    }
    vud::fleet::endBySignal(number);
}

void clearProgressWhenOutputStops() {
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction action {};
        sigaction(number, nullptr, &action);
        // One that the caller ignores (SIGHUP under nohup, SIGINT in a background job)
        // stays ignored.
        if (action.sa_handler == SIG_IGN) continue;
        action = {};
        action.sa_handler = clearProgressAndEnd;
        sigemptyset(&action.sa_mask);
        sigaction(number, &action, nullptr);
    }
}
#endif

int run(const std::vector<std::string>& arguments, bool progress) {
    if (progress) clearProgressWhenOutputStops();
    return vud::fleet::runFleet(arguments, {std::cin, std::cout, std::cerr, progress});
}

}  // namespace

#ifdef _WIN32
// Started as wmain, so that every argument reaches the program as typed, whatever the
// console's code page: folder names in any script, in UTF-8 from here on.
int wmain(int argc, wchar_t** argv) {
    std::ios::sync_with_stdio(false);  // before the console's own buffers replace the streams'
    // Reports are read and CSV is written byte for byte: no CR LF translation.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(vud::utf8FromWide(argv[i]));
    vud::fleet::ConsoleOutput console;
    DWORD mode = 0;
    const bool progress = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    return vud::fleet::runDetached([&] { return run(arguments, progress); });
}
#else
int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return vud::fleet::runDetached([&] { return run(arguments, isatty(STDERR_FILENO) == 1); });
}
#endif
