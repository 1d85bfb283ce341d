// libFuzzer entry for the report reader: every input is a saved report as it lies on
// disk (see report_reader_check.h). A report accepted that the checker would not print
// stops the fuzzer like a crash, so the input is kept.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "report_reader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string mismatch = vud::fuzzing::findReportReaderMismatch(data, size);
    if (!mismatch.empty()) {
        std::fprintf(stderr, "report reader accepts what the checker would not print: %s\n", mismatch.c_str());
        std::abort();
    }
    return 0;
}
