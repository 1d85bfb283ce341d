# AddressSanitizer and UndefinedBehaviorSanitizer for the program and every test.
#
# The checker reads whatever a user's folder holds under the application names, so a
# read past the file image, a tag copied beyond its 13 bytes or an overflowing size
# must stop the run at once: no finding is recovered from, and each fails the test
# that met it. A fuzzing build (VUDCHECK_FUZZ) always has them.
option(VUDCHECK_SANITIZE "Build the program and its tests with address and undefined-behaviour sanitizers" OFF)
# ThreadSanitizer for the fleet checker's parallel run: a missing lock around what its
# workers share fails the fleet's tests. It cannot be combined with the others.
option(VUDCHECK_TSAN "Build the program and its tests with the thread sanitizer" OFF)

# A sanitizer build finds faults; it ships nothing. -O1, the sanitizers' own advice,
# keeps every check and whole stack traces, and -g1 their files and lines, for half
# the compile time of -O2 -g; the tests' code too.
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
