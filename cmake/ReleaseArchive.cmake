# Run by cpack once it has made its packages (CPACK_POST_BUILD_SCRIPTS), before it
# moves them into the package folder. Makes each ZIP again so that the same files give
# the same bytes, makes the Windows Installer package of the same files beside it
# (WindowsInstaller.cmake), signs the programs and that package when the person
# releasing supplies a key (CodeSigning.cmake), and writes SHA256SUMS in the package
# folder.
#
# cpack's own ZIP records each file's modification time, in the local time zone, its
# owner's user and group ids, and permissions as the umask left them. The ZIP made
# here holds the same files, in byte order of their names, each with the release time
# (Reproducible.cmake) kept as UTC, permissions rw-r--r-- (rwxr-xr-x for programs), and
# no owner or other extra fields; which Info-ZIP `zip -X` writes.
#
# The programs are signed before they go into either package, so that what is
# installed is signed as well; signing is the only step that makes bytes differ from an
# unsigned build, and taking the signature off gives the unsigned ones back (each
# program is padded for its signature first, signed or not).
#
# SHA256SUMS has a line per ZIP and installer package of the project in the package
# folder, as shipped (signed, when signed), in the format `sha256sum -c` reads, so
# packaging win32 and win64 into one folder lists all four.
#
# Inputs, as cpack sets them: CPACK_PACKAGE_FILES (the packages, still in cpack's
# scratch folder), CPACK_PACKAGE_DIRECTORY and CPACK_OUTPUT_FILE_PREFIX (where they
# go), CPACK_PACKAGE_NAME, CPACK_TOPLEVEL_DIRECTORY (scratch space), and
# CPACK_VUDCHECK_SOURCE_DIR (Reproducible.cmake); for the installer package, when
# Packaging.cmake found its tools, the CPACK_VUDCHECK_MSI_* settings.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/Reproducible.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsInstaller.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/CodeSigning.cmake)

vud_find_debian_program(zip VUD_ZIP zip FATAL_ERROR
                        "zip (Info-ZIP) not found, which makes the release packages byte for byte reproducible")

vud_release_time(release_time "${CPACK_VUDCHECK_SOURCE_DIR}")
vud_signing_requested(sign)

# Unpacks <package> into <scratch>; <entries> are its files, in byte order of their names.
function(vud_unpack package scratch entries)
  file(REMOVE_RECURSE "${scratch}")
  file(ARCHIVE_EXTRACT INPUT "${package}" DESTINATION "${scratch}")
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${scratch}" "${scratch}/*")
  list(SORT found)
  set(${entries} "${found}" PARENT_SCOPE)
endfunction()

# Makes <package> again from the <entries> unpacked in <scratch>.
function(vud_remake_zip package scratch entries release_time)
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
endfunction()

# Makes the installer package <msi> of the files in the one top folder of <entries>.
function(vud_make_installer_of msi scratch entries release_time)
  set(files "")
  foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "^([^/]+)/([^/]+)$")
      message(FATAL_ERROR "${entry}: the installer package takes the files of one folder")
    endif()
    set(top "${CMAKE_MATCH_1}")
    list(APPEND files "${CMAKE_MATCH_2}")
  endforeach()
  vud_make_windows_installer(
    FOLDER "${scratch}/${top}" FILES ${files}
    VERSION ${CPACK_VUDCHECK_MSI_VERSION} ARCH ${CPACK_VUDCHECK_MSI_ARCH} RELEASE_TIME ${release_time}
    TEMPLATE "${CPACK_VUDCHECK_MSI_TEMPLATE}" SCRATCH "${scratch}-msi"
    PRODUCT_NAME "${CPACK_PACKAGE_NAME}" MANUFACTURER "${CPACK_PACKAGE_VENDOR}"
    DESCRIPTION "${CPACK_VUDCHECK_MSI_DESCRIPTION}" OUTPUT "${msi}")
  file(REMOVE_RECURSE "${scratch}-msi")
endfunction()

if(CPACK_OUTPUT_FILE_PREFIX)
  get_filename_component(package_folder "${CPACK_OUTPUT_FILE_PREFIX}" ABSOLUTE
                         BASE_DIR "${CPACK_PACKAGE_DIRECTORY}")
else()
  set(package_folder "${CPACK_PACKAGE_DIRECTORY}")
endif()

# Packages already in the package folder, then this run's, which replace any of the same name.
file(GLOB earlier RELATIVE "${package_folder}"
     "${package_folder}/${CPACK_PACKAGE_NAME}-*.zip" "${package_folder}/${CPACK_PACKAGE_NAME}-*.msi")
foreach(name IN LISTS earlier)
  file(SHA256 "${package_folder}/${name}" "sum_${name}")
endforeach()
set(names ${earlier})
file(MAKE_DIRECTORY "${package_folder}")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${package}" NAME)
  if(NOT name MATCHES "\\.zip$")
    message(FATAL_ERROR "${name}: only ZIP packages are made reproducible")
  endif()
  set(scratch "${CPACK_TOPLEVEL_DIRECTORY}/reproducible")
  vud_unpack("${package}" "${scratch}" entries)
  foreach(entry IN LISTS entries)
    if(entry MATCHES "\\.(exe|dll)$")
      vud_pad_for_signature("${scratch}/${entry}")
      if(sign)
        vud_sign("${scratch}/${entry}" ${release_time} "${CPACK_PACKAGE_NAME}")
      endif()
    endif()
  endforeach()
  vud_remake_zip("${package}" "${scratch}" "${entries}" ${release_time})
  file(SHA256 "${package}" "sum_${name}")
  list(APPEND names "${name}")

  if(CPACK_VUDCHECK_MSI_ARCH)
    set(msi_name "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_VUDCHECK_MSI_ARCH}.msi")
    set(msi "${package_folder}/${msi_name}")
    vud_make_installer_of("${msi}" "${scratch}" "${entries}" ${release_time})
    if(sign)
      vud_sign("${msi}" ${release_time} "${CPACK_PACKAGE_NAME}")
    endif()
    file(SHA256 "${msi}" "sum_${msi_name}")
    list(APPEND names "${msi_name}")
  endif()
  file(REMOVE_RECURSE "${scratch}")
endforeach()

list(REMOVE_DUPLICATES names)
list(SORT names)
set(sums "")
foreach(name IN LISTS names)
  string(APPEND sums "${sum_${name}}  ${name}\n")
endforeach()
file(WRITE "${package_folder}/SHA256SUMS" "${sums}")
