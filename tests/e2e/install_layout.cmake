# Installs the build into a fresh prefix and checks what lands there: the checker and
# the fleet checker in bin/, their manual pages in share/man/man1/, and nothing else
# (vudsample stays behind).
#   cmake -D BUILD_DIR=<build> -D PREFIX=<folder> -D CONFIG=<config> -D DOC_DIR=<doc>
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
set(expected bin/vudcheck bin/vudfleet share/man/man1/vudcheck.1 share/man/man1/vudfleet.1)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed: ${installed}\nexpected:  ${expected}")
endif()

foreach(page vudcheck.1 vudfleet.1)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${DOC_DIR}/${page}" "${PREFIX}/share/man/man1/${page}"
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "the installed manual page ${page} is not doc/${page}")
  endif()
endforeach()

# The installed program runs from where it was put.
execute_process(COMMAND "${PREFIX}/bin/vudcheck" "?" RESULT_VARIABLE status OUTPUT_VARIABLE listing)
if(NOT status EQUAL 0 OR NOT listing MATCHES "^Vudmark for FrameWorks Plus version:  FWP 3.1.x.x")
  message(FATAL_ERROR "the installed vudcheck did not list the catalogue (status ${status})")
endif()

execute_process(COMMAND "${PREFIX}/bin/vudfleet" --version RESULT_VARIABLE status OUTPUT_VARIABLE version)
if(NOT status EQUAL 0 OR NOT version MATCHES "^vudfleet [0-9]+\\.[0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "the installed vudfleet did not tell its version (status ${status}): ${version}")
endif()
