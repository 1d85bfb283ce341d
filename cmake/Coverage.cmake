# Line and branch coverage of the checker's own code (src/) by the test suite: g++
# counts with --coverage, gcovr reports. `cmake --workflow --preset coverage` builds,
# runs every test and prints the report; the target `coverage` prints it again.
option(VUDCHECK_COVERAGE "Count line and branch coverage (g++ --coverage; report with the target coverage)" OFF)

if(NOT VUDCHECK_COVERAGE)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "VUDCHECK_COVERAGE needs g++ (got ${CMAKE_CXX_COMPILER_ID})")
endif()
if(VUDCHECK_SANITIZE OR VUDCHECK_FUZZ)
  message(FATAL_ERROR "VUDCHECK_COVERAGE is a build of its own: configure it without the sanitizers or fuzzing")
endif()

# Unoptimised, so that every counted line and branch is one of the source. The fleet
# checker counts on several threads at once: without atomic updates their races leave
# counts that gcov prints as negative, and gcovr refuses the report.
add_compile_options(--coverage -O0 -fprofile-update=atomic)
add_link_options(--coverage)

# Every build starts the counts afresh: counts left by an earlier run of the tests,
# or of tests since removed, would show as covered what no test reaches now.
add_custom_target(coverage-clear ALL
  COMMAND find ${PROJECT_BINARY_DIR} -name "*.gcda" -delete
  COMMENT "Clearing the coverage counts of earlier runs"
  VERBATIM)

include(DebianPackages)
vud_find_debian_program(gcovr VUDCHECK_GCOVR gcovr WARNING
                        "VUDCHECK_COVERAGE: gcovr not found, so the target coverage is left out")
if(NOT VUDCHECK_GCOVR)
  return()
endif()

# The branches of exception handling and the ones the compiler adds where no source
# branches are left out: no test can choose them.
# The counts are looked for in this build alone: other build folders of the same
# checkout may hold counts of their own.
set(vud_gcovr ${VUDCHECK_GCOVR} --root ${PROJECT_SOURCE_DIR} --object-directory ${PROJECT_BINARY_DIR}
    --filter ${PROJECT_SOURCE_DIR}/src/ --exclude-unreachable-branches --exclude-throw-branches
    ${PROJECT_BINARY_DIR})
# Lines per file, then branches per file, each with the numbers of the lines they
# miss, then the totals.
add_custom_target(coverage
  COMMAND ${vud_gcovr} --txt
  COMMAND ${vud_gcovr} --txt --branches --print-summary
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Line and branch coverage of src/ by the tests run since the last build"
  VERBATIM)
