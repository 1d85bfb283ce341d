cmake_minimum_required(VERSION 3.25)
# Fails when the build asks for a library without saying which Debian package holds
# it, or names a package that tools/packages does not list:
#   cmake -D SOURCE_DIR=<repository> -P tools/check_packages.cmake
# Every find_package goes through cmake/DebianPackages.cmake, except CMake's own
# modules below, which need no package.
set(vud_cmake_own Threads PkgConfig)

file(STRINGS ${SOURCE_DIR}/tools/packages vud_lines REGEX "^[a-z0-9-]+:")
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
  string(REGEX MATCHALL "vud_find_(debian_package|optional_debian_module)\\([ \t\n]*[^ \t\n)]+" vud_uses "${vud_text}")
  foreach(vud_use IN LISTS vud_uses)
    string(REGEX REPLACE ".*\\([ \t\n]*" "" vud_package "${vud_use}")
    if(NOT vud_package MATCHES "^vud_" AND NOT vud_package IN_LIST vud_listed)
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
if(vud_faults)
  list(JOIN vud_faults "\n" vud_faults)
  message(FATAL_ERROR "${vud_faults}")
endif()
message(STATUS "every library of the build maps to a package of tools/packages")
