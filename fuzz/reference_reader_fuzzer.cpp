// libFuzzer entry for the reference reader: every input is a reference file as it lies
// on disk (see reference_reader_check.h). A reference accepted that its writer would not
// make again, or a refusal that names no line of it, stops the fuzzer like a crash, so
// the input is kept.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "reference_reader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string mismatch = vud::fuzzing::findReferenceReaderMismatch(data, size);
    if (!mismatch.empty()) {
        std::fprintf(stderr, "reference reader: %s\n", mismatch.c_str());
        std::abort();
    }
    return 0;
}
