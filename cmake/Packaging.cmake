# What a release holds.
#
# Linux: `cmake --install <build> [--prefix <folder>]` puts the checker and the fleet
# checker in bin/ and their manual pages in share/man/man1/, where a Unix-like system
# looks for them.
#
# Windows: the release packages vudcheck-<version>-win64.zip and
# vudcheck-<version>-x64.msi (64-bit build), or vudcheck-<version>-win32.zip and
# vudcheck-<version>-x86.msi (32-bit build), with the programs and a short README for
# the people who run them. The installer package holds the ZIP's files
# (WindowsInstaller.cmake); both are signed when a key is supplied (CodeSigning.cmake).
#   cmake --build build-mingw && cd build-mingw && cpack
if(NOT WIN32)
  include(GNUInstallDirs)
  install(TARGETS vudcheck vudfleet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/doc/vudcheck.1 ${PROJECT_SOURCE_DIR}/doc/vudfleet.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  return()
endif()
if(NOT TARGET vudcheck)
  return()
endif()

# The programs that both packages ship, one line each.
set(VUDCHECK_WINDOWS_PROGRAMS
  vudcheck
  vudfleet
)
install(TARGETS ${VUDCHECK_WINDOWS_PROGRAMS} RUNTIME DESTINATION .)

# Windows users read it in Notepad, so its lines end in CR LF.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt
               ${PROJECT_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${VUDCHECK_WINDOWS_FLAVOUR})
set(CPACK_PACKAGE_VENDOR "${VUDCHECK_COMPANY_NAME}")
set(CPACK_STRIP_FILES ON)

# Read by ReleaseArchive.cmake, which makes the installer package beside the ZIP.
include(WindowsInstaller)
vud_windows_installer_tools_missing(vud_missing WARNING
  "so cpack makes the release ZIP alone, without its Windows Installer package")
if(NOT vud_missing)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_VUDCHECK_MSI_ARCH x64)
  else()
    set(CPACK_VUDCHECK_MSI_ARCH x86)
  endif()
  set(CPACK_VUDCHECK_MSI_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
  set(CPACK_VUDCHECK_MSI_DESCRIPTION "${PROJECT_DESCRIPTION}")
  set(CPACK_VUDCHECK_MSI_TEMPLATE ${PROJECT_SOURCE_DIR}/packaging/vudcheck.wxs.in)
endif()

include(CPack)
