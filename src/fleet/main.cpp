// vudfleet: the Vudmark checks over a fleet of installations. See run/options.h.
#include "fleet/main.h"

#include <iostream>

#include "fleet/run/command_line.h"
#include "fleet/run/console_output.h"
#include "fleet/run/detached_run.h"
#include "fleet/run/progress_line.h"

int vud::fleet::runProgram(const std::vector<std::string>& arguments) {
    const ConsoleOutput console;
    return runDetached([&] {
        if (console.showsProgress()) clearProgressLineWhenStopped();
        return runFleet(arguments, {std::cin, std::cout, std::cerr, console.showsProgress()});
    });
}
