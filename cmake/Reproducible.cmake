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
# install rules have to come after the one here.

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
  install(CODE "include(\"${CMAKE_CURRENT_LIST_DIR}/ReleaseTime.cmake\")
vud_release_time(vud_release_time \"${PROJECT_SOURCE_DIR}\")
set(ENV{SOURCE_DATE_EPOCH} \${vud_release_time})")
endif()

# Read by cpack (every CPACK_ variable goes into CPackConfig.cmake).
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/ReleaseArchive.cmake)
set(CPACK_VUDCHECK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
