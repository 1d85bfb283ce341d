# Installs the build into a fresh prefix and checks what lands there: the checker in
# bin/, its manual page in share/man/man1/, and nothing else (vudsample stays behind).
#   cmake -D BUILD_DIR=<build> -D PREFIX=<folder> -D CONFIG=<config> -D MAN_PAGE=<doc/vudcheck.1>
#         -P install_layout.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}" --config "${CONFIG}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
set(expected bin/vudcheck share/man/man1/vudcheck.1)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed: ${installed}\nexpected:  ${expected}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${MAN_PAGE}" "${PREFIX}/share/man/man1/vudcheck.1"
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "the installed manual page is not doc/vudcheck.1")
endif()

# The installed program runs from where it was put.
execute_process(COMMAND "${PREFIX}/bin/vudcheck" "?" RESULT_VARIABLE status OUTPUT_VARIABLE listing)
if(NOT status EQUAL 0 OR NOT listing MATCHES "^Vudmark for FrameWorks Plus version:  FWP 3.1.x.x")
  message(FATAL_ERROR "the installed vudcheck did not list the catalogue (status ${status})")
endif()
