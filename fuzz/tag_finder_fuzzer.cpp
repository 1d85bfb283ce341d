// libFuzzer entry for the tag finder alone: every input writes the data to search
// (see tag_finder_check.h). A finder that disagrees with the plain search stops the
// fuzzer like a crash, so the input is kept.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tag_finder_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string mismatch = vud::fuzzing::findTagFinderMismatch(data, size);
    if (!mismatch.empty()) {
        std::fprintf(stderr, "tag finder differs from the plain search: %s\n", mismatch.c_str());
        std::abort();
    }
    return 0;
}
