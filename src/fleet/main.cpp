// vudfleet: the Vudmark checks over a fleet of installations. See command_line.h.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "fleet/command_line.h"
#include "fleet/runner.h"
#include "text/path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "fleet/console_output.h"
#else
#include <unistd.h>
#endif

namespace {

int run(const std::vector<std::string>& arguments, bool progress) {
    const int status = vud::fleet::runFleet(arguments, {std::cin, std::cout, std::cerr, progress});
    if (vud::fleet::workAbandoned()) {
        // A thread still blocked on a share that stopped answering uses what static
        // destructors would tear down: end here, with everything written.
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
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
    return run(arguments, progress);
}
#else
int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return run(std::vector<std::string>(argv + 1, argv + argc), isatty(STDERR_FILENO) == 1);
}
#endif
