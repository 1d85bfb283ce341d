# Makes the build's Windows Installer package with cpack and puts it through what an
# administrator's deployment does, silently, in a Wine prefix of its own made afresh:
#  1. install: the ZIP's files, byte for byte, in Program Files\Vudmark\vudcheck (the
#     32-bit package: Program Files (x86)), the folder once on the system PATH, one
#     product registered, and `vudcheck ?` run by its bare name from another folder
#     prints the listing;
#  2. uninstall: no file, no Vudmark folder, no PATH entry, no product;
#  3. an older version (made here from the same files and one more) installed, then
#     this one over it: one product, this version, the older one's extra file gone,
#     the folder once on PATH; the older one over this one is refused;
#  4. uninstall again, as in 2.
#   cmake -D BUILD_DIR=<build> -D WORK_DIR=<scratch folder> -D ARCH=<x64|x86>
#         -D WINE=<wine> -D WINESERVER=<wineserver> -D TEMPLATE=<packaging/vudcheck.wxs.in>
#         -D EXPECTED_LISTING=<file> -P windows_installer.cmake
# Prints "SKIPPED:" and ends when the tools that make the package are missing.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/WindowsInstaller.cmake)

vud_windows_installer_tools_missing(missing)
if(missing)
  message("SKIPPED: no ${missing}, which make the Windows Installer package")
  return()
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/package" "${WORK_DIR}/unpacked" "${WORK_DIR}/elsewhere")

execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env --unset=VUDCHECK_SIGNING_PKCS12 --unset=VUDCHECK_SIGNING_PASSWORD
          "${CMAKE_CPACK_COMMAND}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}/package"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB msi "${WORK_DIR}/package/*-${ARCH}.msi")
file(GLOB zip "${WORK_DIR}/package/*.zip")
if(NOT status EQUAL 0 OR NOT msi MATCHES "/vudcheck-([0-9]+\\.[0-9]+\\.[0-9]+)-${ARCH}\\.msi$")
  message(FATAL_ERROR "cpack made no vudcheck-<version>-${ARCH}.msi, but ${msi} (status ${status}):\n${output}")
endif()
set(version ${CMAKE_MATCH_1})

# What the installer package must put in place: the ZIP's files.
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zip}" WORKING_DIRECTORY "${WORK_DIR}/unpacked")
get_filename_component(top "${zip}" NAME_WLE)
file(GLOB shipped RELATIVE "${WORK_DIR}/unpacked/${top}" "${WORK_DIR}/unpacked/${top}/*")
list(SORT shipped)

# The older version: the same files and one that only it has. It is made by a wixl that
# takes over a second to start, as on a busy machine: the summary must still give the
# release time to the second, or two builds of one release differ.
file(WRITE "${WORK_DIR}/slow/wixl" "#!/bin/sh\nsleep 1.2\nexec '${VUD_WIXL}' \"$@\"\n")
file(CHMOD "${WORK_DIR}/slow/wixl" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(VUD_WIXL "${WORK_DIR}/slow/wixl")
set(older_version 0.0.1)
set(older_only CHANGES-0.0.1.txt)
file(WRITE "${WORK_DIR}/unpacked/${top}/${older_only}" "What changed in 0.0.1.\r\n")
vud_make_windows_installer(
  FOLDER "${WORK_DIR}/unpacked/${top}" FILES ${shipped} ${older_only}
  VERSION ${older_version} ARCH ${ARCH} RELEASE_TIME 315532800 TEMPLATE "${TEMPLATE}"
  SCRATCH "${WORK_DIR}/older" PRODUCT_NAME vudcheck MANUFACTURER "Vudmark Software"
  DESCRIPTION "An older vudcheck" OUTPUT "${WORK_DIR}/vudcheck-${older_version}-${ARCH}.msi")
file(REMOVE "${WORK_DIR}/unpacked/${top}/${older_only}")
set(older_msi "${WORK_DIR}/vudcheck-${older_version}-${ARCH}.msi")
execute_process(COMMAND msiinfo suminfo "${older_msi}" OUTPUT_VARIABLE summary)
string(REGEX MATCHALL "(Created|Last saved): [^\n]*" stamps "${summary}")
if(NOT stamps STREQUAL "Created: Tue Jan  1 00:00:00 1980;Last saved: Tue Jan  1 00:00:00 1980")
  message(FATAL_ERROR "the package made with release time 1980-01-01 00:00:00 UTC has the times: ${stamps}")
endif()

# A prefix of its own: the build's prefix runs the other tests meanwhile.
set(prefix "${WORK_DIR}/prefix")
set(wine_environment WINEPREFIX=${prefix} WINEDEBUG=-all)
execute_process(COMMAND "${CMAKE_COMMAND}" -E env ${wine_environment} WINEDLLOVERRIDES=mscoree,mshtml=
                        "${WINE}" wineboot --init
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND "${CMAKE_COMMAND}" -E env ${wine_environment} "${WINESERVER}" --wait)
if(NOT status EQUAL 0 OR NOT EXISTS "${prefix}/system.reg")
  message(FATAL_ERROR "wineboot could not make the prefix ${prefix} (status ${status})")
endif()
# One server for all the runs below, each of which would otherwise start its own and
# Wine's services with it, seconds each; it stops a minute after the last run. Neither
# may hold this script's standard streams (see cmake/wine-run.in).
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env ${wine_environment}
          sh -c "'${WINESERVER}' -p60 </dev/null >/dev/null 2>&1; '${WINE}' cmd.exe /c exit </dev/null >/dev/null 2>&1")
if(ARCH STREQUAL "x64")
  set(windows_folder "C:\\Program Files\\Vudmark\\vudcheck")
  set(folder "${prefix}/drive_c/Program Files/Vudmark/vudcheck")
else()
  set(windows_folder "C:\\Program Files (x86)\\Vudmark\\vudcheck")
  set(folder "${prefix}/drive_c/Program Files (x86)/Vudmark/vudcheck")
endif()
get_filename_component(vudmark_folder "${folder}" DIRECTORY)

# Runs a Windows program in the prefix; <output> gets its standard output, without CRs.
function(wine output)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env ${wine_environment} "${WINE}" ${ARGN}
                  WORKING_DIRECTORY "${WORK_DIR}/elsewhere"
                  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE errors)
  string(REPLACE "\r" "" text "${text}")
  set(${output} "${text}" PARENT_SCOPE)
  set(wine_status ${status} PARENT_SCOPE)
  set(wine_errors "${errors}" PARENT_SCOPE)
endfunction()

function(msiexec)
  wine(ignored msiexec ${ARGN} /qn)
  if(NOT wine_status EQUAL 0)
    message(FATAL_ERROR "msiexec ${ARGN} /qn failed (status ${wine_status}):\n${wine_errors}")
  endif()
endfunction()

# The entries of the system PATH, leaving out empty ones: Wine takes an entry out of
# PATH but leaves its separator, so an uninstalled or upgraded package leaves ";;".
function(system_path result)
  wine(text reg query "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment" /v PATH)
  if(NOT text MATCHES "\n +PATH +REG_[A-Z_]+ +([^\n]*)")
    message(FATAL_ERROR "no system PATH in the prefix:\n${text}${wine_errors}")
  endif()
  set(entries "${CMAKE_MATCH_1}")
  list(REMOVE_ITEM entries "")
  set(${result} "${entries}" PARENT_SCOPE)
endfunction()

# How often the install folder is on the system PATH, with or without its final backslash.
function(count_path_entries result)
  system_path(entries)
  set(count 0)
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "\\\\$" "" entry "${entry}")
    string(TOLOWER "${entry}" entry)
    string(TOLOWER "${windows_folder}" wanted)
    if(entry STREQUAL wanted)
      math(EXPR count "${count} + 1")
    endif()
  endforeach()
  set(${result} ${count} PARENT_SCOPE)
endfunction()

# The versions of vudcheck that Programs and Features lists; a 32-bit package's entry
# is in the 32-bit view of the registry.
function(installed_versions result)
  set(versions "")
  foreach(key IN ITEMS "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
                       "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall")
    wine(text reg query "${key}" /s)
    string(REGEX MATCHALL "\n    Display(Name|Version) +REG_SZ +[^\n]*" lines "${text}")
    set(name "")
    foreach(line IN LISTS lines)
      if(line MATCHES "DisplayName +REG_SZ +(.*)$")
        set(name "${CMAKE_MATCH_1}")
      elseif(line MATCHES "DisplayVersion +REG_SZ +(.*)$" AND name STREQUAL "vudcheck")
        list(APPEND versions "${CMAKE_MATCH_1}")
        set(name "")
      endif()
    endforeach()
  endforeach()
  set(${result} "${versions}" PARENT_SCOPE)
endfunction()

function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}:\n  found:    ${actual}\n  expected: ${expected}")
  endif()
endfunction()

# Installed as <version>: the ZIP's files, any further files named, and nothing else.
function(expect_installed stage version)
  installed_versions(versions)
  expect("${stage}: the versions registered" "${versions}" "${version}")
  count_path_entries(count)
  expect("${stage}: times the folder is on the system PATH" "${count}" 1)
  file(GLOB installed RELATIVE "${folder}" "${folder}/*")
  list(SORT installed)
  set(expected ${shipped} ${ARGN})
  list(SORT expected)
  expect("${stage}: the files in ${folder}" "${installed}" "${expected}")
  foreach(name IN LISTS shipped)
    file(SHA256 "${folder}/${name}" installed_sum)
    file(SHA256 "${WORK_DIR}/unpacked/${top}/${name}" shipped_sum)
    expect("${stage}: ${name} as installed and as in the ZIP" "${installed_sum}" "${shipped_sum}")
  endforeach()
endfunction()

function(expect_removed stage)
  installed_versions(versions)
  expect("${stage}: the versions registered" "${versions}" "")
  system_path(entries)
  expect("${stage}: the system PATH's entries" "${entries}" "${path_before}")
  if(EXISTS "${vudmark_folder}")
    file(GLOB_RECURSE left "${vudmark_folder}/*")
    message(FATAL_ERROR "${stage}: ${vudmark_folder} is still there, with: ${left}")
  endif()
endfunction()

system_path(path_before)

# 1. A fresh install, and the program by its bare name through PATH, in a new process.
msiexec(/i "${msi}")
expect_installed("install" ${version})
wine(listing cmd /c vudcheck "?")
file(READ "${EXPECTED_LISTING}" expected_listing)
if(NOT wine_status EQUAL 0 OR NOT listing STREQUAL expected_listing)
  file(WRITE "${WORK_DIR}/listing.txt" "${listing}")
  message(FATAL_ERROR "`cmd /c vudcheck ?` in another folder did not print the listing "
                      "(status ${wine_status}; output in ${WORK_DIR}/listing.txt)\n${wine_errors}")
endif()

# 2.
msiexec(/x "${msi}")
expect_removed("uninstall")

# 3. A major upgrade, and no downgrade.
msiexec(/i "${older_msi}")
expect_installed("install of ${older_version}" ${older_version} ${older_only})
msiexec(/i "${msi}")
expect_installed("install of ${version} over ${older_version}" ${version})
wine(ignored msiexec /i "${older_msi}" /qn)
if(wine_status EQUAL 0)
  message(FATAL_ERROR "installing ${older_version} over ${version} did not fail")
endif()
expect_installed("refused install of ${older_version} over ${version}" ${version})

# 4.
msiexec(/x "${msi}")
expect_removed("uninstall after the upgrade")

execute_process(COMMAND "${CMAKE_COMMAND}" -E env ${wine_environment} "${WINESERVER}" --kill)
file(REMOVE_RECURSE "${prefix}")
