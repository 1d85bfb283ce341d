# The release package of a Windows build: vudcheck-<version>-win64.zip (64-bit build)
# or vudcheck-<version>-win32.zip (32-bit build) with the checker, the fleet checker and
# a short README for the people who run them.
#   cmake --build build-mingw && cd build-mingw && cpack
if(NOT WIN32 OR NOT TARGET vudcheck)
  return()
endif()

install(TARGETS vudcheck vudfleet RUNTIME DESTINATION .)

# Windows users read it in Notepad, so its lines end in CR LF.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt
               ${PROJECT_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${VUDCHECK_WINDOWS_FLAVOUR})
set(CPACK_PACKAGE_VENDOR "${VUDCHECK_COMPANY_NAME}")
set(CPACK_STRIP_FILES ON)
include(CPack)
