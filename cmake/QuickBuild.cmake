# vud_build_for_quick_builds(): in the calling directory or function scope, an optimised
# build type compiles with -Og instead of -O2 (the debug information and NDEBUG stay).
# For code that is built in every CI build and runs briefly: the tests' own code and
# GoogleTest. What the tests check, src/, keeps the build type's optimisation; -O2 made
# a test's source file take about 70 % longer to compile than -Og, for nothing a test
# needs. Coverage builds are Debug, and stay at -O0.
macro(vud_build_for_quick_builds)
  foreach(vud_config RELEASE RELWITHDEBINFO MINSIZEREL)
    foreach(vud_language C CXX)
      string(REGEX REPLACE "(^| )-O[0-9sz]( |$)" "\\1-Og\\2"
             CMAKE_${vud_language}_FLAGS_${vud_config} "${CMAKE_${vud_language}_FLAGS_${vud_config}}")
    endforeach()
  endforeach()
endmacro()
