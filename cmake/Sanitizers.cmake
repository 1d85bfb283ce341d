# The builds that find faults rather than ship: the address and undefined-behaviour
# sanitizers, the thread sanitizer, and libFuzzer's coverage hooks for the fuzz targets
# (fuzz/), over the program and every test.
#
# The checker reads whatever a user's folder holds under the application names, so a
# read past the file image, a tag copied beyond its 13 bytes or an overflowing size
# must stop the run at once: no finding is recovered from, and each fails the test
# that met it. A fuzzing build always has them.
option(VUDCHECK_SANITIZE "Build the program and its tests with address and undefined-behaviour sanitizers" OFF)
# ThreadSanitizer for the fleet checker's parallel run: a missing lock around what its
# workers share fails the fleet's tests. It cannot be combined with the others.
option(VUDCHECK_TSAN "Build the program and its tests with the thread sanitizer" OFF)
# libFuzzer comes with clang, not with g++: a fuzzing build is configured with
# -DCMAKE_CXX_COMPILER=clang++ (the presets fuzz and ci-sanitizers).
option(VUDCHECK_FUZZ "Build the libFuzzer targets (needs a compiler with -fsanitize=fuzzer)" OFF)

# A sanitizer build ships nothing. -O1, the sanitizers' own advice, keeps every check
# and whole stack traces, and -g1 their files and lines, for much less compile time
# than -O2 -g; the tests' code too.
set(vud_sanitizer_optimisation -O1 -g1)

if(VUDCHECK_TSAN)
  if(VUDCHECK_SANITIZE OR VUDCHECK_FUZZ OR MINGW)
    message(FATAL_ERROR "VUDCHECK_TSAN is for a native build of its own, without VUDCHECK_SANITIZE or VUDCHECK_FUZZ")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer ${vud_sanitizer_optimisation})
  add_link_options(-fsanitize=thread)
  return()
endif()
if(NOT (VUDCHECK_SANITIZE OR VUDCHECK_FUZZ))
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  message(FATAL_ERROR "VUDCHECK_SANITIZE needs g++ or clang++ (got ${CMAKE_CXX_COMPILER_ID})")
endif()
if(MINGW)
  message(FATAL_ERROR "VUDCHECK_SANITIZE is for native builds: mingw-w64 has no sanitizer runtimes")
endif()

set(vud_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all)
# Frame pointers give whole stack traces in the reports.
add_compile_options(${vud_sanitizers} -fno-omit-frame-pointer ${vud_sanitizer_optimisation})
add_link_options(${vud_sanitizers})

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
