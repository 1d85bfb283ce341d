# The tests of a Windows cross build: GoogleTest built for Windows, and Wine to run the
# test programs, the discovery of their test cases and the end-to-end runs of the
# programs. A build without tests needs neither.
if(NOT (CMAKE_CROSSCOMPILING AND WIN32) OR NOT BUILD_TESTING)
  return()
endif()

# The host's libgtest cannot be linked into Windows programs, so it is built here from
# the sources Debian ships (group test of tools/packages), with the project's compiler.
# Nothing of it is installed, and only what the tests use is built.
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

# Wine keeps its state in a prefix, which is made once here, under the build tree,
# because its first start takes several seconds. Every program then runs through the
# script <build>/wine-run (from wine-run.in), the build's cross-compiling emulator,
# unless the cache names another.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()

# Debian keeps wine64 out of PATH, behind a wrapper that wants the 32-bit Wine too.
find_program(VUDCHECK_WINE NAMES wine64 wine PATHS /usr/lib/wine DOC "Wine, to run the Windows build")
find_program(VUDCHECK_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine DOC "Wine's server")
if(NOT VUDCHECK_WINE OR NOT VUDCHECK_WINESERVER)
  # The build itself lists each test program's cases by running it.
  include(DebianPackages)
  vud_debian_package_missing(wine64 FATAL_ERROR "Wine not found, which runs the Windows tests "
                             "(or configure with -DBUILD_TESTING=OFF to build the program alone)")
endif()

set(VUDCHECK_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(vud_wine_environment WINEPREFIX=${VUDCHECK_WINEPREFIX} WINEDEBUG=-all)

# One 64-bit prefix runs the programs of both Windows builds; a 32-bit program needs
# the prefix's 32-bit part (Wine's i386 package, group windows of tools/packages). A prefix made while that package was
# missing has none, and every 32-bit program in it dies with "could not load
# kernel32.dll": such a prefix is made afresh.
set(vud_wine_32bit_part ${VUDCHECK_WINEPREFIX}/drive_c/windows/syswow64/kernel32.dll)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND EXISTS ${VUDCHECK_WINEPREFIX}/system.reg
   AND NOT EXISTS ${vud_wine_32bit_part})
  message(STATUS "The Wine prefix ${VUDCHECK_WINEPREFIX} has no 32-bit part: making it afresh")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${vud_wine_environment} ${VUDCHECK_WINESERVER} --kill
                  OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE_RECURSE ${VUDCHECK_WINEPREFIX})
endif()

if(NOT EXISTS ${VUDCHECK_WINEPREFIX}/system.reg)
  message(STATUS "Creating the Wine prefix ${VUDCHECK_WINEPREFIX}")
  # No Mono or Gecko: console programs need neither, and nothing is downloaded.
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${vud_wine_environment} WINEDLLOVERRIDES=mscoree,mshtml=
            ${VUDCHECK_WINE} wineboot --init
    RESULT_VARIABLE vud_wineboot_status
    OUTPUT_QUIET ERROR_QUIET)
  # The prefix is complete once its server has written it out and stopped.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${vud_wine_environment} ${VUDCHECK_WINESERVER} --wait)
  if(NOT vud_wineboot_status EQUAL 0 OR NOT EXISTS ${VUDCHECK_WINEPREFIX}/system.reg)
    file(REMOVE_RECURSE ${VUDCHECK_WINEPREFIX})
    message(FATAL_ERROR "wineboot could not create the Wine prefix (status ${vud_wineboot_status})")
  endif()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT EXISTS ${vud_wine_32bit_part})
  include(DebianPackages)
  vud_debian_package_missing(wine32:i386 FATAL_ERROR "Wine cannot run the 32-bit build without its 32-bit part "
                             "(or configure with -DBUILD_TESTING=OFF to build the program alone)")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
