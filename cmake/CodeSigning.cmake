# Authenticode signing of the release, for sites that run only signed programs
# (AppLocker or WDAC publisher rules) and against SmartScreen's warning. Included by the
# packaging step (ReleaseArchive.cmake), which signs each program before it goes into
# the ZIP and the installer package, and then the installer package itself.
#
# The person releasing supplies the key, never the repository:
#   VUDCHECK_SIGNING_PKCS12     path of a PKCS#12 file with the code-signing key and
#                               certificate (and the chain up to the root, if any)
#   VUDCHECK_SIGNING_PASSWORD   its password
#   VUDCHECK_SIGNING_TIMESTAMP  optional: URL of an RFC 3161 time-stamping service, so
#                               that the signature outlives the certificate
# With neither of the first two set, nothing is signed. osslsigncode (group release of
# tools/packages) signs; the password reaches it on standard input, never on a command line.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/DebianPackages.cmake)

# <result> is TRUE when the release is to be signed; stops on half a configuration,
# since a release meant to be signed must not go out unsigned.
function(vud_signing_requested result)
  set(have_key FALSE)
  set(have_password FALSE)
  if(NOT "$ENV{VUDCHECK_SIGNING_PKCS12}" STREQUAL "")
    set(have_key TRUE)
  endif()
  if(DEFINED ENV{VUDCHECK_SIGNING_PASSWORD})
    set(have_password TRUE)
  endif()
  if(NOT have_key AND NOT have_password)
    set(${result} FALSE PARENT_SCOPE)
    return()
  endif()
  if(NOT have_key OR NOT have_password)
    message(FATAL_ERROR "signing needs both VUDCHECK_SIGNING_PKCS12 (the key's file) and "
                        "VUDCHECK_SIGNING_PASSWORD (its password); only one is set")
  endif()
  if(NOT EXISTS "$ENV{VUDCHECK_SIGNING_PKCS12}" OR IS_DIRECTORY "$ENV{VUDCHECK_SIGNING_PKCS12}")
    message(FATAL_ERROR "VUDCHECK_SIGNING_PKCS12 names no file: $ENV{VUDCHECK_SIGNING_PKCS12}")
  endif()
  vud_find_debian_program(osslsigncode VUD_OSSLSIGNCODE osslsigncode FATAL_ERROR
                          "osslsigncode not found, which signs the release")
  set(${result} TRUE PARENT_SCOPE)
endfunction()

# Pads the program <file> to a multiple of 8 bytes, signed or not. Authenticode puts the
# signature at such a place and pads the program up to it, and taking the signature off
# leaves that padding, and the header checksum that counts it. The 32-bit program ends
# in a string table of any length (it names .eh_frame), so without this a signed
# program would not give back the unsigned one. Zeros add nothing to the checksum's
# sum of words, to which the file's length is added: it grows by the padding.
function(vud_pad_for_signature file)
  file(SIZE "${file}" size)
  math(EXPR padding "(8 - ${size} % 8) % 8")
  if(padding EQUAL 0)
    return()
  endif()
  # The PE header's place is at offset 60; its checksum 88 bytes into it. Little-endian.
  # Anything else is no program for Windows, and stays as it is.
  file(READ "${file}" magic LIMIT 2 HEX)
  if(NOT magic STREQUAL "4d5a" OR size LESS 64)
    return()
  endif()
  vud_read_le32("${file}" 60 header)
  file(READ "${file}" signature OFFSET ${header} LIMIT 4 HEX)
  if(NOT signature STREQUAL "50450000")
    return()
  endif()
  math(EXPR checksum_offset "${header} + 88")
  vud_read_le32("${file}" ${checksum_offset} checksum)
  if(checksum EQUAL 0)
    message(FATAL_ERROR "${file} has no header checksum to keep (strip writes one)")
  endif()
  math(EXPR checksum "${checksum} + ${padding}")
  set(octal "")
  foreach(shift IN ITEMS 0 8 16 24)
    math(EXPR byte "(${checksum} >> ${shift}) & 255")
    math(EXPR high "${byte} >> 6")
    math(EXPR middle "(${byte} >> 3) & 7")
    math(EXPR low "${byte} & 7")
    string(APPEND octal "\\${high}${middle}${low}")
  endforeach()
  math(EXPR padded "${size} + ${padding}")
  execute_process(
    COMMAND truncate -s ${padded} -- "${file}"
    COMMAND_ERROR_IS_FATAL ANY)
  execute_process(
    COMMAND sh -c "printf '${octal}' | dd of='${file}' bs=1 seek=${checksum_offset} count=4 conv=notrunc status=none"
    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

function(vud_read_le32 file offset result)
  file(READ "${file}" hex OFFSET ${offset} LIMIT 4 HEX)
  string(REGEX MATCHALL ".." bytes "${hex}")
  list(REVERSE bytes)
  string(JOIN "" hex ${bytes})
  math(EXPR value "0x${hex}")
  set(${result} ${value} PARENT_SCOPE)
endfunction()

# Signs <file> (a program or an installer package) in place, SHA-256, dated the
# release time. Without a time-stamping service, the same key, files and time give the
# same signed bytes.
function(vud_sign file release_time description)
  set(signed "${file}.signed")
  file(REMOVE "${signed}")
  set(timestamp "")
  if(NOT "$ENV{VUDCHECK_SIGNING_TIMESTAMP}" STREQUAL "")
    set(timestamp -ts "$ENV{VUDCHECK_SIGNING_TIMESTAMP}")
  endif()
  execute_process(
    COMMAND printenv VUDCHECK_SIGNING_PASSWORD
    COMMAND "${VUD_OSSLSIGNCODE}" sign -pkcs12 "$ENV{VUDCHECK_SIGNING_PKCS12}" -readpass -
            -h sha256 -n "${description}" -time ${release_time} ${timestamp}
            -in "${file}" -out "${signed}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0 OR NOT EXISTS "${signed}")
    file(REMOVE "${signed}")
    message(FATAL_ERROR "osslsigncode could not sign ${file} (status ${status}):\n${output}")
  endif()
  file(RENAME "${signed}" "${file}")
endfunction()
