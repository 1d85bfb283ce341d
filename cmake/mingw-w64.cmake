# Cross build for Windows with mingw-w64, 64-bit (x86_64, the default) or 32-bit (i686):
#   cmake -S . -B build-mingw   --toolchain cmake/mingw-w64.cmake
#   cmake -S . -B build-mingw32 --toolchain cmake/mingw-w64.cmake -DVUDCHECK_MINGW_ARCH=i686
# (Debian packages: group windows of tools/packages.) What the Windows executables
# need beyond the compiler (static runtime, no wildcard expansion, version information
# and manifest) lives in Windows.cmake, and Wine and GoogleTest for the tests in
# WindowsTests.cmake, so it holds for every mingw-w64 build, whatever its architecture.
set(VUDCHECK_MINGW_ARCH x86_64 CACHE STRING "Windows target of the mingw-w64 build: x86_64 or i686")
set_property(CACHE VUDCHECK_MINGW_ARCH PROPERTY STRINGS x86_64 i686)
if(NOT VUDCHECK_MINGW_ARCH MATCHES "^(x86_64|i686)$")
  message(FATAL_ERROR "VUDCHECK_MINGW_ARCH is '${VUDCHECK_MINGW_ARCH}': x86_64 or i686")
endif()
# The test projects CMake builds while it looks at the compiler read this file again,
# without the cache: the architecture has to reach them too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VUDCHECK_MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VUDCHECK_MINGW_ARCH})

set(vud_mingw_triplet ${VUDCHECK_MINGW_ARCH}-w64-mingw32)
# Debian's -posix compilers: mingw-w64's posix thread model, with std::thread,
# std::mutex and std::condition_variable from winpthreads, linked statically (see
# StaticLinking.cmake), so the programs still import only KERNEL32 and msvcrt.
set(CMAKE_C_COMPILER ${vud_mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${vud_mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${vud_mingw_triplet}-windres)

# Headers and libraries come from the target's sysroot only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${vud_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
