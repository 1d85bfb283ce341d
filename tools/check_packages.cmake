cmake_minimum_required(VERSION 3.25)
# Fails when the build asks for a library without saying which Debian package holds
# it, or names a package that tools/packages does not list; and when a file other than
# tools/packages keeps package names of its own, so that the list and a copy of it could
# part (the README's commands, .ci/run and bench/*.sh read it through tools/setup):
#   cmake -D SOURCE_DIR=<repository> -P tools/check_packages.cmake
# Every find_package goes through cmake/DebianPackages.cmake, except CMake's own
# modules below, which need no package.
set(vud_cmake_own Threads PkgConfig)

file(STRINGS ${SOURCE_DIR}/tools/packages vud_lines REGEX "^[a-z0-9-]+:")
# The macros of cmake/DebianPackages.cmake, whose first argument is a package.
set(vud_find_macros "vud_(find_debian_package|find_optional_debian_module|find_debian_headers|find_debian_static_library|find_debian_program|debian_package_missing)")
set(vud_listed "")
foreach(vud_line IN LISTS vud_lines)
  string(REGEX REPLACE "#.*" "" vud_line "${vud_line}")
  string(REGEX REPLACE "^[a-z0-9-]+:" "" vud_line "${vud_line}")
  string(REGEX MATCHALL "[^ \t]+" vud_words "${vud_line}")
  list(APPEND vud_listed ${vud_words})
endforeach()

file(GLOB_RECURSE vud_files ${SOURCE_DIR}/CMakeLists.txt ${SOURCE_DIR}/cmake/*.cmake
     ${SOURCE_DIR}/src/*CMakeLists.txt ${SOURCE_DIR}/tests/*CMakeLists.txt
     ${SOURCE_DIR}/fuzz/*CMakeLists.txt ${SOURCE_DIR}/bench/*CMakeLists.txt
     ${SOURCE_DIR}/tools/*CMakeLists.txt)
set(vud_faults "")
list(FILTER vud_files EXCLUDE REGEX "/cmake/DebianPackages.cmake$")
foreach(vud_file IN LISTS vud_files)
  file(READ ${vud_file} vud_text)
  string(REGEX MATCHALL "${vud_find_macros}\\([ \t\n]*[^ \t\n)]+" vud_uses "${vud_text}")
  foreach(vud_use IN LISTS vud_uses)
    string(REGEX REPLACE ".*\\([ \t\n]*" "" vud_package "${vud_use}")
    if(NOT vud_package MATCHES "^(vud_|[$])" AND NOT vud_package IN_LIST vud_listed)
      list(APPEND vud_faults "${vud_file}: Debian package ${vud_package} is not in tools/packages")
    endif()
  endforeach()
  string(REGEX MATCHALL "(^|\n)[ \t]*(find_package|pkg_check_modules)\\([ \t]*[A-Za-z0-9_]+" vud_raw "${vud_text}")
  foreach(vud_use IN LISTS vud_raw)
    string(REGEX REPLACE ".*\\([ \t]*" "" vud_name "${vud_use}")
    if(NOT vud_name IN_LIST vud_cmake_own)
      list(APPEND vud_faults "${vud_file}: ${vud_name} found without its Debian package (use cmake/DebianPackages.cmake)")
    endif()
  endforeach()
endforeach()

# Package names outside the list. Only the configure module names packages, in the
# message for a missing library (the calls of its macros name the package and are
# checked above); every other file points to tools/setup and a group. Three ways a copy
# of the list shows:
# - an install command with names in it (apt-get install x, debootstrap --include=x);
# - "Debian package x", "Debian: x", "(package x" in a message or a document;
# - a name that only a package list would spell (ninja-build, libcli11-dev, wine32:i386):
#   one with a "-" or ":" in it, or one that begins with "lib", unless it is also the
#   name of a program (clang-tidy, pkg-config).
set(vud_program_names clang-tidy pkg-config)
set(vud_spelled "")
foreach(vud_package IN LISTS vud_listed)
  if(vud_package MATCHES "[-:]|^lib" AND NOT vud_package IN_LIST vud_program_names)
    string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" vud_package "${vud_package}")
    list(APPEND vud_spelled "${vud_package}")
  endif()
endforeach()
list(JOIN vud_spelled "|" vud_spelled)
set(vud_name_char "[A-Za-z0-9+:.-]")
set(vud_copies
  "(apt-get|apt|aptitude) +install +[a-z]"
  "--include=[a-z]"
  "(^|[^A-Za-z0-9+:./-])(${vud_spelled})($|[^A-Za-z0-9+:-])")
# "Debian package x", "Debian packages: x", "Debian: x", "(package x": x is listed.
set(vud_named "(Debian( packages?:?|:)|[(]package) +[`(]?([a-z][a-z0-9+.:-]*[a-z0-9+])")

file(GLOB_RECURSE vud_texts LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.c ${SOURCE_DIR}/*.cmake
     ${SOURCE_DIR}/*.txt ${SOURCE_DIR}/*.md ${SOURCE_DIR}/*.in ${SOURCE_DIR}/*.sh
     ${SOURCE_DIR}/*.py ${SOURCE_DIR}/*.json ${SOURCE_DIR}/*.1 ${SOURCE_DIR}/*.dict
     ${SOURCE_DIR}/.ci/* ${SOURCE_DIR}/tools/*)
# Not the sources: build folders (build*/ in the tree), git's own files, fuzz inputs.
list(FILTER vud_texts EXCLUDE REGEX "^(build[^/]*|\\.git|fuzz/corpus)/")
list(REMOVE_ITEM vud_texts tools/packages cmake/DebianPackages.cmake tools/check_packages.cmake)
foreach(vud_file IN LISTS vud_texts)
  # One list element a line: the list's own separator and brackets are replaced first.
  file(READ ${SOURCE_DIR}/${vud_file} vud_text)
  string(REGEX REPLACE "[][;]" "," vud_text "${vud_text}")
  string(REPLACE "\n" ";" vud_file_lines "${vud_text}")
  set(vud_number 0)
  foreach(vud_line IN LISTS vud_file_lines)
    math(EXPR vud_number "${vud_number} + 1")
    if(vud_line MATCHES "${vud_find_macros}\\(")
      continue()
    endif()
    set(vud_copied OFF)
    if(vud_line MATCHES "${vud_named}" AND CMAKE_MATCH_3 IN_LIST vud_listed)
      set(vud_copied ON)
    endif()
    foreach(vud_copy IN LISTS vud_copies)
      if(vud_copied OR vud_line MATCHES "${vud_copy}")
        string(STRIP "${vud_line}" vud_line)
        list(APPEND vud_faults "${vud_file}:${vud_number}: a package name outside tools/packages (name the group for tools/setup instead): ${vud_line}")
        break()
      endif()
    endforeach()
  endforeach()
endforeach()

if(vud_faults)
  list(JOIN vud_faults "\n" vud_faults)
  message(FATAL_ERROR "${vud_faults}")
endif()
message(STATUS "every library of the build maps to a package of tools/packages, and no other file names packages")
