# Libraries and tools found through these macros come from the Debian package they
# name, so a configure that cannot find one says which package to install, and which
# group of tools/packages holds it. Every package named in their calls is in
# tools/packages: the test package_list (tools/check_packages.cmake) fails when one is
# not, when a find_package elsewhere bypasses these macros, or when another file names
# packages on its own. Also included by cpack's scripts (ReleaseArchive.cmake).
set(vud_package_list ${CMAKE_CURRENT_LIST_DIR}/../tools/packages)

# vud_debian_package_missing(DEBIAN_PACKAGE MODE TEXT...): message(MODE) with TEXT and
# the package that holds what is missing, for what the other macros cannot find.
function(vud_debian_package_missing package mode)
  string(REGEX REPLACE "([+.])" "\\\\\\1" pattern "${package}")
  file(STRINGS ${vud_package_list} lines REGEX "^[a-z0-9-]+:.*[ \t]${pattern}([ \t#]|$)")
  set(group "")
  if(lines)
    list(GET lines 0 group)
    string(REGEX REPLACE ":.*" "" group "${group}")
    set(group " (tools/setup ${group} installs it with the rest of its group)")
  endif()
  string(JOIN "" text ${ARGN})
  message(${mode} "${text}: install the Debian package ${package}${group}")
endfunction()

# vud_find_debian_package(DEBIAN_PACKAGE NAME [find_package arguments...]): a required
# CMake package.
macro(vud_find_debian_package vud_debian_package vud_name)
  find_package(${vud_name} ${ARGN} QUIET)
  if(NOT ${vud_name}_FOUND)
    vud_debian_package_missing(${vud_debian_package} FATAL_ERROR "${vud_name} not found")
  endif()
endmacro()

# vud_find_optional_debian_module(DEBIAN_PACKAGE PREFIX MODULE): a pkg-config module
# that some tests or benchmarks use when it is there; sets PREFIX_FOUND and the imported
# target PkgConfig::PREFIX.
macro(vud_find_optional_debian_module vud_debian_package vud_prefix vud_module)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(${vud_prefix} QUIET IMPORTED_TARGET ${vud_module})
  endif()
  if(NOT ${vud_prefix}_FOUND)
    vud_debian_package_missing(${vud_debian_package} STATUS
      "${vud_module} not found with pkg-config, so what needs it skips and says why")
  endif()
endmacro()

# vud_find_debian_static_library(DEBIAN_PACKAGE TARGET HEADER LIBRARY [LINK...]): the
# imported target TARGET for the static archive libLIBRARY.a and the folder of HEADER,
# from the target's own system (a cross build's sysroot), and LINK beside it. The
# archive itself, never the shared library nor a Windows import library: a program that
# takes it in stays one executable.
macro(vud_find_debian_static_library vud_debian_package vud_target vud_header vud_library)
  find_path(vud_${vud_library}_include ${vud_header})
  find_library(vud_${vud_library}_archive NAMES lib${vud_library}.a)
  if(NOT vud_${vud_library}_include OR NOT vud_${vud_library}_archive)
    vud_debian_package_missing(${vud_debian_package} FATAL_ERROR
      "lib${vud_library}.a or ${vud_header} not found")
  endif()
  add_library(${vud_target} STATIC IMPORTED GLOBAL)
  set_target_properties(${vud_target} PROPERTIES
    IMPORTED_LOCATION ${vud_${vud_library}_archive}
    INTERFACE_INCLUDE_DIRECTORIES ${vud_${vud_library}_include}
    INTERFACE_LINK_LIBRARIES "${ARGN}")
endmacro()

# vud_find_debian_headers(DEBIAN_PACKAGE RESULT FOLDER): the build host's folder that
# holds the header folder FOLDER (CLI/, nlohmann/), for a cross build that takes a
# header-only library from the host and nothing else.
macro(vud_find_debian_headers vud_debian_package vud_result vud_folder)
  find_path(${vud_result} ${vud_folder}
    PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${vud_result})
    vud_debian_package_missing(${vud_debian_package} FATAL_ERROR
      "${vud_folder}/ headers not found on the build host")
  endif()
endmacro()

# vud_find_debian_program(DEBIAN_PACKAGE RESULT PROGRAM MODE TEXT...): find_program, and
# message(MODE) with TEXT and the package when the program is not there.
macro(vud_find_debian_program vud_debian_package vud_result vud_program vud_mode)
  find_program(${vud_result} ${vud_program})
  if(NOT ${vud_result})
    vud_debian_package_missing(${vud_debian_package} ${vud_mode} ${ARGN})
  endif()
endmacro()
