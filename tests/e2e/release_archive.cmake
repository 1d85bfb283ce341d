# Runs the step that cpack ends each packaging with (cmake/ReleaseArchive.cmake) over two
# packagings of the same files that differ in everything a release must not depend on:
# file times, permissions, the order and owners of cpack's entries, the time zone, and
# what else lies in the package folder. Both must come out byte for byte the same ZIP,
# with the fields a user's unzip sees as worked out below, and a SHA256SUMS that lists
# every ZIP of the project in the folder.
#   cmake -D SCRIPT=<cmake/ReleaseArchive.cmake> -D WORK_DIR=<scratch folder> -P release_archive.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
set(top vudcheck-9.9.9-win64)
# 2013-03-15 00:00:00 UTC: DOS date ((2013 - 1980) << 9 | 3 << 5 | 15) = 0x426f, time 0.
set(release_time 1363305600)

# One packaging: the package folder <run>/packages, cpack's scratch space <run>/scratch
# with its ZIP of <top>/README.txt and <top>/vudcheck.exe made as cpack would.
# SOURCE_DATE_EPOCH is the release time unless <epoch> is "unset".
function(package run time_zone file_time readme_mode program_mode epoch)
  set(epoch_setting SOURCE_DATE_EPOCH=${epoch})
  if(epoch STREQUAL "unset")
    set(epoch_setting --unset=SOURCE_DATE_EPOCH)
  endif()
  set(stage "${WORK_DIR}/${run}/stage")
  file(MAKE_DIRECTORY "${stage}/${top}" "${WORK_DIR}/${run}/packages" "${WORK_DIR}/${run}/scratch")
  file(WRITE "${stage}/${top}/README.txt" "Run vudcheck in the folder of the application files.\r\n")
  file(WRITE "${stage}/${top}/vudcheck.exe" "MZ stands in for the program")
  file(CHMOD "${stage}/${top}/README.txt" FILE_PERMISSIONS ${readme_mode})
  file(CHMOD "${stage}/${top}/vudcheck.exe" FILE_PERMISSIONS ${program_mode})
  execute_process(COMMAND touch -d "@${file_time}" "${top}/README.txt" "${top}/vudcheck.exe"
                  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
  # The program first: cpack gives no order.
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${WORK_DIR}/${run}/scratch/${top}.zip" --format=zip
                          "${top}/vudcheck.exe" "${top}/README.txt"
                  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env --unset=VUDCHECK_SIGNING_PKCS12 --unset=VUDCHECK_SIGNING_PASSWORD
            TZ=${time_zone} ${epoch_setting}
            "${CMAKE_COMMAND}" -D "CPACK_PACKAGE_FILES=${WORK_DIR}/${run}/scratch/${top}.zip"
                               -D "CPACK_PACKAGE_DIRECTORY=${WORK_DIR}/${run}/packages"
                               -D "CPACK_TOPLEVEL_DIRECTORY=${WORK_DIR}/${run}/scratch"
                               -D CPACK_PACKAGE_NAME=vudcheck
                               -D "CPACK_VUDCHECK_SOURCE_DIR=${WORK_DIR}"
                               -P "${SCRIPT}"
    RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the release step failed on packaging ${run} (status ${status}):\n${errors}")
  endif()
endfunction()

# In the second package folder, an earlier win32 package (three bytes "abc", whose
# SHA-256 is the well-known one below), a ZIP of something else, and an old SHA256SUMS.
file(MAKE_DIRECTORY "${WORK_DIR}/second/packages")
file(WRITE "${WORK_DIR}/second/packages/vudcheck-2.2.0-win32.zip" "abc")
file(WRITE "${WORK_DIR}/second/packages/samples.zip" "not ours")
file(WRITE "${WORK_DIR}/second/packages/SHA256SUMS" "0000  vudcheck-0.1.0-win64.zip\n")

package(first UTC0 1700000000 "OWNER_READ;OWNER_WRITE" "OWNER_READ;OWNER_WRITE;OWNER_EXECUTE"
        ${release_time})
package(second NPT-5:45 1000000000 "OWNER_READ;OWNER_WRITE;GROUP_READ;GROUP_WRITE;WORLD_READ"
        "OWNER_READ;OWNER_WRITE;OWNER_EXECUTE;GROUP_READ;GROUP_WRITE;GROUP_EXECUTE;WORLD_READ;WORLD_EXECUTE"
        ${release_time})
# No SOURCE_DATE_EPOCH, and "sources" that are no clone of their own, though they lie
# inside one when the build folder does: not that clone's commit time, but 1980-01-01
# (DOS date 0 << 9 | 1 << 5 | 1 = 33).
package(third UTC0 1700000000 "OWNER_READ;OWNER_WRITE" "OWNER_READ;OWNER_WRITE;OWNER_EXECUTE" unset)

set(zip "${WORK_DIR}/first/scratch/${top}.zip")
file(SHA256 "${zip}" first_sum)
file(SHA256 "${WORK_DIR}/second/scratch/${top}.zip" second_sum)
if(NOT first_sum STREQUAL second_sum)
  message(FATAL_ERROR "the two packagings of the same files made different ZIPs")
endif()

# The fields of each entry, from the central directory and the entry's own header.
# Offsets and sizes in bytes; numbers are little-endian, <hex> has two digits a byte.
function(field hex offset size result)
  math(EXPR start "(${offset}) * 2")
  set(value "")
  foreach(byte RANGE 1 ${size})
    string(SUBSTRING "${hex}" ${start} 2 digits)
    string(PREPEND value "${digits}")
    math(EXPR start "${start} + 2")
  endforeach()
  math(EXPR value "0x${value}")
  set(${result} ${value} PARENT_SCOPE)
endfunction()

file(READ "${zip}" hex HEX)
string(FIND "${hex}" "504b0102" central)
math(EXPR entry "${central} / 2")
# Permissions in the upper half of the external attributes: 0100644 is 33188 and 0100755
# is 33261, the entries in byte order of their names.
set(names "${top}/README.txt" "${top}/vudcheck.exe")
set(modes 33188 33261)
foreach(name mode IN ZIP_LISTS names modes)
  field("${hex}" ${entry} 4 signature)
  field("${hex}" "${entry} + 5" 1 made_on)
  field("${hex}" "${entry} + 12" 2 time)
  field("${hex}" "${entry} + 14" 2 date)
  field("${hex}" "${entry} + 28" 2 name_length)
  field("${hex}" "${entry} + 30" 2 extra_length)
  field("${hex}" "${entry} + 32" 2 comment_length)
  field("${hex}" "${entry} + 40" 2 permissions)
  field("${hex}" "${entry} + 42" 4 local)
  math(EXPR name_start "(${entry} + 46) * 2")
  math(EXPR name_digits "${name_length} * 2")
  string(SUBSTRING "${hex}" ${name_start} ${name_digits} name_hex)
  string(HEX "${name}" expected_name_hex)
  field("${hex}" "${local} + 10" 2 local_time)
  field("${hex}" "${local} + 12" 2 local_date)
  field("${hex}" "${local} + 28" 2 local_extra_length)
  # Central directory signature 0x02014b50; made on Unix (3), so that unzip takes the
  # permissions; the release time; no extra fields, which would hold owners and times.
  set(got "${signature} ${made_on} ${time} ${date} ${extra_length} ${permissions} ${local_time} ${local_date} ${local_extra_length}")
  set(expected "33639248 3 0 17007 0 ${mode} 0 17007 0")
  if(NOT name_hex STREQUAL expected_name_hex OR NOT got STREQUAL expected)
    message(FATAL_ERROR "entry at byte ${entry}: name (hex) ${name_hex}, expected ${name}\n"
                        "signature, made on, time, date, extra length, permissions, and the entry's own "
                        "time, date, extra length:\n  got      ${got}\n  expected ${expected}")
  endif()
  math(EXPR entry "${entry} + 46 + ${name_length} + ${extra_length} + ${comment_length}")
endforeach()
field("${hex}" ${entry} 4 signature)
if(NOT signature EQUAL 101010256)  # 0x06054b50, the end of the central directory
  message(FATAL_ERROR "the ZIP holds more than README.txt and vudcheck.exe")
endif()

file(READ "${WORK_DIR}/third/scratch/${top}.zip" hex HEX)
field("${hex}" 10 2 time)
field("${hex}" 12 2 date)
if(NOT "${time} ${date}" STREQUAL "0 33")
  message(FATAL_ERROR "without a release time the entries got DOS time and date ${time} ${date}, "
                      "not 1980-01-01 00:00 (0 33)")
endif()

function(expect_file path text)
  file(READ "${path}" content)
  if(NOT content STREQUAL text)
    message(FATAL_ERROR "${path} holds:\n${content}\nexpected:\n${text}")
  endif()
endfunction()
expect_file("${WORK_DIR}/first/packages/SHA256SUMS" "${first_sum}  ${top}.zip\n")
expect_file("${WORK_DIR}/second/packages/SHA256SUMS"
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  vudcheck-2.2.0-win32.zip\n${first_sum}  ${top}.zip\n")
