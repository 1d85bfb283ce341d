# Makes the Windows release package with cpack and checks what a user unpacks: the
# folder vudcheck-<version>-<flavour> with vudcheck.exe, vudfleet.exe and README.txt and
# nothing else; console programs of the package's own kind (win32: 32-bit, win64: 64-bit);
# a README with Windows line ends; and a program that runs from there, alone in its
# folder. What the program imports is the business of windows_imports.cmake.
#   cmake -D BUILD_DIR=<build> -D WORK_DIR=<scratch folder> -D FLAVOUR=<win32|win64>
#         -D OBJDUMP=<objdump> -D EMULATOR=<how to run a Windows program>
#         -D EXPECTED_LISTING=<file> -P windows_package.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/package" "${WORK_DIR}/unpacked" "${WORK_DIR}/run")

execute_process(
  COMMAND "${CMAKE_CPACK_COMMAND}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}/package"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB packages "${WORK_DIR}/package/*.zip")
if(NOT status EQUAL 0 OR NOT packages MATCHES "/vudcheck-[0-9]+\\.[0-9]+\\.[0-9]+-${FLAVOUR}\\.zip$")
  message(FATAL_ERROR "cpack made no vudcheck-<version>-${FLAVOUR}.zip, but ${packages} "
                      "(status ${status}):\n${output}")
endif()
get_filename_component(top "${packages}" NAME_WLE)

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${packages}" WORKING_DIRECTORY "${WORK_DIR}/unpacked")
file(GLOB_RECURSE unpacked RELATIVE "${WORK_DIR}/unpacked" "${WORK_DIR}/unpacked/*")
list(SORT unpacked)
set(expected "${top}/README.txt" "${top}/vudcheck.exe" "${top}/vudfleet.exe")
if(NOT unpacked STREQUAL expected)
  message(FATAL_ERROR "the package holds: ${unpacked}\nexpected:          ${expected}")
endif()
set(program "${WORK_DIR}/unpacked/${top}/vudcheck.exe")

# The header that tells a 32-bit (PE32, Intel 80386) from a 64-bit (PE32+, x86-64)
# program, and a console program from a windowed one.
if(FLAVOUR STREQUAL "win32")
  set(kind "Magic[ \t]+010b[ \t]+\\(PE32\\)")
  set(machine "i386")  # objdump's name for Intel 80386
elseif(FLAVOUR STREQUAL "win64")
  set(kind "Magic[ \t]+020b[ \t]+\\(PE32\\+\\)")
  set(machine "i386:x86-64")
else()
  message(FATAL_ERROR "FLAVOUR is '${FLAVOUR}': win32 or win64")
endif()
foreach(executable vudcheck.exe vudfleet.exe)
  execute_process(COMMAND "${OBJDUMP}" -f -p "${WORK_DIR}/unpacked/${top}/${executable}"
                  OUTPUT_VARIABLE headers RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT headers MATCHES "${kind}" OR NOT headers MATCHES "architecture: ${machine},"
     OR NOT headers MATCHES "Subsystem[ \t]+00000003[ \t]+\\(Windows CUI\\)")
    message(FATAL_ERROR "${executable} in the ${FLAVOUR} package is not a console program for ${machine}:\n${headers}")
  endif()
endforeach()

# CMake drops carriage returns from the texts it reads, so line ends are checked on
# the bytes: a list of two-digit hex values.
function(read_bytes path result)
  file(READ "${path}" hex HEX)
  string(REGEX MATCHALL ".." bytes "${hex}")
  set(${result} "${bytes}" PARENT_SCOPE)
endfunction()

read_bytes("${WORK_DIR}/unpacked/${top}/README.txt" readme)
string(REPLACE "0d;0a" "" bare_lines "${readme}")
if(NOT readme OR "0a" IN_LIST bare_lines)
  message(FATAL_ERROR "README.txt is empty or has lines that do not end in CR LF")
endif()

# Unpacked and run where no other file is: the listing, each line ended by CR LF.
execute_process(COMMAND ${EMULATOR} "${program}" "?"
                WORKING_DIRECTORY "${WORK_DIR}/run"
                OUTPUT_FILE "${WORK_DIR}/listing.txt" ERROR_VARIABLE errors RESULT_VARIABLE status)
read_bytes("${WORK_DIR}/listing.txt" listing)
read_bytes("${EXPECTED_LISTING}" expected_listing)
list(TRANSFORM expected_listing REPLACE "^0a$" "0d;0a")
if(NOT status EQUAL 0 OR NOT "${listing}" STREQUAL "${expected_listing}")
  message(FATAL_ERROR "the unpacked vudcheck.exe did not print the expected listing with CR LF "
                      "line ends (status ${status}; output in ${WORK_DIR}/listing.txt)\n${errors}")
endif()

# The fleet checker runs from there too, on a report saved next to it.
file(WRITE "${WORK_DIR}/run/report.txt"
     "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\r\n"
     "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\r\n"
     "41 Applications NOT FOUND\r\n")
execute_process(COMMAND ${EMULATOR} "${WORK_DIR}/unpacked/${top}/vudfleet.exe" --format csv report.txt
                WORKING_DIRECTORY "${WORK_DIR}/run"
                OUTPUT_VARIABLE rows ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 1 OR NOT rows MATCHES "^installation,source,status,.*\r\nreport.txt,report,findings,")
  message(FATAL_ERROR "the unpacked vudfleet.exe did not read a report (status ${status}):\n${rows}\n${errors}")
endif()
