# Run by cpack once it has made its packages (CPACK_POST_BUILD_SCRIPTS), before it
# moves them into the package folder. Makes each ZIP again so that the same files give
# the same bytes, and writes SHA256SUMS in the package folder.
#
# cpack's own ZIP records each file's modification time, in the local time zone, its
# owner's user and group ids, and permissions as the umask left them. The ZIP made
# here holds the same files, in byte order of their names, each with the release time
# (ReleaseTime.cmake) kept as UTC, permissions rw-r--r-- (rwxr-xr-x for programs), and
# no owner or other extra fields; which Info-ZIP `zip -X` writes.
#
# SHA256SUMS has a line per ZIP of the project in the package folder, in the format
# `sha256sum -c` reads, so packaging win32 and win64 into one folder lists both.
#
# Inputs, as cpack sets them: CPACK_PACKAGE_FILES (the packages, still in cpack's
# scratch folder), CPACK_PACKAGE_DIRECTORY and CPACK_OUTPUT_FILE_PREFIX (where they
# go), CPACK_PACKAGE_NAME, CPACK_TOPLEVEL_DIRECTORY (scratch space), and
# CPACK_VUDCHECK_SOURCE_DIR (Reproducible.cmake).
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/ReleaseTime.cmake)

find_program(VUD_ZIP zip)
if(NOT VUD_ZIP)
  message(FATAL_ERROR "zip (Info-ZIP) not found: it makes the release packages byte for byte "
                      "reproducible (Debian: apt-get install zip)")
endif()

vud_release_time(release_time "${CPACK_VUDCHECK_SOURCE_DIR}")

function(vud_remake_zip package scratch release_time)
  file(REMOVE_RECURSE "${scratch}")
  file(ARCHIVE_EXTRACT INPUT "${package}" DESTINATION "${scratch}")
  file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${scratch}" "${scratch}/*")
  list(SORT entries)
  foreach(entry IN LISTS entries)
    if(entry MATCHES "\\.(exe|dll)$")
      file(CHMOD "${scratch}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                 GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    else()
      file(CHMOD "${scratch}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endif()
  endforeach()
  execute_process(COMMAND touch -d "@${release_time}" -- ${entries}
                  WORKING_DIRECTORY "${scratch}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not set the release time on the files of ${package}")
  endif()

  # zip takes options from ZIPOPT and ZIP too, and turns file times into DOS times
  # in the local time zone.
  set(remade "${scratch}.zip")
  file(REMOVE "${remade}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env --unset=ZIPOPT --unset=ZIP TZ=UTC0
            "${VUD_ZIP}" -X -D -q "${remade}" -- ${entries}
    WORKING_DIRECTORY "${scratch}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT EXISTS "${remade}")
    message(FATAL_ERROR "zip could not make ${package} again (status ${status})")
  endif()
  file(RENAME "${remade}" "${package}")
  file(REMOVE_RECURSE "${scratch}")
endfunction()

if(CPACK_OUTPUT_FILE_PREFIX)
  get_filename_component(package_folder "${CPACK_OUTPUT_FILE_PREFIX}" ABSOLUTE
                         BASE_DIR "${CPACK_PACKAGE_DIRECTORY}")
else()
  set(package_folder "${CPACK_PACKAGE_DIRECTORY}")
endif()

# ZIPs already in the package folder, then this run's, which replace any of the same name.
file(GLOB earlier RELATIVE "${package_folder}" "${package_folder}/${CPACK_PACKAGE_NAME}-*.zip")
foreach(name IN LISTS earlier)
  file(SHA256 "${package_folder}/${name}" "sum_${name}")
endforeach()
set(names ${earlier})
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${package}" NAME)
  if(NOT name MATCHES "\\.zip$")
    message(FATAL_ERROR "${name}: only ZIP packages are made reproducible")
  endif()
  vud_remake_zip("${package}" "${CPACK_TOPLEVEL_DIRECTORY}/reproducible" ${release_time})
  file(SHA256 "${package}" "sum_${name}")
  list(APPEND names "${name}")
endforeach()

list(REMOVE_DUPLICATES names)
list(SORT names)
set(sums "")
foreach(name IN LISTS names)
  string(APPEND sums "${sum_${name}}  ${name}\n")
endforeach()
file(MAKE_DIRECTORY "${package_folder}")
file(WRITE "${package_folder}/SHA256SUMS" "${sums}")
