#include "fleet/run/progress_line.h"

#include <string>

#include <windows.h>

namespace vud::fleet {
namespace {

// The system calls it on a thread of its own, while the run goes on.
BOOL WINAPI clearProgressOnInterrupt(DWORD event) {
    const std::size_t width = progressLineWidth();
    if (width > 0 && width < 200) {
        std::wstring blank = L"\r" + std::wstring(width, L' ') + L"\r";
        DWORD written = 0;
        WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), blank.data(), static_cast<DWORD>(blank.size()), &written,
                      nullptr);
    }
    (void)event;
    return FALSE;  // the system's own handling ends the program, with STATUS_CONTROL_C_EXIT
}

}  // namespace

void clearProgressLineWhenStopped() { SetConsoleCtrlHandler(clearProgressOnInterrupt, TRUE); }

}  // namespace vud::fleet
