# The Linux vudcheck, linked statically.
#
# A run is over in a few milliseconds, and on Linux loading and relocating the shared
# C++ runtime, and the dynamic loader's work for the C library, are a good part of
# its time and memory (doc/performance.md). The program asks the C library for nothing
# that needs loading at run time (no user or host look-ups, no character-set
# conversion).
#
# Some compiler flags cannot link statically: the sanitizer runtimes want the shared
# libraries, whether they come from VUDCHECK_SANITIZE, a fuzzing build or the user's
# own CMAKE_CXX_FLAGS and CMAKE_EXE_LINKER_FLAGS. A trial link with all of those tells;
# when it fails, vudcheck is linked dynamically and configuring says so once. The
# Windows build links its runtime statically on its own (Windows.cmake).
option(VUDCHECK_STATIC "Link the Linux vudcheck statically, where the compiler flags allow it" ON)

set(VUDCHECK_LINKS_STATICALLY OFF)
if(NOT (VUDCHECK_STATIC AND CMAKE_SYSTEM_NAME STREQUAL "Linux"))
  return()
endif()

include(CheckCXXSourceCompiles)
# The link options the project adds itself (the sanitizers, coverage) take part in the
# trial beside the user's flags, which every trial compile and link uses. Must be
# included after the modules that add them.
get_property(vud_link_options DIRECTORY PROPERTY LINK_OPTIONS)
set(CMAKE_REQUIRED_LINK_OPTIONS ${vud_link_options} -static)
set(CMAKE_REQUIRED_QUIET ON)
# Tried at every configure: a result kept from other flags would be wrong.
unset(VUDCHECK_CAN_LINK_STATICALLY CACHE)
check_cxx_source_compiles("#include <iostream>\nint main() { std::cout << 1; }" VUDCHECK_CAN_LINK_STATICALLY)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
unset(CMAKE_REQUIRED_QUIET)

if(VUDCHECK_CAN_LINK_STATICALLY)
  set(VUDCHECK_LINKS_STATICALLY ON)
else()
  message(STATUS "vudcheck is linked dynamically: these compiler and linker flags cannot link statically")
endif()
