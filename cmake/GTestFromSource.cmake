# GoogleTest for a cross build. The host's libgtest cannot be linked into Windows
# programs, so it is built here from the sources Debian ships (group test of tools/packages),
# with the project's compiler. Nothing of it is installed, and
# only what the tests use is built.
set(VUDCHECK_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, built with the project when cross compiling")
if(NOT EXISTS "${VUDCHECK_GTEST_SOURCE_DIR}/CMakeLists.txt")
  include(DebianPackages)
  vud_debian_package_missing(googletest FATAL_ERROR "No GoogleTest sources in ${VUDCHECK_GTEST_SOURCE_DIR} "
                             "(or set VUDCHECK_GTEST_SOURCE_DIR to where they are)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "Install GoogleTest with the project")

# A function scope, so that its settings reach only GoogleTest's own targets: its
# warnings are not ours to fix.
function(vud_add_googletest)
  set(CMAKE_COMPILE_WARNING_AS_ERROR OFF)
  include(QuickBuild)
  vud_build_for_quick_builds()
  add_subdirectory(${VUDCHECK_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()
vud_add_googletest()
