# How every executable is linked for Windows with mingw-w64.
#
# One self-contained console program: the C and C++ runtimes are linked in, so the
# .exe starts with nothing but the system's own DLLs (KERNEL32, msvcrt) beside it.
#
# Arguments as typed: the mingw-w64 start-up code expands wildcards in the command
# line when the runtime was built to (and "?" is a wildcard there, so "vudcheck ?"
# would become the names of the one-letter files in the folder). Linking
# CRT_noglob.o fixes the choice at "no expansion", whatever the runtime's default.
if(NOT MINGW)
  return()
endif()

# Which of the two Windows builds this is, as the release package and its tests name it.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VUDCHECK_WINDOWS_FLAVOUR win64)
else()
  set(VUDCHECK_WINDOWS_FLAVOUR win32)
endif()

add_link_options(-static -static-libgcc -static-libstdc++)

execute_process(
  COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=CRT_noglob.o
  OUTPUT_VARIABLE vud_noglob_object
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT IS_ABSOLUTE "${vud_noglob_object}" OR NOT EXISTS "${vud_noglob_object}")
  message(FATAL_ERROR "mingw-w64 runtime object CRT_noglob.o not found (got '${vud_noglob_object}')")
endif()
add_link_options(${vud_noglob_object})
