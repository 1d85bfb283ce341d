# A libFuzzer build: the application-file fuzzer (fuzz/) and, under it, the whole
# program compiled with coverage hooks and the sanitizers (see Sanitizers.cmake).
#
# libFuzzer comes with clang, not with g++: configure a separate build folder with
# -DCMAKE_CXX_COMPILER=clang++ -DVUDCHECK_FUZZ=ON.
option(VUDCHECK_FUZZ "Build the libFuzzer target (needs a compiler with -fsanitize=fuzzer)" OFF)

if(NOT VUDCHECK_FUZZ)
  return()
endif()

include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer)
check_cxx_source_compiles([[
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
]] VUDCHECK_HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_LINK_OPTIONS)

if(NOT VUDCHECK_HAVE_LIBFUZZER)
  message(FATAL_ERROR
    "VUDCHECK_FUZZ: ${CMAKE_CXX_COMPILER} cannot link with -fsanitize=fuzzer; "
    "configure with -DCMAKE_CXX_COMPILER=clang++ (and libclang_rt.fuzzer installed)")
endif()

# Coverage hooks in every library the fuzzer drives; libFuzzer's main is linked into
# the fuzzer executable alone.
add_compile_options(-fsanitize=fuzzer-no-link)
