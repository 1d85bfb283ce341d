#include "fleet/main.h"

#include "text/path.h"

// Started as wmain, so that every argument reaches the program as typed, whatever the
// console's code page: folder names in any script, in UTF-8 from here on.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(vud::utf8FromWide(argv[i]));
    return vud::fleet::runProgram(arguments);
}
