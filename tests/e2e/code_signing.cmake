# Packages the build twice with cpack, without a key and with a throw-away code-signing
# key made here, and checks the release's signing step:
#  - without the key nothing is signed; with it, the program in the ZIP and the
#    installer package verify against the key's certificate, and the installer
#    package holds that same signed program;
#  - taking the signature off the signed program gives the unsigned one byte for byte;
#  - the signed program runs (under Wine) and prints the listing;
#  - SHA256SUMS lists every package as shipped, signed;
#  - a key without its password, a password without a key, a key file that is not
#    there and a wrong password each stop the step before it writes anything.
#   cmake -D BUILD_DIR=<build> -D WORK_DIR=<scratch folder> -D FLAVOUR=<win32|win64>
#         -D EMULATOR=<how to run a Windows program> -D EXPECTED_LISTING=<file>
#         -D RELEASE_SCRIPT=<cmake/ReleaseArchive.cmake> -P code_signing.cmake
# Prints "SKIPPED:" and ends without openssl or osslsigncode.
cmake_minimum_required(VERSION 3.25)

find_program(OPENSSL openssl)
find_program(OSSLSIGNCODE osslsigncode)
if(NOT OPENSSL OR NOT OSSLSIGNCODE)
  message("SKIPPED: signing needs openssl and osslsigncode (tools/setup release)")
  return()
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/key")
set(password "not a secret, but spaced")
set(signing_environment --unset=VUDCHECK_SIGNING_TIMESTAMP VUDCHECK_SIGNING_PKCS12=${WORK_DIR}/key/signer.p12
                        "VUDCHECK_SIGNING_PASSWORD=${password}")
set(no_signing_environment --unset=VUDCHECK_SIGNING_PKCS12 --unset=VUDCHECK_SIGNING_PASSWORD)

function(run what)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK_DIR}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (status ${status}):\n${output}")
  endif()
endfunction()

# A self-signed certificate for code signing, valid for two days.
run("openssl req" "${OPENSSL}" req -x509 -newkey rsa:2048 -nodes -days 2
    -subj "/CN=Vudmark test signer" -addext "keyUsage=critical,digitalSignature"
    -addext "extendedKeyUsage=codeSigning" -keyout key/key.pem -out key/certificate.pem)
run("openssl pkcs12" "${CMAKE_COMMAND}" -E env "VUDCHECK_SIGNING_PASSWORD=${password}"
    "${OPENSSL}" pkcs12 -export -inkey key/key.pem -in key/certificate.pem -out key/signer.p12
    -passout env:VUDCHECK_SIGNING_PASSWORD)
set(certificate "${WORK_DIR}/key/certificate.pem")

# Both packagings, each unpacked: <kind>/packages, <kind>/unpacked/<top>/.
foreach(kind IN ITEMS unsigned signed)
  set(environment ${no_signing_environment})
  if(kind STREQUAL "signed")
    set(environment ${signing_environment})
  endif()
  run("cpack, ${kind}" "${CMAKE_COMMAND}" -E env ${environment}
      "${CMAKE_CPACK_COMMAND}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}/${kind}/packages")
  file(GLOB zip "${WORK_DIR}/${kind}/packages/*-${FLAVOUR}.zip")
  file(GLOB ${kind}_msi "${WORK_DIR}/${kind}/packages/*.msi")
  file(MAKE_DIRECTORY "${WORK_DIR}/${kind}/unpacked")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zip}" WORKING_DIRECTORY "${WORK_DIR}/${kind}/unpacked")
  get_filename_component(top "${zip}" NAME_WLE)
  set(${kind}_program "${WORK_DIR}/${kind}/unpacked/${top}/vudcheck.exe")
endforeach()

# Whether <file> carries a signature at all, and whether it verifies against the
# test's certificate.
function(signature_of file result)
  execute_process(COMMAND "${OSSLSIGNCODE}" extract-signature -in "${file}" -out "${file}.signature"
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE "${file}.signature")
  if(NOT status EQUAL 0)
    set(${result} none PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND "${OSSLSIGNCODE}" verify -CAfile "${certificate}" -in "${file}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(status EQUAL 0)
    set(${result} verified PARENT_SCOPE)
  else()
    set(${result} "not verified: ${output}" PARENT_SCOPE)
  endif()
endfunction()

set(checks "${unsigned_program}=none" "${signed_program}=verified")
if(unsigned_msi OR signed_msi)
  list(APPEND checks "${unsigned_msi}=none" "${signed_msi}=verified")
endif()
foreach(check IN LISTS checks)
  string(REGEX MATCH "^(.*)=(.*)$" ignored "${check}")
  signature_of("${CMAKE_MATCH_1}" found)
  if(NOT found STREQUAL CMAKE_MATCH_2)
    message(FATAL_ERROR "${CMAKE_MATCH_1}: signature ${found}, expected ${CMAKE_MATCH_2}")
  endif()
endforeach()

# What the installer package installs is the signed program.
if(signed_msi)
  find_program(MSIEXTRACT msiextract REQUIRED)
  run("msiextract" "${MSIEXTRACT}" -C "${WORK_DIR}/signed/installed" "${signed_msi}")
  file(GLOB_RECURSE installed "${WORK_DIR}/signed/installed/*/vudcheck.exe")
  file(SHA256 "${installed}" installed_sum)
  file(SHA256 "${signed_program}" signed_sum)
  if(NOT installed_sum STREQUAL signed_sum)
    message(FATAL_ERROR "the installer package holds another vudcheck.exe (${installed}) than the signed ZIP")
  endif()
endif()

run("osslsigncode remove-signature" "${OSSLSIGNCODE}" remove-signature
    -in "${signed_program}" -out "${WORK_DIR}/signature-removed.exe")
file(SHA256 "${WORK_DIR}/signature-removed.exe" removed_sum)
file(SHA256 "${unsigned_program}" unsigned_sum)
if(NOT removed_sum STREQUAL unsigned_sum)
  message(FATAL_ERROR "without its signature the signed program is not the unsigned one: "
                      "compare ${WORK_DIR}/signature-removed.exe with ${unsigned_program}")
endif()

execute_process(COMMAND ${EMULATOR} "${signed_program}" "?" WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REPLACE "\r\n" "\n" listing "${listing}")
file(READ "${EXPECTED_LISTING}" expected_listing)
if(NOT status EQUAL 0 OR NOT listing STREQUAL expected_listing)
  message(FATAL_ERROR "the signed vudcheck.exe did not print the listing (status ${status}):\n${listing}${errors}")
endif()

# SHA256SUMS: a line per package in the folder, with the hash of the file as it is.
file(GLOB packages RELATIVE "${WORK_DIR}/signed/packages"
     "${WORK_DIR}/signed/packages/*.zip" "${WORK_DIR}/signed/packages/*.msi")
list(SORT packages)
set(expected_sums "")
foreach(name IN LISTS packages)
  file(SHA256 "${WORK_DIR}/signed/packages/${name}" sum)
  string(APPEND expected_sums "${sum}  ${name}\n")
endforeach()
file(READ "${WORK_DIR}/signed/packages/SHA256SUMS" sums)
if(NOT sums STREQUAL expected_sums)
  message(FATAL_ERROR "SHA256SUMS of the signed packages:\n${sums}expected:\n${expected_sums}")
endif()

# Half a signing configuration, or a wrong one: the step stops, names the fault, and
# leaves no SHA256SUMS. Each case runs the step itself on a copy of the unsigned ZIP.
# what | the environment, settings joined by & | what the error says
set(cases
  "only the key|--unset=VUDCHECK_SIGNING_PASSWORD&VUDCHECK_SIGNING_PKCS12=${WORK_DIR}/key/signer.p12|only one is set"
  "only the password|--unset=VUDCHECK_SIGNING_PKCS12&VUDCHECK_SIGNING_PASSWORD=${password}|only one is set"
  "no key file|VUDCHECK_SIGNING_PKCS12=${WORK_DIR}/key/missing.p12&VUDCHECK_SIGNING_PASSWORD=${password}|names no file"
  "a wrong password|VUDCHECK_SIGNING_PKCS12=${WORK_DIR}/key/signer.p12&VUDCHECK_SIGNING_PASSWORD=wrong|could not sign")
file(GLOB unsigned_zip "${WORK_DIR}/unsigned/packages/*.zip")
get_filename_component(zip_name "${unsigned_zip}" NAME)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 what)
  list(GET fields 1 environment)
  string(REPLACE "&" ";" environment "${environment}")
  list(GET fields 2 expected_error)
  set(run "${WORK_DIR}/refused")
  file(REMOVE_RECURSE "${run}")
  file(MAKE_DIRECTORY "${run}/packages" "${run}/scratch")
  file(COPY_FILE "${unsigned_zip}" "${run}/scratch/${zip_name}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env ${environment} SOURCE_DATE_EPOCH=315532800
            "${CMAKE_COMMAND}" -D "CPACK_PACKAGE_FILES=${run}/scratch/${zip_name}"
                               -D "CPACK_PACKAGE_DIRECTORY=${run}/packages"
                               -D "CPACK_TOPLEVEL_DIRECTORY=${run}/scratch"
                               -D CPACK_PACKAGE_NAME=vudcheck
                               -D "CPACK_VUDCHECK_SOURCE_DIR=${run}"
                               -P "${RELEASE_SCRIPT}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REPLACE "\n" " " flat_output "${output}")
  if(status EQUAL 0 OR NOT flat_output MATCHES "${expected_error}" OR EXISTS "${run}/packages/SHA256SUMS")
    message(FATAL_ERROR "signing with ${what}: status ${status}, expected a failure saying "
                        "'${expected_error}' and no SHA256SUMS:\n${output}")
  endif()
endforeach()
