// libFuzzer entry: every input is an installation of application files (see
// installation_check.h). A broken invariant stops the fuzzer like a crash, so the
// input that broke it is kept.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "installation_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string broken = vud::fuzzing::findBrokenInvariant(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "broken invariant: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
