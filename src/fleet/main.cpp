// vudfleet: the Vudmark checks over a fleet of installations. See run/options.h.
#include "fleet/main.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "fleet/run/command_line.h"
#include "fleet/run/console_output.h"
#include "fleet/run/progress_line.h"
#include "fleet/run/runner.h"

int vud::fleet::runProgram(const std::vector<std::string>& arguments) {
    const ConsoleOutput console;
    if (console.showsProgress()) clearProgressLineWhenStopped();
    const int status = runFleet(arguments, {std::cin, std::cout, std::cerr, console.showsProgress()});
    if (workAbandoned()) {
        // A thread still blocked on a share that stopped answering uses what static
        // destructors would tear down: end here, with everything written.
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
