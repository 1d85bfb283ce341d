# How every program of a Windows build (mingw-w64) is made, whatever its architecture:
# one self-contained console program that takes its arguments as typed and tells
# Windows who made it.
if(NOT WIN32)
  return()
endif()

# The runtime as mingw-w64 links it.
if(MINGW)
  # Which of the two Windows builds this is, as the release package and its tests name it.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VUDCHECK_WINDOWS_FLAVOUR win64)
  else()
    set(VUDCHECK_WINDOWS_FLAVOUR win32)
  endif()

  # The C and C++ runtimes are linked in, so the .exe starts with nothing but the
  # system's own DLLs (KERNEL32, msvcrt) beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)

  # Arguments as typed: the mingw-w64 start-up code expands wildcards in the command
  # line when the runtime was built to (and "?" is a wildcard there, so "vudcheck ?"
  # would become the names of the one-letter files in the folder). Linking
  # CRT_noglob.o fixes the choice at "no expansion", whatever the runtime's default.
  execute_process(
    COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=CRT_noglob.o
    OUTPUT_VARIABLE vud_noglob_object
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${vud_noglob_object}" OR NOT EXISTS "${vud_noglob_object}")
    message(FATAL_ERROR "mingw-w64 runtime object CRT_noglob.o not found (got '${vud_noglob_object}')")
  endif()
  add_link_options(${vud_noglob_object})
endif()

# What Windows tells about a program: the version information that Explorer shows
# under Properties > Details and that inventory tools read, and the application
# manifest. Every value comes from here, the version from the project itself; the
# test of the resources reads the built executable back and compares it with these
# same variables.
enable_language(RC)

set(VUDCHECK_COMPANY_NAME "Vudmark Software")
set(VUDCHECK_PRODUCT_NAME "vudcheck")
set(VUDCHECK_FILE_DESCRIPTION "${PROJECT_DESCRIPTION}")
set(VUDCHECK_INTERNAL_NAME "vudcheck")
# Windows keeps a version as four numbers: 2.3.0 is 2.3.0.0.
if(PROJECT_VERSION_TWEAK STREQUAL "")
  set(VUDCHECK_VERSION_TWEAK 0)
else()
  set(VUDCHECK_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
endif()
set(VUDCHECK_WINDOWS_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${VUDCHECK_VERSION_TWEAK})

# Adds the version resource and the manifest, both made from templates in the
# target's source folder, to an executable.
function(vud_add_windows_resources target)
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.exe.manifest)
  set(resources ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  string(REPLACE "." "," VUDCHECK_WINDOWS_VERSION_NUMBERS ${VUDCHECK_WINDOWS_VERSION})
  set(VUDCHECK_MANIFEST ${manifest})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${target}.exe.manifest.in ${manifest} @ONLY)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${target}.rc.in ${resources} @ONLY)
  # windres takes the manifest in whole; it has no way of telling the build so.
  set_source_files_properties(${resources} PROPERTIES OBJECT_DEPENDS ${manifest})
  target_sources(${target} PRIVATE ${resources})
endfunction()
