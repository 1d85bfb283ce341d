# Warnings for every target of the project. CI turns them into errors with
# -DVUDCHECK_WERROR=ON, which sets CMAKE_COMPILE_WARNING_AS_ERROR.
option(VUDCHECK_WERROR "Treat compiler warnings as errors" OFF)
if(VUDCHECK_WERROR)
  set(CMAKE_COMPILE_WARNING_AS_ERROR ON)
endif()

# C++ only: the Windows build also compiles its version resource, with windres.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-Wall;-Wextra;-Wpedantic>")
endif()

# g++ 12 at -O3 reports overlapping copies inside std::string's own operator+ that
# cannot happen (a known false alarm of that compiler); keep it shown, not fatal.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-error=restrict>)
endif()
