# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64).
#   cmake -S . -B build-mingw --toolchain cmake/mingw-w64.cmake
# What the Windows executables need beyond the compiler (static runtime, no
# wildcard expansion, Wine for the tests) lives in WindowsRuntime.cmake and
# Wine.cmake, so it holds for every mingw-w64 build, not only this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VUDCHECK_MINGW_TRIPLET x86_64-w64-mingw32 CACHE STRING "Target triplet of the mingw-w64 tools")
set(CMAKE_C_COMPILER ${VUDCHECK_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VUDCHECK_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${VUDCHECK_MINGW_TRIPLET}-windres)

# Headers and libraries come from the target's sysroot only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VUDCHECK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
