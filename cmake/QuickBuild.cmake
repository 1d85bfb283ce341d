# How each part of the project is compiled, one rule for every build: what ships as a
# release compiles it, everything else the quick way, since it is compiled again in
# every build and the tests run it briefly.
#
# - What ships (src/, added with vud_add_what_ships) is compiled a file at a time, at
#   the build type's optimisation, in every build that can make a release: the release
#   is those bytes, and the reproducible-release check compares them
#   (tools/reproducible/check.sh). The sanitizer and fuzzing builds ship nothing, and
#   join it as they join the rest.
# - Everything else (the tests, the sample maker, the fuzz targets, the benchmarks)
#   joins each target's sources into one compile (a unity build), so the test
#   framework's headers are read once a test program rather than once a file; a cache
#   value of CMAKE_UNITY_BUILD chooses otherwise.
# - The tests' own code and GoogleTest compile with -Og in an optimised build
#   (vud_build_for_quick_builds), for nothing a test needs from -O2; coverage builds
#   are Debug, and stay at -O0.
include_guard(GLOBAL)

if(NOT DEFINED CACHE{CMAKE_UNITY_BUILD})
  set(CMAKE_UNITY_BUILD ON)
endif()

# add_subdirectory(<folder>) for the code a release is made of. A macro, so that the
# folder is added from the caller's own scope, as any other.
macro(vud_add_what_ships vud_folder)
  set(vud_unity_build_elsewhere ${CMAKE_UNITY_BUILD})
  if(NOT (VUDCHECK_SANITIZE OR VUDCHECK_FUZZ OR VUDCHECK_TSAN))
    set(CMAKE_UNITY_BUILD OFF)
  endif()
  add_subdirectory(${vud_folder})
  set(CMAKE_UNITY_BUILD ${vud_unity_build_elsewhere})
endmacro()

# In the calling directory or function scope, an optimised build type compiles with
# -Og instead of -O2 (the debug information and NDEBUG stay).
macro(vud_build_for_quick_builds)
  foreach(vud_config RELEASE RELWITHDEBINFO MINSIZEREL)
    foreach(vud_language C CXX)
      string(REGEX REPLACE "(^| )-O[0-9sz]( |$)" "\\1-Og\\2"
             CMAKE_${vud_language}_FLAGS_${vud_config} "${CMAKE_${vud_language}_FLAGS_${vud_config}}")
    endforeach()
  endforeach()
endmacro()
