# Releases anyone can rebuild to the same bytes: one commit, built with the same
# compiler and binutils, in any folder, at any time, by any user, gives the same Linux
# vudcheck from `cmake --install` and the same Windows packages
# (tools/reproducible/check.sh builds twice and compares).
#
# What would otherwise tell two such builds apart, and where it is taken out:
# - the folders of the sources and of the build, which the debug information names
#   (compilation folder, file names) and __FILE__ spells out: mapped to fixed names
#   below. Only the debug and macro maps, not -ffile-prefix-map, which in g++ 12 also
#   rewrites the source paths that coverage data records, and gcov wants them real;
# - the link time in a Windows program's header, and the header checksum that covers
#   it: the linker writes none, and strip, which installing for a package runs, writes
#   the release time (below);
# - the file times, owners, permissions and order of the entries in a ZIP, and the time
#   zone its times are kept in: the ZIP that cpack makes is made again by
#   ReleaseArchive.cmake, which also writes SHA256SUMS beside it.
# Must be included before the targets are made and before Packaging.cmake, whose
# install rules have to come after the one here. The packaging step
# (ReleaseArchive.cmake) and the install rule below include it for the release time
# alone.

# The release time: the one moment that the entries of a package and the link time of
# the packaged Windows program show, so that packaging one commit twice gives the same
# bytes. SOURCE_DATE_EPOCH (seconds since 1970, UTC) when the builder sets it, as for
# sources without their git history; else the time of the commit checked out in
# <source_dir>. ZIP cannot hold times before 1980, so earlier ones become 1980-01-01.
function(vud_release_time result source_dir)
  set(zip_epoch 315532800)
  if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(time "$ENV{SOURCE_DATE_EPOCH}")
    if(NOT time MATCHES "^[0-9]+$")
      message(FATAL_ERROR "SOURCE_DATE_EPOCH is '${time}', not a count of seconds since 1970")
    endif()
  else()
    # Sources unpacked inside some other repository must not take its time.
    execute_process(
      COMMAND git -C "${source_dir}" rev-parse --show-toplevel
      RESULT_VARIABLE status OUTPUT_VARIABLE top ERROR_VARIABLE errors
      OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REAL_PATH "${source_dir}" source_dir)
    if(status EQUAL 0 AND top STREQUAL source_dir)
      execute_process(
        COMMAND git -C "${source_dir}" log -1 --format=%ct
        RESULT_VARIABLE status OUTPUT_VARIABLE time ERROR_VARIABLE errors
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    else()
      set(errors "${source_dir} is not the top of a git clone")
    endif()
    if(NOT status EQUAL 0 OR NOT time MATCHES "^[0-9]+$")
      string(STRIP "${errors}" errors)
      message(WARNING "No commit time for the package entries (${errors}): they get "
                      "1980-01-01. Set SOURCE_DATE_EPOCH to the release's commit time.")
      set(time ${zip_epoch})
    endif()
  endif()
  if(time LESS zip_epoch)
    set(time ${zip_epoch})
  endif()
  set(${result} ${time} PARENT_SCOPE)
endfunction()

# The rest is for configuring; the packaging step and the install rules take the
# release time alone.
get_property(vud_cmake_role GLOBAL PROPERTY CMAKE_ROLE)
if(NOT vud_cmake_role STREQUAL "PROJECT")
  return()
endif()

# A debugger finds the sources again with: set substitute-path /usr/src/vudcheck <clone>
set(vud_source_alias /usr/src/${PROJECT_NAME})
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # The compiler applies the last map that matches, so when one folder holds the other
  # (the usual build/ inside the sources) the inner one has to come last.
  set(vud_maps "${PROJECT_SOURCE_DIR}=${vud_source_alias}" "${PROJECT_BINARY_DIR}=${vud_source_alias}/build")
  string(LENGTH "${PROJECT_SOURCE_DIR}" vud_source_length)
  string(LENGTH "${PROJECT_BINARY_DIR}" vud_binary_length)
  if(vud_binary_length LESS vud_source_length)
    list(REVERSE vud_maps)
  endif()
  # C and C++ only: a Windows build also compiles resources, with windres.
  foreach(vud_map IN LISTS vud_maps)
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-fdebug-prefix-map=${vud_map};-fmacro-prefix-map=${vud_map}>")
  endforeach()
endif()

if(MINGW)
  add_link_options(LINKER:--no-insert-timestamp)
  # strip rewrites the header and stamps the current time into it unless
  # SOURCE_DATE_EPOCH names one; cpack and `cmake --install --strip` run it in their
  # own process, after this rule.
  install(CODE "include(\"${CMAKE_CURRENT_LIST_DIR}/Reproducible.cmake\")
vud_release_time(vud_release_time \"${PROJECT_SOURCE_DIR}\")
set(ENV{SOURCE_DATE_EPOCH} \${vud_release_time})")
endif()

# Read by cpack (every CPACK_ variable goes into CPackConfig.cmake).
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/ReleaseArchive.cmake)
set(CPACK_VUDCHECK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
