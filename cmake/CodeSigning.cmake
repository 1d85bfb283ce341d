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
# With neither of the first two set, nothing is signed. osslsigncode (Debian:
# osslsigncode) signs; the password reaches it on standard input, never on a command line.
cmake_minimum_required(VERSION 3.25)

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
  find_program(VUD_OSSLSIGNCODE osslsigncode)
  if(NOT VUD_OSSLSIGNCODE)
    message(FATAL_ERROR "osslsigncode not found, which signs the release (Debian: apt-get install osslsigncode)")
  endif()
  set(${result} TRUE PARENT_SCOPE)
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
